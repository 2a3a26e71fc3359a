// SPDX-License-Identifier: GPL-3.0-or-later
// Where the page goes: the frame's navigation commands, the address it
// shows, and the page's history kept across a restart.

#include "webenginecontrol.h"

#include "browser/engines/savedhistory.h"

#include <QDataStream>
#include <QIODevice>
#include <QWebEngineHistory>

namespace {

// The name this engine's saved history is tagged with.
constexpr char historyTag[] = "ie";

}  // namespace

void WebEngineControl::Navigate(const QString &address)
{
    showCrashNotice(false);
    if (address.isEmpty()) {
        page_->setUrl(QUrl(QStringLiteral("about:blank")));
        return;
    }
    page_->setUrl(engines::urlFromUserInput(address));
}

void WebEngineControl::GoBack()
{
    page_->triggerAction(QWebEnginePage::Back);
}

void WebEngineControl::GoForward()
{
    page_->triggerAction(QWebEnginePage::Forward);
}

void WebEngineControl::Stop()
{
    page_->triggerAction(QWebEnginePage::Stop);
}

void WebEngineControl::Refresh()
{
    // After a crash the page comes back on a new render process.
    showCrashNotice(false);
    page_->triggerAction(QWebEnginePage::Reload);
}

void WebEngineControl::RefreshBypassingCache()
{
    showCrashNotice(false);
    page_->triggerAction(QWebEnginePage::ReloadAndBypassCache);
}

QString WebEngineControl::LocationURL() const
{
    if (showsErrorPage())
        return errorPage_->address();
    const QUrl url = page_->url();
    return url.isEmpty() ? QString() : url.toString();
}

QByteArray WebEngineControl::SaveHistory() const
{
    QByteArray state;
    QDataStream out(&state, QIODevice::WriteOnly);
    out << *page_->history();
    return savedhistory::wrap(historyTag, state);
}

bool WebEngineControl::RestoreHistory(const QByteArray &state)
{
    // Only what this engine wrote, unchanged, reaches its reader.
    const std::optional<QByteArray> history = savedhistory::unwrap(historyTag, state);
    if (!history)
        return false;
    showCrashNotice(false);
    QDataStream in(*history);
    // Shows the current entry as well.
    in >> *page_->history();
    return in.status() == QDataStream::Ok;
}

bool WebEngineControl::RequestClose()
{
    // The page runs its beforeunload handler and answers with
    // windowCloseRequested when the window may go. A crashed page has no one
    // to ask.
    if (showsCrashNotice())
        return false;
    page_->triggerAction(QWebEnginePage::RequestClose);
    return true;
}

void WebEngineControl::ExitFullScreen()
{
    page_->triggerAction(QWebEnginePage::ExitFullScreen);
}
