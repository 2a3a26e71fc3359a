#include "webenginepermissions.h"

#include "browser/sitepermissions.h"
#include "core/errors.h"

#include <QPointer>
#include <QWebEngineNotification>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWidget>

namespace webenginepermissions {

namespace {

using sitepermissions::Kind;

std::optional<Kind> kindOf(QWebEnginePage::Feature feature)
{
    switch (feature) {
    case QWebEnginePage::Geolocation:
        return Kind::Geolocation;
    case QWebEnginePage::Notifications:
        return Kind::Notifications;
    case QWebEnginePage::MediaAudioCapture:
        return Kind::Microphone;
    case QWebEnginePage::MediaVideoCapture:
        return Kind::Camera;
    case QWebEnginePage::MediaAudioVideoCapture:
        return Kind::CameraAndMicrophone;
    case QWebEnginePage::DesktopVideoCapture:
    case QWebEnginePage::DesktopAudioVideoCapture:
        return Kind::ScreenSharing;
    case QWebEnginePage::MouseLock:
        return Kind::PointerLock;
    }
    return std::nullopt;
}

// This engine has no question for reading the clipboard; a page reads it
// only where the user allowed it for the site (in the other engine).
void allowClipboardAsRemembered(QWebEnginePage *page, const QUrl &url)
{
    const bool allowed =
        sitepermissions::rememberedDecision(sitepermissions::siteOf(url), Kind::ClipboardRead).value_or(false);
    page->settings()->setAttribute(QWebEngineSettings::JavascriptCanAccessClipboard, allowed);
    page->settings()->setAttribute(QWebEngineSettings::JavascriptCanPaste, allowed);
}

}  // namespace

void attach(QWebEnginePage *page, QWidget *window)
{
    // Queued: the question waits in the event loop, not inside the engine's
    // call.
    QObject::connect(
        page, &QWebEnginePage::featurePermissionRequested, window,
        guarded([page = QPointer<QWebEnginePage>(page), window](const QUrl &origin, QWebEnginePage::Feature feature) {
            const std::optional<Kind> kind = kindOf(feature);
            const bool allowed = kind && sitepermissions::decide(window, sitepermissions::siteOf(origin), *kind);
            // A page that went meanwhile hears nothing more.
            if (page)
                page->setFeaturePermission(origin, feature,
                                           allowed ? QWebEnginePage::PermissionGrantedByUser
                                                   : QWebEnginePage::PermissionDeniedByUser);
        }),
        Qt::QueuedConnection);
    QObject::connect(page, &QWebEnginePage::urlChanged, page,
                     [page](const QUrl &url) { allowClipboardAsRemembered(page, url); });
}

void presentNotifications(QWebEngineProfile *profile)
{
    profile->setNotificationPresenter([](std::unique_ptr<QWebEngineNotification> notification) {
        if (sitepermissions::notifyDesktop(sitepermissions::siteOf(notification->origin()), notification->title(),
                                           notification->message()))
            notification->show();
    });
}

}  // namespace webenginepermissions
