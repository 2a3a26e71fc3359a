// SPDX-License-Identifier: GPL-3.0-or-later
// The profiles the pages load with: one shared and kept on the disk, one for
// the private windows kept in memory only.

#include "webengineprofiles.h"

#include "browser/engines/pageencoding.h"
#include "browser/engines/webengine/webenginecontrol.h"
#include "browser/engines/webengine/webenginedata.h"
#include "browser/engines/webengine/webenginepermissions.h"
#include "browser/engines/webenginepart.h"

#include <QDir>
#include <QEventLoop>
#include <QNetworkCookie>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebEngineCookieStore>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <utility>

namespace {

QWebEngineProfile *theProfile = nullptr;
// The private windows' profile, while a private page lives.
QWebEngineProfile *thePrivateProfile = nullptr;
int privatePages = 0;
int privateProfilesAlive = 0;

// Everything a profile needs, whichever data it keeps.
void configureProfile(QWebEngineProfile *profile)
{
    profile->setHttpAcceptLanguage(QStringLiteral("ja,en;q=0.5"));
    webenginepermissions::presentNotifications(profile);
    // Pages that declare no encoding, read as the system's users expect.
    if (const QString charset = pageencoding::systemDefault(); !charset.isEmpty())
        profile->settings()->setDefaultTextEncoding(charset);
}

}  // namespace

void WebEngineControl::prepareProcess()
{
    webenginepart::prepareProcess();
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

void webengineprofiles::privatePageOpened()
{
    ++privatePages;
}

void webengineprofiles::privatePageClosed()
{
    if (--privatePages > 0)
        return;
    // The last private page goes with its control's children; the profile
    // and all it kept in memory go once it has (a profile must outlive its
    // pages). A private window opened meanwhile starts a new one.
    std::exchange(thePrivateProfile, nullptr)->deleteLater();
}
