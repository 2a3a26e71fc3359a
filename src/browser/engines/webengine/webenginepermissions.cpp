// SPDX-License-Identifier: GPL-3.0-or-later
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

// What the site may do, told the engine before the page asks, so that it
// reads its permissions as remembered from the start (Notification.permission).
// This engine has no question for reading the clipboard: a page reads it
// only where the user allowed that for the site (in the other engine).
void applyRemembered(QWebEnginePage *page, const QUrl &url)
{
    const QString site = sitepermissions::siteOf(url);
    const bool clipboard = sitepermissions::rememberedDecision(site, Kind::ClipboardRead).value_or(false);
    page->settings()->setAttribute(QWebEngineSettings::JavascriptCanAccessClipboard, clipboard);
    page->settings()->setAttribute(QWebEngineSettings::JavascriptCanPaste, clipboard);
    for (const auto &[kind, feature] : {std::pair{Kind::Notifications, QWebEnginePage::Notifications},
                                        std::pair{Kind::Geolocation, QWebEnginePage::Geolocation}})
        if (const std::optional<bool> known = sitepermissions::rememberedDecision(site, kind))
            page->setFeaturePermission(QUrl(site), feature,
                                       *known ? QWebEnginePage::PermissionGrantedByUser
                                              : QWebEnginePage::PermissionDeniedByUser);
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
                     [page](const QUrl &url) { applyRemembered(page, url); });
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
