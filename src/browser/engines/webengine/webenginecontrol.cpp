#include "webenginecontrol.h"

#include "browser/engines/pageencoding.h"
#include "browser/engines/savedhistory.h"
#include "browser/pagedialogs.h"
#include "browser/sitepermissions.h"
#include "browser/sitesettings.h"
#include "core/placement.h"
#include "webenginepermissions.h"
#include "browser/engines/webengine/webengineblocking.h"
#include "browser/engines/webengine/webenginerules.h"
#include "browser/engines/webengine/webenginedata.h"
#include "browser/engines/webengine/webenginedownloads.h"
#include "browser/engines/webengine/webengineleaving.h"
#include "browser/engines/webenginepart.h"
#include "core/errors.h"
#include "core/plaintext.h"

#include <QAction>
#include <QActionGroup>
#include <QCoreApplication>
#include <QPointer>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebEngineScript>
#include <csignal>
#include <QAuthenticator>
#include <QDataStream>
#include <QCryptographicHash>
#include <QEventLoop>
#include <QFileInfo>
#include <QDir>
#include <QHelpEvent>
#include <QInputMethodEvent>
#include <QScopeGuard>
#include <QSet>
#include <QLabel>
#include <QMenu>
#include <QNetworkCookie>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <QWebEngineCertificateError>
#include <QWebEngineContextMenuRequest>
#include <QWebEngineCookieStore>
#include <QWebEngineDownloadRequest>
#include <QWebEngineFullScreenRequest>
#include <QWebEngineFindTextResult>
#include <QWebEngineHistory>
#include <QWebEngineLoadingInfo>
#include <QWebEngineNewWindowRequest>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineView>

WebEnginePage::WebEnginePage(QWebEngineProfile *profile, QObject *parent) : QWebEnginePage(profile, parent)
{
    webengineleaving::installTranslation();
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
        {OpenLinkInNewWindow, "リンクを新しいウィンドウで開く"},
        {OpenLinkInNewTab, "リンクを新しいウィンドウで開く"},
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

void WebEngineControl::prepareProcess()
{
    webenginepart::prepareProcess();
}

static QWebEngineProfile *theProfile = nullptr;
// The private windows' profile, while a private page lives.
static QWebEngineProfile *thePrivateProfile = nullptr;
static int privatePages = 0;
static int privateProfilesAlive = 0;

// Everything a profile needs, whichever data it keeps.
static void configureProfile(QWebEngineProfile *profile)
{
    profile->setHttpAcceptLanguage(QStringLiteral("ja,en;q=0.5"));
    webenginepermissions::presentNotifications(profile);
    // Pages that declare no encoding, read as the system's users expect.
    if (const QString charset = pageencoding::systemDefault(); !charset.isEmpty())
        profile->settings()->setDefaultTextEncoding(charset);
}

QWebEngineProfile *WebEngineControl::sharedProfile()
{
    if (!theProfile) {
        theProfile = new QWebEngineProfile(QStringLiteral("Vexel"));
        theProfile->setPersistentCookiesPolicy(QWebEngineProfile::AllowPersistentCookies);
        theProfile->setHttpCacheType(QWebEngineProfile::DiskHttpCache);
        configureProfile(theProfile);
        webenginedata::watchCookies(theProfile);
    }
    return theProfile;
}

QWebEngineProfile *WebEngineControl::privateProfile()
{
    if (!thePrivateProfile) {
        // No storage name: off the record, nothing of it on the disk.
        thePrivateProfile = new QWebEngineProfile();
        // The engine still makes folders for it, and would under the
        // user's data folder: they go in one of ours in the session's
        // runtime folder instead (in memory, the user's only), removed
        // with the profile.
        auto *folder = new QTemporaryDir(
            QDir(QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation)).filePath(QStringLiteral("vexel-private-XXXXXX")));
        thePrivateProfile->setPersistentStoragePath(folder->path());
        ++privateProfilesAlive;
        QObject::connect(thePrivateProfile, &QObject::destroyed, [folder] {
            delete folder;
            --privateProfilesAlive;
        });
        configureProfile(thePrivateProfile);
    }
    return thePrivateProfile;
}

bool WebEngineControl::hasPrivateProfile()
{
    return privateProfilesAlive > 0;
}

void WebEngineControl::releaseSharedProfile()
{
    if (!theProfile)
        return;
    // A cookie a page set just before the end travels to the cookie store on
    // its own and may not be there yet. One set from here queues behind it:
    // once the store reports this one, the pages' cookies are in and go to
    // the disk with the profile. A session cookie on a reserved name, so
    // nothing of it is kept.
    QWebEngineCookieStore *store = theProfile->cookieStore();
    const QNetworkCookie marker(QByteArrayLiteral("vexel-exit"), QByteArrayLiteral("1"));
    QEventLoop loop;
    QObject::connect(store, &QWebEngineCookieStore::cookieAdded, &loop, [&](const QNetworkCookie &c) {
        if (c.name() == marker.name())
            loop.quit();
    });
    // Only should the engine never answer: the program still ends.
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    store->setCookie(marker, QUrl(QStringLiteral("http://exit.invalid/")));
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    // Destroying the profile writes its cookies and storage out; a profile
    // left to the process's end can lose the last minutes of them.
    delete theProfile;
    theProfile = nullptr;
}

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
        ++privatePages;
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
    if (!IsPrivate() || --privatePages > 0)
        return;
    // The last private page goes with this control's children; the profile
    // and all it kept in memory go once it has (a profile must outlive its
    // pages). A private window opened meanwhile starts a new one.
    std::exchange(thePrivateProfile, nullptr)->deleteLater();
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

void WebEngineControl::showContextMenu(const QPoint &pos)
{
    QMenu *menu = view_->createStandardContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    // Back, forward and reload belong in every page's menu.
    const QList<QAction *> actions = menu->actions();
    if (!actions.contains(page_->action(QWebEnginePage::Back))) {
        QAction *first = actions.value(0);
        menu->insertActions(first, {page_->action(QWebEnginePage::Back), page_->action(QWebEnginePage::Forward),
                                    page_->action(QWebEnginePage::Reload)});
        if (first)
            menu->insertSeparator(first);
    }
    // The engine's source and inspector items, through ours: a window of the
    // frame for the source, our tools' window for the inspector.
    for (QAction *action : menu->actions()) {
        if (action == page_->action(QWebEnginePage::ViewSource) ||
            action == page_->action(QWebEnginePage::InspectElement)) {
            menu->insertAction(action, ourPageAction(menu, action));
            menu->removeAction(action);
        }
    }
    if (!menu->actions().contains(menu->findChild<QAction *>(QStringLiteral("inspectAction"))))
        menu->addAction(ourPageAction(menu, page_->action(QWebEnginePage::InspectElement)));
    menu->addSeparator();
    menu->addAction(QStringLiteral("印刷..."), this, [this] { emit PrintRequested(); })
        ->setObjectName(QStringLiteral("printAction"));
    menu->addAction(QStringLiteral("ページ内を検索..."), this, [this] { emit FindRequested(); });
    menu->addAction(QStringLiteral("拡大"), this, [this] { emit ZoomRequested(1); });
    menu->addAction(QStringLiteral("縮小"), this, [this] { emit ZoomRequested(-1); });
    menu->addAction(QStringLiteral("標準の大きさ"), this, [this] { emit ZoomRequested(0); });
    menu->addSeparator();
    addEncodingMenu(menu);
    menu->addSeparator();
    QAction *other = menu->addAction(QStringLiteral("もう一方のエンジンで開く"), this, [this] { emit OtherEngineRequested(); });
    other->setObjectName(QStringLiteral("otherEngineAction"));
    other->setEnabled(!OtherEngineAvailable || OtherEngineAvailable());
    QAction *both = menu->addAction(QStringLiteral("両方のエンジンで並べて表示"), this, [this] { emit SideBySideRequested(); });
    both->setObjectName(QStringLiteral("sideBySideAction"));
    both->setEnabled(other->isEnabled());
    webenginerules::addMenu(menu, this, page_->url());
    QAction *siteSettings = menu->addAction(QStringLiteral("サイトの設定"), this, [this] {
        SiteSettingsForm::showFor(this, sitepermissions::siteOf(page_->url()));
    });
    siteSettings->setObjectName(QStringLiteral("siteSettingsAction"));
    webengineblocking::addMenu(menu, page_, BlockedCount());
    menu->popup(view_->mapToGlobal(pos));
}

QAction *WebEngineControl::ourPageAction(QMenu *menu, QAction *engines)
{
    const bool inspect = engines == page_->action(QWebEnginePage::InspectElement);
    auto *action = new QAction(engines->text(), menu);
    action->setObjectName(inspect ? QStringLiteral("inspectAction") : QStringLiteral("viewSourceAction"));
    connect(action, &QAction::triggered, this, guarded([this, inspect](bool) {
        if (!inspect) {
            ViewSource();
            return;
        }
        // The element under the menu, once the tools are there to show it.
        ShowInspector();
        page_->triggerAction(QWebEnginePage::InspectElement);
    }));
    return action;
}

void WebEngineControl::ViewSource()
{
    if (showsErrorPage() || showsCrashNotice() || page_->url().isEmpty())
        return;
    // Through the frame, as the engine's new windows go: the request
    // counts as the user's own.
    page_->triggerAction(QWebEnginePage::ViewSource);
}

void WebEngineControl::ShowInspector()
{
    if (!devTools_) {
        devTools_ = new DevToolsWindow(page_, this);
        centreOver(devTools_, window());
    }
    devTools_->show();
    devTools_->raise();
    devTools_->activateWindow();
}

void WebEngineControl::addEncodingMenu(QMenu *menu)
{
    // The engine decodes with this default only what the page does not
    // declare itself; re-reading is all it offers.
    QMenu *encodings = menu->addMenu(QStringLiteral("エンコード"));
    encodings->setObjectName(QStringLiteral("encodingMenu"));
    auto *group = new QActionGroup(encodings);
    for (const pageencoding::Choice &choice : pageencoding::choices) {
        const QString charset = QString::fromLatin1(choice.charset);
        QAction *action = encodings->addAction(QString::fromUtf8(choice.label));
        action->setCheckable(true);
        action->setChecked(charset == encoding_);
        group->addAction(action);
        connect(action, &QAction::triggered, this, [this, charset] { readAgainAs(charset); });
    }
}

void WebEngineControl::readAgainAs(const QString &charset)
{
    encoding_ = charset;
    // Empty: the profile's default again.
    page_->settings()->setDefaultTextEncoding(charset);
    page_->triggerAction(QWebEnginePage::Reload);
    if (charset.isEmpty())
        return;
    // The engine's own detection may overrule the choice (and a page's
    // declaration always does): the user hears when the page stayed as it
    // was rather than believing it re-read.
    auto *once = new QObject(this);
    connect(page_, &QWebEnginePage::loadFinished, once, [this, once, charset](bool ok) {
        once->deleteLater();
        if (!ok)
            return;
        page_->runJavaScript(QStringLiteral("document.characterSet"), QWebEngineScript::ApplicationWorld,
                             [self = QPointer<WebEngineControl>(this), charset](const QVariant &used) {
                                 if (self && used.toString().compare(charset, Qt::CaseInsensitive) != 0)
                                     emit self->StatusMessage(
                                         QStringLiteral("このページは %1 で読み直せませんでした").arg(charset));
                             });
    });
}

void WebEngineControl::handleDownload(QWebEngineDownloadRequest *download)
{
    // The engine's name for a saved page is made of the address ("x_html.mhtml").
    const QString suggested = download->isSavePageDownload()
                                  ? pagedialogs::savedPageName(page_->title(), page_->url())
                                  : download->suggestedFileName();
    // One the engine resumes after an interruption goes on where it was placed.
    QString path = webenginedownloads::placedPath(download);
    if (path.isEmpty())
        path = pagedialogs::chooseDownloadPath(this, suggested);
    if (path.isEmpty()) {
        download->cancel();
        emit StatusMessage(pagedialogs::downloadCancelledText(QString()));
        return;
    }
    const QFileInfo target(path);
    download->setDownloadDirectory(target.absolutePath());
    download->setDownloadFileName(target.fileName());
    const QString name = target.fileName();
    webenginedownloads::follow(download, target.absoluteFilePath());
    connect(download, &QWebEngineDownloadRequest::receivedBytesChanged, this, [this, download, name] {
        emit StatusMessage(pagedialogs::downloadProgressText(name, download->receivedBytes(), download->totalBytes()));
    });
    // An interrupted download that could be resumed is not "finished"; the
    // user still needs to hear that it stopped.
    connect(download, &QWebEngineDownloadRequest::stateChanged, this, [this, download, name] {
        switch (download->state()) {
        case QWebEngineDownloadRequest::DownloadRequested:
        case QWebEngineDownloadRequest::DownloadInProgress:
            break;
        case QWebEngineDownloadRequest::DownloadCompleted:
            emit StatusMessage(pagedialogs::downloadFinishedText(name));
            break;
        case QWebEngineDownloadRequest::DownloadCancelled:
            emit StatusMessage(pagedialogs::downloadCancelledText(name));
            break;
        case QWebEngineDownloadRequest::DownloadInterrupted:
            emit StatusMessage(pagedialogs::downloadFailedText(name, download->interruptReasonString()));
            break;
        }
    });
    download->accept();
}

void WebEngineControl::Download(const QUrl &address)
{
    page_->download(address);
}

void WebEngineControl::askCredentials(const QString &who, QAuthenticator *authenticator)
{
    QString user, password;
    if (!pagedialogs::askCredentials(this, who, authenticator->realm(), &user, &password)) {
        // A null authenticator cancels: the page shows the server's answer.
        *authenticator = QAuthenticator();
        return;
    }
    authenticator->setUser(user);
    authenticator->setPassword(password);
}

void WebEngineControl::probe()
{
    constexpr qint64 kHangAfter = 4000;
    // The page waits for the user's answer; its probe is asked again after.
    if (page_->dialogsOpen() > 0) {
        resetProbe();
        return;
    }
    if (probing_) {
        if (!hung_ && probeSent_.elapsed() >= kHangAfter) {
            hung_ = true;
            emit PageResponsiveChange(false);
        }
        return;
    }
    if (showsCrashNotice())
        return;
    probing_ = true;
    probeSent_.start();
    const quint64 generation = probeGeneration_;
    // In a world of its own: the page's scripts cannot answer for it.
    page_->runJavaScript(QStringLiteral("0"), QWebEngineScript::ApplicationWorld,
                         [self = QPointer<WebEngineControl>(this), generation](const QVariant &) {
                             if (!self || self->probeGeneration_ != generation)
                                 return;
                             self->probing_ = false;
                             if (self->hung_) {
                                 self->hung_ = false;
                                 emit self->PageResponsiveChange(true);
                             }
                         });
}

void WebEngineControl::resetProbe()
{
    ++probeGeneration_;
    probing_ = false;
    // Probes start with the first page: before it there is nothing to ask.
    if (!probeTimer_->isActive())
        probeTimer_->start();
    if (hung_) {
        hung_ = false;
        emit PageResponsiveChange(true);
    }
}

void WebEngineControl::PrintToPdf(const QString &path)
{
    // A page that is not there (our error page or crash notice shows)
    // has nothing to print; nor does the engine, while it still owes one.
    if (showsErrorPage() || showsCrashNotice() || !pdfPending_.isEmpty() || !pdfAsked_.isEmpty()) {
        emit PdfPrinted(path, false);
        return;
    }
    pdfAsked_ = path;
    page_->runJavaScript(QStringLiteral("0"), QWebEngineScript::ApplicationWorld,
                         [self = QPointer<WebEngineControl>(this), path](const QVariant &) {
                             if (!self || self->pdfAsked_ != path || self->showsCrashNotice())
                                 return;
                             self->pdfAsked_.clear();
                             self->pdfPending_ = path;
                             // A4 with the margins a printer needs, as the other engine prints.
                             self->page_->printToPdf(path, QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                                                       QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter));
                         });
}

void WebEngineControl::TerminatePage()
{
    // Single-process mode would run the page in this process: never end that.
    const qint64 pid = page_->renderProcessPid();
    if (pid > 0 && pid != QCoreApplication::applicationPid())
        ::kill(pid_t(pid), SIGKILL);
}

void WebEngineControl::ExitFullScreen()
{
    page_->triggerAction(QWebEnginePage::ExitFullScreen);
}

bool WebEngineControl::showsCrashNotice() const
{
    return crashNotice_->isVisible();
}

void WebEngineControl::showCrashNotice(bool shown)
{
    // A page gone is all there is to say: no failure of the load before.
    if (shown)
        errorPage_->hide();
    view_->setVisible(!shown && errorPage_->isHidden());
    crashNotice_->setVisible(shown);
    if (shown)
        emit StatusMessage(QStringLiteral("ページの処理が停止しました"));
}

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

void WebEngineControl::FindText(const QString &text, bool backward)
{
    const QWebEnginePage::FindFlags flags = backward ? QWebEnginePage::FindBackward : QWebEnginePage::FindFlags();
    // A find the next one overtook reports nothing (the engine answers it
    // with "none found").
    const quint64 generation = ++findGeneration_;
    if (text.isEmpty()) {
        page_->findText(text, flags);
        return;
    }
    page_->findText(text, flags,
                    [self = QPointer<WebEngineControl>(this), generation](const QWebEngineFindTextResult &result) {
                        if (self && self->findGeneration_ == generation)
                            emit self->FindResult(result.numberOfMatches() > 0 ? result.activeMatch() : 0,
                                                  result.numberOfMatches());
                    });
}

QByteArray WebEngineControl::SaveHistory() const
{
    QByteArray state;
    QDataStream out(&state, QIODevice::WriteOnly);
    out << *page_->history();
    return savedhistory::wrap("ie", state);
}

bool WebEngineControl::RestoreHistory(const QByteArray &state)
{
    // Only what this engine wrote, unchanged, reaches its reader.
    const std::optional<QByteArray> history = savedhistory::unwrap("ie", state);
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

qreal WebEngineControl::ZoomFactor() const
{
    return page_->zoomFactor();
}

void WebEngineControl::SetZoomFactor(qreal factor)
{
    page_->setZoomFactor(factor);
    emit ZoomFactorChange(factor);
}

// --- Loads that fail ----------------------------------------------------------

namespace {

// Certificates the user accepted, each for one host, until the program ends;
// nothing of them is written anywhere.
QSet<std::pair<QString, QByteArray>> &allowedCertificates()
{
    static QSet<std::pair<QString, QByteArray>> allowed;
    return allowed;
}

std::pair<QString, QByteArray> allowanceOf(const QUrl &url, const QSslCertificate &certificate)
{
    return {url.host().toLower(), certificate.digest(QCryptographicHash::Sha256)};
}

// Chromium's network error codes (net_error_list.h) as the page names them.
ErrorPage::Kind kindOfError(int code)
{
    switch (code) {
    case -105:  // NAME_NOT_RESOLVED
    case -137:  // NAME_RESOLUTION_FAILED
        return ErrorPage::Kind::NameNotResolved;
    case -102:  // CONNECTION_REFUSED
        return ErrorPage::Kind::Refused;
    case -100:  // CONNECTION_CLOSED
    case -101:  // CONNECTION_RESET
    case -103:  // CONNECTION_ABORTED
    case -324:  // EMPTY_RESPONSE
        return ErrorPage::Kind::Reset;
    case -7:    // TIMED_OUT
    case -118:  // CONNECTION_TIMED_OUT
        return ErrorPage::Kind::TimedOut;
    case -106:  // INTERNET_DISCONNECTED
    case -109:  // ADDRESS_UNREACHABLE
        return ErrorPage::Kind::Offline;
    case -20:  // BLOCKED_BY_CLIENT: our filters
        return ErrorPage::Kind::Blocked;
    case -6:  // FILE_NOT_FOUND
        return ErrorPage::Kind::FileNotFound;
    default:
        return code <= -200 && code > -300 ? ErrorPage::Kind::Certificate : ErrorPage::Kind::Other;
    }
}

ErrorPage::Problems problemsOf(QWebEngineCertificateError::Type type)
{
    switch (type) {
    case QWebEngineCertificateError::CertificateCommonNameInvalid:
    case QWebEngineCertificateError::CertificateNonUniqueName:
    case QWebEngineCertificateError::CertificateNameConstraintViolation:
        return ErrorPage::WrongName;
    case QWebEngineCertificateError::CertificateDateInvalid:
        // Which of the two the certificate's dates tell.
        return ErrorPage::Expired | ErrorPage::NotYetValid;
    case QWebEngineCertificateError::CertificateAuthorityInvalid:
    case QWebEngineCertificateError::CertificateSymantecLegacy:
    case QWebEngineCertificateError::CertificateKnownInterceptionBlocked:
        return ErrorPage::UnknownIssuer;
    case QWebEngineCertificateError::CertificateRevoked:
        return ErrorPage::Revoked;
    case QWebEngineCertificateError::CertificateWeakSignatureAlgorithm:
    case QWebEngineCertificateError::CertificateWeakKey:
    case QWebEngineCertificateError::SslObsoleteVersion:
        return ErrorPage::Insecure;
    default:
        return ErrorPage::Unverified;
    }
}

}  // namespace

bool WebEngineControl::showsErrorPage() const
{
    return !errorPage_->isHidden();
}

void WebEngineControl::showErrorPage(bool shown)
{
    errorPage_->setVisible(shown);
    view_->setVisible(!shown && crashNotice_->isHidden());
}

void WebEngineControl::refuseCertificate(const QWebEngineCertificateError &error)
{
    QWebEngineCertificateError decision = error;
    const QSslCertificate certificate = error.certificateChain().value(0);
    if (!certificate.isNull() && allowedCertificates().contains(allowanceOf(error.url(), certificate))) {
        decision.acceptCertificate();
        return;
    }
    // Refused: the load fails, and its page shows the certificate.
    decision.rejectCertificate();
    refused_ = {error.url(), certificate, problemsOf(error.type()), error.isOverridable(), error.description()};
    emit StatusMessage(pagedialogs::certificateRefusedText(error.description()));
}

void WebEngineControl::loadingChanged(const QWebEngineLoadingInfo &info)
{
    if (info.status() == QWebEngineLoadingInfo::LoadStartedStatus) {
        if (!info.isErrorPage())
            showErrorPage(false);
        return;
    }
    // A stopped load (ABORTED) shows no page; a server's own answer, an
    // error status among them, is the server's page.
    if (info.status() != QWebEngineLoadingInfo::LoadFailedStatus || info.errorCode() == -3 ||
        info.errorDomain() == QWebEngineLoadingInfo::HttpStatusCodeDomain ||
        info.errorDomain() == QWebEngineLoadingInfo::NoErrorDomain)
        return;
    const QString address = info.url().toString();
    const QString detail = QStringLiteral("%1 (%2)").arg(info.errorString()).arg(info.errorCode());
    const ErrorPage::Kind kind = kindOfError(info.errorCode());
    if (kind == ErrorPage::Kind::Certificate || info.errorDomain() == QWebEngineLoadingInfo::CertificateErrorDomain) {
        // The certificate of this host, when the engine asked about one.
        const bool ours = refused_.url.host() == info.url().host() && refused_.url.port() == info.url().port();
        const Refused refused = ours ? refused_ : Refused();
        errorPage_->showCertificate(address, ours ? refused.problems : ErrorPage::Problems(ErrorPage::Unverified),
                                    refused.certificate, ours ? refused.description : detail, refused.overridable);
    } else {
        errorPage_->showFailure(kind, address, detail);
    }
    refused_ = Refused();
    showErrorPage(true);
    emit TitleChange(address);
}

void WebEngineControl::proceedPastCertificate()
{
    const QSslCertificate certificate = errorPage_->certificate();
    if (certificate.isNull())
        return;
    allowedCertificates().insert(allowanceOf(QUrl(errorPage_->address()), certificate));
    page_->triggerAction(QWebEnginePage::Reload);
}
