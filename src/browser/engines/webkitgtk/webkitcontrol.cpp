// SPDX-License-Identifier: GPL-3.0-or-later
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

const QString hostGoneText = QStringLiteral("Gecko エンジンのプロセスが終了しました。");

}  // namespace

QString WebKitControl::textField(const QList<QByteArray> &fields, int index)
{
    return QString::fromUtf8(fields.value(index));
}

// WebKit hands addresses over percent-encoded, "q=%E6%97%A5" for "q=日".
QString WebKitControl::readable(const QString &uri)
{
    const QUrl url(uri);
    return url.isValid() ? url.toString() : uri;
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

// The name this engine's saved history is tagged with.
constexpr char historyTag[] = "gecko";

// The host sends the history after every navigation: the window asks for it
// as it closes, with no time to wait for an answer.
QByteArray WebKitControl::SaveHistory() const
{
    return session_.isEmpty() ? QByteArray() : savedhistory::wrap(historyTag, session_);
}

bool WebKitControl::RestoreHistory(const QByteArray &state)
{
    const std::optional<QByteArray> session = savedhistory::unwrap(historyTag, state);
    if (!session || state_ == State::Failed)
        return false;
    revive();
    send(VEXEL_VERB_RESTORE, {session->toBase64()});
    return true;
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
