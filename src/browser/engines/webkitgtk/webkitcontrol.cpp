#include "webkitcontrol.h"

#include "core/errors.h"
#include "browser/engines/pageencoding.h"
#include "browser/engines/savedhistory.h"
#include "browser/errorpage.h"
#include "browser/pagedialogs.h"
#include "protocol.h"
#include "webkithost.h"
#include "xembed.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlatformSurfaceEvent>
#include <QStackedLayout>
#include <QUrl>
#include <QWindow>
#include <utility>

namespace {

// As a browser reads what is typed: a host name becomes a web address, a
// path (absolute, or an existing file here) a local file.
QString toUrl(const QString &address)
{
    if (address.trimmed().isEmpty())
        return QStringLiteral("about:blank");
    const QUrl url = engines::urlFromUserInput(address);
    return url.isValid() ? url.toString(QUrl::FullyEncoded) : address;
}

// An address as the user reads it (and as the other engine gives it):
// WebKit hands it over percent-encoded, "q=%E6%97%A5" for "q=日".
QString readable(const QString &uri)
{
    const QUrl url(uri);
    return url.isValid() ? url.toString() : uri;
}

const QString reloadHint = QStringLiteral("\n再読み込みすると、もう一度表示します。");

const QString hostGoneText = QStringLiteral("Gecko エンジンのプロセスが終了しました。");

// Why the host refused a certificate, in the user's words.
QString certificateProblems(const QByteArray &words)
{
    static const QHash<QByteArray, QString> texts = {
        {VEXEL_CERT_UNKNOWN_CA, QStringLiteral("発行元を確認できない証明書です")},
        {VEXEL_CERT_BAD_IDENTITY, QStringLiteral("証明書がサイトの名前と一致しません")},
        {VEXEL_CERT_NOT_ACTIVATED, QStringLiteral("証明書はまだ有効になっていません")},
        {VEXEL_CERT_EXPIRED, QStringLiteral("証明書の有効期限が切れています")},
        {VEXEL_CERT_REVOKED, QStringLiteral("証明書は失効しています")},
        {VEXEL_CERT_INSECURE, QStringLiteral("証明書の署名方式が安全ではありません")},
    };
    QStringList problems;
    for (const QByteArray &word : words.split(VEXEL_LIST_SEPARATOR[0]))
        if (const QString text = texts.value(word); !text.isEmpty() && !problems.contains(text))
            problems << text;
    return problems.isEmpty() ? QStringLiteral("証明書を検証できません") : problems.join(QStringLiteral("、"));
}

}  // namespace

QString WebKitControl::textField(const QList<QByteArray> &fields, int index)
{
    return QString::fromUtf8(fields.value(index));
}

WebKitControl::WebKitControl(QWidget *parent)
    : EngineControl(parent),
      crashPage_(new QLabel(this)), errorPage_(new ErrorPage(this)), blankPage_(new QWidget(this)), stack_(new QStackedLayout(this))
{
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(1, 1);
    xembed::onPlugPress(&WebKitControl::pressedIn);
    stack_->setContentsMargins(0, 0, 0, 0);
    crashPage_->setObjectName(QStringLiteral("crashPage"));
    crashPage_->setTextFormat(Qt::PlainText);
    crashPage_->setAlignment(Qt::AlignCenter);
    crashPage_->setWordWrap(true);
    crashPage_->setAutoFillBackground(true);
    crashPage_->setFocusPolicy(Qt::NoFocus);
    stack_->addWidget(crashPage_);
    blankPage_->setObjectName(QStringLiteral("blankPage"));
    blankPage_->setAutoFillBackground(true);
    blankPage_->setFocusPolicy(Qt::NoFocus);
    stack_->addWidget(blankPage_);
    stack_->addWidget(errorPage_);
    connect(errorPage_, &ErrorPage::proceedRequested, this, guarded([this] { proceedPastCertificate(); }));
    embed();
}

WebKitControl::~WebKitControl()
{
    release();
}

void WebKitControl::embed()
{
    WebKitHost *host = WebKitHost::running();
    view_ = host->requestView(this);
    host_ = host;
    state_ = State::Creating;
    stack_->setCurrentWidget(blankPage_);
    // Requests go at once, before the view has arrived: the host handles
    // them in order, after the view it makes first. The encoding and zoom
    // come before any page.
    if (const QString charset = pageencoding::systemDefault(); !charset.isEmpty())
        host_->send(view_, VEXEL_VERB_CHARSET, {charset.toUtf8()});
    if (const QByteArray zoom = zoomField(); zoom != "1")
        host_->send(view_, VEXEL_VERB_ZOOM, {zoom});
    // What the last host was asked before it went, asked again.
    for (const auto &[verb, fields] : std::as_const(queued_))
        host_->send(view_, verb, fields);
}

void WebKitControl::viewArrived(quint32 plug)
{
    QWindow *window = QWindow::fromWinId(plug);
    if (!window) {
        if (host_)
            host_->releaseView(view_);
        host_ = nullptr;
        view_ = 0;
        fail(engines::activationFailedMessage());
        return;
    }
    xembed::repaintExposedWidgets();
    plug_ = plug;
    state_ = State::Live;
    hadView_ = true;
    retried_ = false;
    window_ = window;
    window_->installEventFilter(this);
    container_ = QWidget::createWindowContainer(window, this);
    container_->setObjectName(QStringLiteral("webkitView"));
    // The focus is this control's: it tells the plug by XEmbed messages.
    container_->setFocusPolicy(Qt::NoFocus);
    stack_->addWidget(container_);
    stack_->setCurrentWidget(container_);
    if (hasFocus())
        tellFocus(Qt::OtherFocusReason);
    // All of it already went to the host.
    queued_.clear();
}

void WebKitControl::viewFailed(const QString &message, bool hostWent)
{
    host_ = nullptr;
    view_ = 0;
    // From the event loop, not from inside the host's handling of its end.
    QMetaObject::invokeMethod(
        this,
        [this, message, hostWent] {
            if (state_ != State::Creating)
                return;
            // The host had just ended (a crash the frame had not yet seen):
            // this window starts the next one rather than failing.
            if (hostWent && !retried_) {
                retried_ = true;
                try {
                    embed();
                    return;
                } catch (const VexelError &e) {
                    fail(e.message());
                    return;
                }
            }
            fail(message);
        },
        Qt::QueuedConnection);
}

void WebKitControl::fail(const QString &message)
{
    queued_.clear();
    retried_ = false;
    if (!hadView_) {
        // Nothing was ever shown: the window goes, as one that could not be
        // made at all.
        state_ = State::Failed;
        emit EngineFailed(message);
        return;
    }
    // Reload after the host had gone: the window stays, with its notice.
    state_ = State::HostGone;
    showCrash(hostGoneText);
    runGuarded([&] { throw VexelError(message); });
}

void WebKitControl::release()
{
    if (!host_)
        return;
    // Out of the frame's windows first: destroying them would take the
    // plug's window along, under its owner's feet.
    if (plug_)
        xembed::detach(plug_);
    delete container_;
    container_ = nullptr;
    window_ = nullptr;
    host_->releaseView(view_);
    host_ = nullptr;
    view_ = 0;
    plug_ = 0;
}

bool WebKitControl::revive()
{
    switch (state_) {
    case State::Creating:
    case State::Live:
        return true;
    case State::Failed:
        return false;
    case State::PageGone:
        // The host still has the view; its next request starts a new web
        // process.
        state_ = State::Live;
        stack_->setCurrentWidget(container_);
        if (hasFocus())
            tellFocus(Qt::OtherFocusReason);
        return true;
    case State::HostGone:
        embed();
        return false;
    }
    return true;
}

void WebKitControl::send(const char *verb, const QList<QByteArray> &fields)
{
    // Kept while the view is on its way, for the next host should this
    // one go before it answers.
    if (state_ == State::Creating)
        queued_.append({verb, fields});
    if (host_)
        host_->send(view_, verb, fields);
}

bool WebKitControl::showsCrash() const
{
    return stack_->currentWidget() == crashPage_;
}

void WebKitControl::showCrash(const QString &why)
{
    crashPage_->setText(why + reloadHint);
    stack_->setCurrentWidget(crashPage_);
    failPrints();
    // A page that has gone no longer hangs.
    if (hung_) {
        hung_ = false;
        emit PageResponsiveChange(true);
    }
    // A load cut short ends here; the window shows no stale link.
    if (progress_ < 100) {
        progress_ = 100;
        emit ProgressChange(100, 100);
    }
    if (!status_.isEmpty()) {
        status_.clear();
        emit StatusTextChange(QString());
    }
    // Also enables Reload, which brings the page back.
    emit CommandStateChange(NavigationCommand::Back, canGoBack_);
    emit CommandStateChange(NavigationCommand::Forward, canGoForward_);
}

// --- Operations -------------------------------------------------------------

void WebKitControl::Navigate(const QString &address)
{
    const QString url = toUrl(address);
    hideErrorPage();
    if (state_ != State::Failed) {
        revive();
        send(VEXEL_VERB_LOAD, {url.toUtf8()});
    }
}

void WebKitControl::GoBack()
{
    hideErrorPage();
    if (state_ != State::HostGone && revive())
        send(VEXEL_VERB_BACK);
}

void WebKitControl::GoForward()
{
    hideErrorPage();
    if (state_ != State::HostGone && revive())
        send(VEXEL_VERB_FORWARD);
}

void WebKitControl::Stop()
{
    if (state_ == State::Live)
        send(VEXEL_VERB_STOP);
}

void WebKitControl::Refresh()
{
    reload(VEXEL_VERB_RELOAD);
}

void WebKitControl::RefreshBypassingCache()
{
    reload(VEXEL_VERB_RELOADFULL);
}

void WebKitControl::reload(const char *verb)
{
    if (state_ == State::Failed)
        return;
    // The empty page behind ours reloads the address that failed.
    hideErrorPage();
    // A view made anew after its host went has no page to reload: it loads
    // the address.
    if (revive())
        send(verb);
    else
        send(VEXEL_VERB_LOAD, {(location_.isEmpty() ? QStringLiteral("about:blank") : location_).toUtf8()});
}

QString WebKitControl::LocationURL() const
{
    if (showsErrorPage())
        return errorPage_->address();
    return readable(location_);
}

void WebKitControl::FindText(const QString &text, bool backward)
{
    if (state_ == State::Live)
        send(VEXEL_VERB_FIND, {backward ? VEXEL_FIND_BACKWARD : VEXEL_FIND_FORWARD, text.toUtf8()});
}

qreal WebKitControl::ZoomFactor() const
{
    return zoom_;
}

void WebKitControl::SetZoomFactor(qreal factor)
{
    if (!(factor > 0))
        return;
    zoom_ = factor;
    send(VEXEL_VERB_ZOOM, {zoomField()});
    emit ZoomFactorChange(factor);
}

bool WebKitControl::RequestClose()
{
    // The page runs its beforeunload handler and answers "close" when the
    // window may go. A page or host that has gone has no one to ask.
    if (state_ != State::Live || !host_ || !host_->isAlive())
        return false;
    send(VEXEL_VERB_TRYCLOSE);
    return true;
}

void WebKitControl::TerminatePage()
{
    if (state_ == State::Live)
        send(VEXEL_VERB_TERMINATE);
}

void WebKitControl::Download(const QUrl &address)
{
    if (state_ == State::Live)
        send(VEXEL_VERB_FETCH, {address.toEncoded()});
}

// The host sends the history after every navigation: the window asks for it
// as it closes, with no time to wait for an answer.
QByteArray WebKitControl::SaveHistory() const
{
    return session_.isEmpty() ? QByteArray() : savedhistory::wrap("gecko", session_);
}

bool WebKitControl::RestoreHistory(const QByteArray &state)
{
    const std::optional<QByteArray> session = savedhistory::unwrap("gecko", state);
    if (!session || state_ == State::Failed)
        return false;
    revive();
    send(VEXEL_VERB_RESTORE, {session->toBase64()});
    return true;
}

// --- Events from the host ---------------------------------------------------

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

void WebKitControl::hostGone()
{
    // Its plug window went with it.
    xembed::forget(plug_);
    delete container_;
    container_ = nullptr;
    window_ = nullptr;
    host_ = nullptr;
    view_ = 0;
    plug_ = 0;
    state_ = State::HostGone;
    // Its history and inspector went too.
    canGoBack_ = canGoForward_ = false;
    inspectorShown_ = false;
    showCrash(hostGoneText);
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

void WebKitControl::onCrashed(const QList<QByteArray> &fields)
{
    if (state_ != State::Live)
        return;
    state_ = State::PageGone;
    const QByteArray reason = fields.value(0);
    showCrash(reason == VEXEL_CRASH_MEMORY ? QStringLiteral("メモリを使いすぎたため、ページを表示していたプロセスが終了しました。")
                                 : QStringLiteral("ページを表示していたプロセスが異常終了しました。"));
}

void WebKitControl::onResponsive(const QList<QByteArray> &fields)
{
    const bool hung = fields.value(0) == VEXEL_NO;
    if (state_ == State::Live && hung != hung_) {
        hung_ = hung;
        emit PageResponsiveChange(!hung);
    }
}

void WebKitControl::onCertificate(const QList<QByteArray> &fields)
{
    emit StatusMessage(pagedialogs::certificateRefusedText(certificateProblems(fields.value(0))));
}

bool WebKitControl::showsErrorPage() const
{
    return stack_->currentWidget() == errorPage_;
}

void WebKitControl::hideErrorPage()
{
    if (showsErrorPage())
        stack_->setCurrentWidget(container_ ? container_ : blankPage_);
}

void WebKitControl::onFailed(const QList<QByteArray> &fields)
{
    static const QHash<QByteArray, ErrorPage::Kind> kinds = {
        {VEXEL_FAILED_NAME, ErrorPage::Kind::NameNotResolved},
        {VEXEL_FAILED_REFUSED, ErrorPage::Kind::Refused},
        {VEXEL_FAILED_RESET, ErrorPage::Kind::Reset},
        {VEXEL_FAILED_TIMEOUT, ErrorPage::Kind::TimedOut},
        {VEXEL_FAILED_OFFLINE, ErrorPage::Kind::Offline},
        {VEXEL_FAILED_FILE, ErrorPage::Kind::FileNotFound},
        {VEXEL_FAILED_BLOCKED, ErrorPage::Kind::Blocked},
    };
    static const QHash<QByteArray, ErrorPage::Problem> problems = {
        {VEXEL_CERT_UNKNOWN_CA, ErrorPage::UnknownIssuer},
        {VEXEL_CERT_BAD_IDENTITY, ErrorPage::WrongName},
        {VEXEL_CERT_NOT_ACTIVATED, ErrorPage::NotYetValid},
        {VEXEL_CERT_EXPIRED, ErrorPage::Expired},
        {VEXEL_CERT_REVOKED, ErrorPage::Revoked},
        {VEXEL_CERT_INSECURE, ErrorPage::Insecure},
    };
    if (state_ != State::Live)
        return;
    const QString address = readable(textField(fields, 1));
    const QString message = textField(fields, 2);
    if (fields.value(0) == VEXEL_FAILED_TLS) {
        ErrorPage::Problems found;
        for (const QByteArray &word : fields.value(3).split(VEXEL_LIST_SEPARATOR[0]))
            found |= problems.value(word, ErrorPage::Unverified);
        errorPage_->showCertificate(address, found, QSslCertificate(fields.value(4), QSsl::Pem), message);
    } else {
        errorPage_->showFailure(kinds.value(fields.value(0), ErrorPage::Kind::Other), address, message);
    }
    stack_->setCurrentWidget(errorPage_);
    emit TitleChange(address);
}

void WebKitControl::proceedPastCertificate()
{
    const QSslCertificate certificate = errorPage_->certificate();
    // As WebKit names the host: an IDN host in its ASCII form.
    const QString host = QUrl(errorPage_->address()).host(QUrl::FullyEncoded);
    if (certificate.isNull() || host.isEmpty() || state_ != State::Live)
        return;
    send(VEXEL_VERB_ALLOWCERT, {host.toUtf8(), certificate.toPem()});
    Refresh();
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

void WebKitControl::ExitFullScreen()
{
    if (state_ == State::Live)
        send(VEXEL_VERB_EXITFULLSCREEN);
}

bool WebKitControl::eventFilter(QObject *watched, QEvent *event)
{
    // The frame's windows go before their widgets do (the main window's
    // first, when the program ends), and their children with them: the plug
    // leaves first. Qt brings it back should it make the windows again.
    if (watched == window_ && event->type() == QEvent::PlatformSurface &&
        static_cast<QPlatformSurfaceEvent *>(event)->surfaceEventType() ==
            QPlatformSurfaceEvent::SurfaceAboutToBeDestroyed &&
        state_ != State::HostGone)
        xembed::detach(plug_);
    return EngineControl::eventFilter(watched, event);
}
