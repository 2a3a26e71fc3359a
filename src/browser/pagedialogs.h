// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The dialogs a page brings up, shared by both engines so they look and
// read the same: the page's own messages (alert, confirm, prompt, "leave
// this page?"), credentials for a site or proxy, and where to save a
// download. Each is modal to the page's window.

#include <QString>
#include <functional>

class QUrl;
class QWidget;

namespace pagedialogs {

void alert(QWidget *page, const QString &message);
bool confirm(QWidget *page, const QString &message);
bool prompt(QWidget *page, const QString &message, const QString &defaultValue, QString *result);
// The question before a page with unsaved input is left or closed.
bool confirmLeaving(QWidget *page);
QString leavingQuestion();

// Asks for a user name and password; false when the user cancels.
// who: the host (or "プロキシ host"), realm: as the server names it.
bool askCredentials(QWidget *page, const QString &who, const QString &realm, QString *user, QString *password);

// Where a download goes: the user chooses, starting from the proposed file
// name in the user's download folder; empty when the user cancels.
// Replaceable so tests answer without a modal dialog.
using SavePathChooser = std::function<QString(QWidget *page, const QString &proposedPath)>;
SavePathChooser &savePathChooser();
// The suggested name comes from the server and is reduced to a plain file
// name inside the download folder.
QString chooseDownloadPath(QWidget *page, const QString &suggestedFileName);
// A server's file name as a plain name: no folders, no leading dots, no
// control characters; "download" (with a short extension kept) when nothing
// usable or too long a name is left.
QString safeFileName(const QString &suggested);
// The name a saved page (one MHTML file) is proposed under: the page's
// title, else the address's file name without its extension, else its host.
QString savedPageName(const QString &title, const QUrl &address);

// Status-bar texts of a download, and a size as they write it.
QString sizeText(qint64 bytes);
QString downloadProgressText(const QString &name, qint64 received, qint64 total);
QString downloadFinishedText(const QString &name);
QString downloadFailedText(const QString &name, const QString &reason);
QString downloadCancelledText(const QString &name);  // empty name: cancelled before it began
QString certificateRefusedText(const QString &reason);
// A page asked for a window without the user's click or key.
QString popupBlockedText();

}  // namespace pagedialogs
