// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a site may do that needs the user's word (where the user is, the
// camera, notifications on the desktop ...): one question of ours for both
// engines, and the decisions the user asked us to remember, per site and
// kind, in a small file of the user's own. Every access reads the file
// anew, so both engines and the settings window always agree.

#include <QList>
#include <QString>
#include <QUrl>
#include <optional>

class QWidget;

namespace sitepermissions {

enum class Kind {
    Geolocation,
    Notifications,
    Camera,
    Microphone,
    CameraAndMicrophone,
    ScreenSharing,
    ClipboardRead,
    PointerLock,
};

// The word a kind is stored under, and back (nullopt for an unknown word).
QString kindKey(Kind kind);
std::optional<Kind> kindFromKey(const QString &key);
// What the user reads: "位置情報", "カメラ", ...
QString kindLabel(Kind kind);

// A site as decisions are kept for it: scheme, host and port
// ("http://127.0.0.1:8080"); empty for an address that names no site.
QString siteOf(const QUrl &url);
// The name the question gives a site: its host, "ローカル ファイル" for a
// file, or the site itself when it has no host.
QString siteName(const QString &site);
// "<site> が位置情報へのアクセスを求めています"
QString questionText(const QString &site, Kind kind);

struct Entry {
    QString site;
    Kind kind;
    bool allowed;
};

// The remembered decisions in userDataDirectory(). A line that does not
// read is skipped, so a damaged file costs only what is damaged.
QString storePath();
QList<Entry> remembered();
std::optional<bool> rememberedDecision(const QString &site, Kind kind);
// Remembers (or, with nullopt, forgets) a decision; throws VexelError when
// the file cannot be written.
void remember(const QString &site, Kind kind, std::optional<bool> allowed);

// The user's answer to one question.
struct Answer {
    bool allowed = false;
    bool remember = false;
};

// The question, modal over page: plain text, 許可 / 拒否 and
// "このサイトについて記憶する". Closing it answers 拒否.
Answer ask(QWidget *page, const QString &site, Kind kind);

// Whether site may do what it asks: the remembered decision, or the user's
// answer (remembered when asked to). A site we cannot name is refused
// without asking. The page waits meanwhile; a page that went while the
// question was open is for the caller to notice.
// In a private window a remembered allowance is asked again, and the
// answer remembered is kept in memory only, until forgetPrivateDecisions().
bool decide(QWidget *page, const QString &site, Kind kind);
void forgetPrivateDecisions();

// A notification of a site, on the desktop when the site is allowed to show
// one (a decision revoked meanwhile holds it back); false when it may not.
// Without a notification service nothing shows, and nothing fails.
bool notifyDesktop(const QString &site, const QString &title, const QString &body);

}  // namespace sitepermissions
