// SPDX-License-Identifier: GPL-3.0-or-later
// The page of the Internet Explorer slot: the texts of its menu's standard
// items, its dialogs, and no windows of its own.

#include "webenginecontrol.h"

#include "browser/engines/webengine/webengineleaving.h"
#include "browser/pagedialogs.h"

#include <QAction>
#include <QScopeGuard>
#include <QWebEngineView>

WebEnginePage::WebEnginePage(QWebEngineProfile *profile, QObject *parent) : QWebEnginePage(profile, parent)
{
    webengineleaving::installTranslation();
    // A new tab is a window of its own here, as the other new pages are.
    const char *const openLinkInNewWindow = "リンクを新しいウィンドウで開く";
    // The standard actions the page's context menu offers, in the frame's language.
    const std::pair<WebAction, const char *> texts[] = {
        {Back, "戻る"},
        {Forward, "進む"},
        {Reload, "再読み込み"},
        {Stop, "中止"},
        {Cut, "切り取り"},
        {Copy, "コピー"},
        {Paste, "貼り付け"},
        {SelectAll, "すべて選択"},
        {CopyLinkToClipboard, "リンクのアドレスをコピー"},
        {OpenLinkInNewWindow, openLinkInNewWindow},
        {OpenLinkInNewTab, openLinkInNewWindow},
        {DownloadLinkToDisk, "リンク先を保存"},
        {CopyImageToClipboard, "画像をコピー"},
        {CopyImageUrlToClipboard, "画像のアドレスをコピー"},
        {DownloadImageToDisk, "画像を保存"},
        {SavePage, "ページを保存"},
        {ViewSource, "ソースを表示"},
        {InspectElement, "要素を調査"},
    };
    for (const auto &[action, text] : texts)
        this->action(action)->setText(QString::fromUtf8(text));
}

QWebEnginePage *WebEnginePage::createWindow(WebWindowType)
{
    // None here: newWindowRequested follows and carries the address.
    return nullptr;
}

template <typename F>
auto WebEnginePage::asking(F dialog)
{
    ++dialogsOpen_;
    const auto done = qScopeGuard([this] { --dialogsOpen_; });
    return dialog(QWebEngineView::forPage(this));
}

void WebEnginePage::javaScriptAlert(const QUrl &, const QString &msg)
{
    asking([&](QWidget *view) { pagedialogs::alert(view, msg); });
}

bool WebEnginePage::javaScriptConfirm(const QUrl &, const QString &msg)
{
    // The engine's "leave this page?" comes here too, already in our words
    // (webengineleaving.h).
    return asking([&](QWidget *view) { return pagedialogs::confirm(view, msg); });
}

bool WebEnginePage::javaScriptPrompt(const QUrl &, const QString &msg, const QString &defaultValue,
                                     QString *result)
{
    return asking([&](QWidget *view) { return pagedialogs::prompt(view, msg, defaultValue, result); });
}

QStringList WebEnginePage::chooseFiles(FileSelectionMode mode, const QStringList &oldFiles,
                                       const QStringList &acceptedMimeTypes)
{
    return asking([&](QWidget *) { return QWebEnginePage::chooseFiles(mode, oldFiles, acceptedMimeTypes); });
}
