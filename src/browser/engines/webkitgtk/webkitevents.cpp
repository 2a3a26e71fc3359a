// SPDX-License-Identifier: GPL-3.0-or-later
// The events of a Gecko page the host reports: where it is, how its load
// goes, what it asks of the window.

#include "webkitcontrol.h"

#include "browser/errorpage.h"
#include "browser/pagedialogs.h"
#include "protocol.h"
#include "webkithost.h"

const QHash<QByteArray, WebKitControl::Handler> &WebKitControl::handlers()
{
    static const QHash<QByteArray, Handler> table = {
        {VEXEL_VERB_URI, &WebKitControl::onUri},
        {VEXEL_VERB_TITLE, &WebKitControl::onTitle},
        {VEXEL_VERB_PROGRESS, &WebKitControl::onProgress},
        {VEXEL_VERB_LOADED, &WebKitControl::onLoaded},
        {VEXEL_VERB_STATUS, &WebKitControl::onStatus},
        {VEXEL_VERB_HISTORY, &WebKitControl::onHistory},
        {VEXEL_VERB_NEWWINDOW, &WebKitControl::onNewWindow},
        {VEXEL_VERB_POPUPBLOCKED, &WebKitControl::onPopupBlocked},
        {VEXEL_VERB_PRESS, &WebKitControl::onPress},
        {VEXEL_VERB_LEAVE, &WebKitControl::onLeave},
        {VEXEL_VERB_CLOSE, &WebKitControl::onClose},
        {VEXEL_VERB_CRASHED, &WebKitControl::onCrashed},
        {VEXEL_VERB_RESPONSIVE, &WebKitControl::onResponsive},
        {VEXEL_VERB_CERTIFICATE, &WebKitControl::onCertificate},
        {VEXEL_VERB_FAILED, &WebKitControl::onFailed},
        {VEXEL_VERB_FINDBAR, &WebKitControl::onFindBar},
        {VEXEL_VERB_ZOOMSTEP, &WebKitControl::onZoomStep},
        {VEXEL_VERB_OTHERENGINE, &WebKitControl::onOtherEngine},
        {VEXEL_VERB_DIALOG, &WebKitControl::onDialog},
        {VEXEL_VERB_AUTH, &WebKitControl::onAuth},
        {VEXEL_VERB_PERMISSION, &WebKitControl::onPermission},
        {VEXEL_VERB_NOTIFICATION, &WebKitControl::onNotification},
        {VEXEL_VERB_SITESETTINGS, &WebKitControl::onSiteSettings},
        {VEXEL_VERB_DOWNLOAD, &WebKitControl::onDownload},
        {VEXEL_VERB_DOWNLOADING, &WebKitControl::onDownloading},
        {VEXEL_VERB_DOWNLOADED, &WebKitControl::onDownloaded},
        {VEXEL_VERB_DOWNLOADFAILED, &WebKitControl::onDownloadFailed},
        {VEXEL_VERB_FOUND, &WebKitControl::onFound},
        {VEXEL_VERB_SESSION, &WebKitControl::onSession},
        {VEXEL_VERB_COMPOSING, &WebKitControl::onComposing},
        {VEXEL_VERB_VIEWSOURCE, &WebKitControl::onViewSource},
        {VEXEL_VERB_SOURCEREADY, &WebKitControl::onSourceReady},
        {VEXEL_VERB_SAVEPAGE, &WebKitControl::onSavePage},
        {VEXEL_VERB_PAGESAVED, &WebKitControl::onPageSaved},
        {VEXEL_VERB_INSPECTOR, &WebKitControl::onInspector},
        {VEXEL_VERB_PRINT, &WebKitControl::onPrint},
        {VEXEL_VERB_PRINTED, &WebKitControl::onPrinted},
        {VEXEL_VERB_FULLSCREEN, &WebKitControl::onFullScreen},
        {VEXEL_VERB_BLOCKED, &WebKitControl::onBlocked},
        {VEXEL_VERB_EXEMPT, &WebKitControl::onExempt},
        {VEXEL_VERB_FILTERLISTS, &WebKitControl::onFilterLists},
        {VEXEL_VERB_RULENAVIGATION, &WebKitControl::onRuleNavigation},
        {VEXEL_VERB_SITEENGINE, &WebKitControl::onSiteEngine},
        {VEXEL_VERB_SCROLLED, &WebKitControl::onScrolled},
        {VEXEL_VERB_SIDEBYSIDE, &WebKitControl::onSideBySide},
    };
    return table;
}

void WebKitControl::hostEvent(const QByteArray &verb, const QList<QByteArray> &fields)
{
    if (const Handler handler = handlers().value(verb))
        (this->*handler)(fields);
}

void WebKitControl::onUri(const QList<QByteArray> &fields)
{
    location_ = textField(fields, 0);
}

void WebKitControl::onTitle(const QList<QByteArray> &fields)
{
    // A page without a title goes by its address.
    const QString title = textField(fields, 0);
    if (showsErrorPage())
        emit TitleChange(errorPage_->address());
    else
        emit TitleChange(title.isEmpty() ? readable(location_) : title);
}

void WebKitControl::onLoaded(const QList<QByteArray> &fields)
{
    // A page that loads replaces our error page.
    const bool ok = isYes(fields.value(0));
    if (ok)
        hideErrorPage();
    emit LoadFinished(ok);
}

void WebKitControl::onProgress(const QList<QByteArray> &fields)
{
    progress_ = fields.value(0).toInt();
    emit ProgressChange(progress_, 100);
}

void WebKitControl::onStatus(const QList<QByteArray> &fields)
{
    status_ = textField(fields, 0);
    emit StatusTextChange(status_);
}

void WebKitControl::onHistory(const QList<QByteArray> &fields)
{
    canGoBack_ = isYes(fields.value(0));
    canGoForward_ = isYes(fields.value(1));
    emit CommandStateChange(NavigationCommand::Back, canGoBack_);
    emit CommandStateChange(NavigationCommand::Forward, canGoForward_);
}

void WebKitControl::onNewWindow(const QList<QByteArray> &fields)
{
    // The host has already refused the engine's own window.
    emit NewWindow2(NewWindowRequest(textField(fields, 0)));
}

void WebKitControl::onPopupBlocked(const QList<QByteArray> &)
{
    emit StatusMessage(pagedialogs::popupBlockedText());
}

void WebKitControl::onLeave(const QList<QByteArray> &fields)
{
    if (hasFocus())
        leaveToFrame(fields.value(0) != VEXEL_LEAVE_PREV);
}

void WebKitControl::onClose(const QList<QByteArray> &)
{
    if (asking_ > 0)
        closeWaiting_ = true;
    else
        emit CloseRequested();
}

void WebKitControl::onFindBar(const QList<QByteArray> &)
{
    emit FindRequested();
}

void WebKitControl::onZoomStep(const QList<QByteArray> &fields)
{
    emit ZoomRequested(qBound(-1, fields.value(0).toInt(), 1));
}

void WebKitControl::onOtherEngine(const QList<QByteArray> &)
{
    emit OtherEngineRequested();
}

void WebKitControl::onFound(const QList<QByteArray> &fields)
{
    const int count = qMax(0, fields.value(1).toInt());
    emit FindResult(qBound(0, fields.value(0).toInt(), count), count);
}

void WebKitControl::onSession(const QList<QByteArray> &fields)
{
    session_ = QByteArray::fromBase64(fields.value(0));
}

void WebKitControl::onComposing(const QList<QByteArray> &fields)
{
    composing_ = isYes(fields.value(0));
}

void WebKitControl::onFullScreen(const QList<QByteArray> &fields)
{
    emit FullScreenRequested(isYes(fields.value(0)));
}
