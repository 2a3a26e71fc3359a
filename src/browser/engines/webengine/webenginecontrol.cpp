#include "webenginecontrol.h"

#include <QAction>
#include <QDir>
#include <QUrl>
#include <QVBoxLayout>
#include <QWebEngineNewWindowRequest>
#include <QWebEngineProfile>
#include <QWebEngineView>

WebEnginePage::WebEnginePage(QWebEngineProfile *profile, QObject *parent) : QWebEnginePage(profile, parent)
{
}

QWebEnginePage *WebEnginePage::createWindow(WebWindowType)
{
    // None here: newWindowRequested follows and carries the address.
    return nullptr;
}

QWebEngineProfile *WebEngineControl::sharedProfile()
{
    static QWebEngineProfile *profile = [] {
        auto *p = new QWebEngineProfile(QStringLiteral("Vexel"));
        p->setPersistentCookiesPolicy(QWebEngineProfile::AllowPersistentCookies);
        p->setHttpCacheType(QWebEngineProfile::DiskHttpCache);
        return p;
    }();
    return profile;
}

WebEngineControl::WebEngineControl(QWidget *parent)
    : EngineControl(parent), view_(new QWebEngineView(this)), page_(new WebEnginePage(sharedProfile(), view_))
{
    view_->setPage(page_);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view_);
    setFocusProxy(view_);

    connect(page_, &QWebEnginePage::linkHovered, this, [this](const QString &url) { emit StatusTextChange(url); });
    connect(page_, &QWebEnginePage::loadStarted, this, [this] { emit ProgressChange(0, 100); });
    connect(page_, &QWebEnginePage::loadProgress, this, [this](int p) { emit ProgressChange(p, 100); });
    // A finished load ends with an empty bar.
    connect(page_, &QWebEnginePage::loadFinished, this, [this](bool) { emit ProgressChange(0, 0); });
    // Like the control the frame was made for, report both history states
    // after each navigation, not only when one of them flips.
    connect(page_, &QWebEnginePage::urlChanged, this, [this] {
        emit CommandStateChange(1, page_->action(QWebEnginePage::Forward)->isEnabled());
        emit CommandStateChange(2, page_->action(QWebEnginePage::Back)->isEnabled());
    });
    connect(page_, &QWebEnginePage::titleChanged, this, [this](const QString &t) { emit TitleChange(t); });
    QAction *back = page_->action(QWebEnginePage::Back);
    QAction *forward = page_->action(QWebEnginePage::Forward);
    connect(back, &QAction::changed, this, [this, back] { emit CommandStateChange(2, back->isEnabled()); });
    connect(forward, &QAction::changed, this,
            [this, forward] { emit CommandStateChange(1, forward->isEnabled()); });
    connect(page_, &QWebEnginePage::newWindowRequested, this, [this](QWebEngineNewWindowRequest &request) {
        bool cancel = false;
        emit NewWindow2(request.requestedUrl().toString(), cancel);
    });
}

void WebEngineControl::Navigate(const QString &address)
{
    if (address.isEmpty()) {
        page_->setUrl(QUrl(QStringLiteral("about:blank")));
        return;
    }
    // As a browser reads what is typed: a host name becomes a web address,
    // a path a local file.
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
    page_->triggerAction(QWebEnginePage::Reload);
}

QString WebEngineControl::LocationURL() const
{
    const QUrl url = page_->url();
    return url.isEmpty() ? QString() : url.toString();
}

void WebEngineControl::FindText(const QString &text, bool backward)
{
    page_->findText(text, backward ? QWebEnginePage::FindBackward : QWebEnginePage::FindFlags());
}

qreal WebEngineControl::ZoomFactor() const
{
    return page_->zoomFactor();
}

void WebEngineControl::SetZoomFactor(qreal factor)
{
    page_->setZoomFactor(factor);
}
