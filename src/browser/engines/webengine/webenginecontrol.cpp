// SPDX-License-Identifier: GPL-3.0-or-later
// The Internet Explorer slot's control: its view and page, and the engine's
// signals told to the frame as its events. The control's other jobs are in
// the webengine*.cpp files beside this one, one job each.

#include "webenginecontrol.h"

#include "browser/engines/webengine/webengineblocking.h"
#include "browser/engines/webengine/webenginepermissions.h"
#include "browser/engines/webengine/webengineprofiles.h"
#include "browser/engines/webengine/webenginerules.h"
#include "browser/pagedialogs.h"
#include "core/errors.h"
#include "core/plaintext.h"

#include <QAction>
#include <QAuthenticator>
#include <QHelpEvent>
#include <QInputMethodEvent>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>
#include <QWebEngineCertificateError>
#include <QWebEngineDownloadRequest>
#include <QWebEngineFullScreenRequest>
#include <QWebEngineLoadingInfo>
#include <QWebEngineNewWindowRequest>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineView>
#include <utility>

WebEngineControl::WebEngineControl(QWidget *parent)
    : EngineControl(parent),
      view_(new QWebEngineView(this)),
      page_(new WebEnginePage(IsPrivate() ? privateProfile() : sharedProfile(), view_)),
      crashNotice_(new QLabel(this)),
      errorPage_(new ErrorPage(this)),
      probeTimer_(new QTimer(this))
{
    view_->setPage(page_);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view_);
    layout->addWidget(crashNotice_);
    layout->addWidget(errorPage_);
    crashNotice_->setObjectName(QStringLiteral("crashNotice"));
    crashNotice_->setAlignment(Qt::AlignCenter);
    crashNotice_->setWordWrap(true);
    crashNotice_->setAutoFillBackground(true);
    crashNotice_->setText(QStringLiteral("このページを表示していたプロセスが停止しました。\n"
                                         "[再読み込み] で表示し直せます。"));
    crashNotice_->hide();
    if (IsPrivate())
        webengineprofiles::privatePageOpened();
    setFocusProxy(view_);
    webenginepermissions::attach(page_, this);
    webengineblocking::attach(page_, [this](int count) { setBlockedCount(count); });
    webenginerules::follow(this, page_);

    connect(page_, &QWebEnginePage::linkHovered, this, [this](const QString &url) { emit StatusTextChange(url); });
    connect(page_, &QWebEnginePage::loadStarted, this, [this] { emit ProgressChange(0, 100); });
    connect(page_, &QWebEnginePage::loadProgress, this, [this](int p) { emit ProgressChange(p, 100); });
    // A finished load ends with an empty bar.
    // The engine's own error page, loaded under ours after a failure, may
    // report itself loaded: the load it stands for still failed.
    connect(page_, &QWebEnginePage::loadFinished, this, [this](bool ok) {
        emit ProgressChange(0, 0);
        emit LoadFinished(ok && !showsErrorPage());
    });
    // Like the control the frame was made for, report both history states
    // after each navigation, not only when one of them flips.
    connect(page_, &QWebEnginePage::urlChanged, this, [this] {
        emit CommandStateChange(NavigationCommand::Forward, page_->action(QWebEnginePage::Forward)->isEnabled());
        emit CommandStateChange(NavigationCommand::Back, page_->action(QWebEnginePage::Back)->isEnabled());
    });
    // While our error page shows, the window goes by the address asked for.
    connect(page_, &QWebEnginePage::titleChanged, this,
            [this](const QString &t) { emit TitleChange(showsErrorPage() ? errorPage_->address() : t); });
    QAction *back = page_->action(QWebEnginePage::Back);
    QAction *forward = page_->action(QWebEnginePage::Forward);
    connect(back, &QAction::changed, this,
            [this, back] { emit CommandStateChange(NavigationCommand::Back, back->isEnabled()); });
    connect(forward, &QAction::changed, this,
            [this, forward] { emit CommandStateChange(NavigationCommand::Forward, forward->isEnabled()); });
    connect(page_, &QWebEnginePage::newWindowRequested, this, [this](QWebEngineNewWindowRequest &request) {
        // A page opens a window only in answer to the user's click or key.
        if (!request.isUserInitiated()) {
            emit StatusMessage(pagedialogs::popupBlockedText());
            return;
        }
        // Unless the frame opens it there, the page gets no window.
        emit NewWindow2(NewWindowRequest(request.requestedUrl().toString()));
    });

    connect(page_, &QWebEnginePage::windowCloseRequested, this, [this] { emit CloseRequested(); });
    connect(page_, &QWebEnginePage::printRequested, this, [this] { emit PrintRequested(); });
    connect(page_, &QWebEnginePage::pdfPrintingFinished, this, [this](const QString &path, bool ok) {
        if (path == pdfPending_)
            pdfPending_.clear();
        emit PdfPrinted(path, ok);
    });
    // A video's full-screen button: the frame gives the window the screen.
    page_->settings()->setAttribute(QWebEngineSettings::FullScreenSupportEnabled, true);
    connect(page_, &QWebEnginePage::fullScreenRequested, this, [this](QWebEngineFullScreenRequest request) {
        request.accept();
        emit FullScreenRequested(request.toggleOn());
    });
    connect(page_, &QWebEnginePage::authenticationRequired, this,
            [this](const QUrl &url, QAuthenticator *auth) { askCredentials(url.host(), auth); });
    connect(page_, &QWebEnginePage::proxyAuthenticationRequired, this,
            [this](const QUrl &, QAuthenticator *auth, const QString &proxyHost) {
                askCredentials(QStringLiteral("プロキシ %1").arg(proxyHost), auth);
            });
    // The engine's own error pages speak English and offer nothing; ours
    // covers them. The engine's stays on underneath: only a failed load that
    // shows a page becomes a history entry at its address, so Back leads to
    // the page before and Reload tries the address again.
    page_->settings()->setAttribute(QWebEngineSettings::ErrorPageEnabled, true);
    // A PDF shows in the window, as in the other engine, rather than being
    // saved: the engine's viewer is a plug-in.
    page_->settings()->setAttribute(QWebEngineSettings::PluginsEnabled, true);
    page_->settings()->setAttribute(QWebEngineSettings::PdfViewerEnabled, true);
    connect(page_, &QWebEnginePage::loadingChanged, this,
            guarded([this](const QWebEngineLoadingInfo &info) { loadingChanged(info); }));
    connect(page_, &QWebEnginePage::certificateError, this,
            guarded([this](const QWebEngineCertificateError &error) { refuseCertificate(error); }));
    connect(errorPage_, &ErrorPage::proceedRequested, this, guarded([this] { proceedPastCertificate(); }));
    connect(page_, &QWebEnginePage::renderProcessTerminated, this,
            [this](QWebEnginePage::RenderProcessTerminationStatus status, int) {
                resetProbe();
                if (!pdfPending_.isEmpty())
                    emit PdfPrinted(pdfPending_, false);
                if (!pdfAsked_.isEmpty())
                    emit PdfPrinted(std::exchange(pdfAsked_, {}), false);
                if (status != QWebEnginePage::NormalTerminationStatus)
                    showCrashNotice(true);
            });
    // A new document answers anew; a probe sent to the old one may never.
    connect(page_, &QWebEnginePage::loadStarted, this, &WebEngineControl::resetProbe);
    connect(page_, &QWebEnginePage::loadFinished, this, &WebEngineControl::resetProbe);
    probeTimer_->setObjectName(QStringLiteral("probeTimer"));
    probeTimer_->setInterval(1000);
    connect(probeTimer_, &QTimer::timeout, this, &WebEngineControl::probe);
    connect(page_->profile(), &QWebEngineProfile::downloadRequested, this, [this](QWebEngineDownloadRequest *d) {
        if (d->page() == page_)
            handleDownload(d);
    });
    view_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(view_, &QWidget::customContextMenuRequested, this, &WebEngineControl::showContextMenu);
    // The engine hands the page's title attributes to the view as its
    // tooltip, which Qt would read as markup.
    view_->installEventFilter(this);
    if (QWidget *input = view_->focusProxy())
        input->installEventFilter(this);
}

WebEngineControl::~WebEngineControl()
{
    if (IsPrivate())
        webengineprofiles::privatePageClosed();
}

bool WebEngineControl::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == view_ && event->type() == QEvent::ToolTip) {
        plaintext::showToolTip(static_cast<QHelpEvent *>(event), view_, view_->toolTip());
        return true;
    }
    if (watchComposition(watched, event))
        return true;
    return EngineControl::eventFilter(watched, event);
}

bool WebEngineControl::watchComposition(QObject *watched, QEvent *event)
{
    // The page's input goes to a widget the view makes (anew after a crash).
    if (watched == view_ && event->type() == QEvent::ChildAdded) {
        if (QObject *child = static_cast<QChildEvent *>(event)->child(); child->isWidgetType())
            child->installEventFilter(this);
        return false;
    }
    if (watched == view_ || watched != view_->focusProxy())
        return false;
    if (event->type() == QEvent::InputMethod)
        composing_ = !static_cast<QInputMethodEvent *>(event)->preeditString().isEmpty();
    else if (event->type() == QEvent::FocusOut)
        composing_ = false;
    // The engine claims only its editing keys; the rest of a composition's
    // (Enter, Esc, the arrows, F5…) would go to the frame's shortcuts.
    else if (event->type() == QEvent::ShortcutOverride && composing_) {
        event->accept();
        return true;
    }
    return false;
}
