// SPDX-License-Identifier: GPL-3.0-or-later
#include "programdir.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMutex>
#include <QSet>
#include <QStandardPaths>

namespace {

QString &overrideDir()
{
    static QString dir;
    return dir;
}

bool &installed()
{
    static bool value = false;
    return value;
}

constexpr QFileDevice::Permissions kOwnerOnly =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;

// A folder of Vexel's own under the user's base folder, with its trailing
// "/"; not created.
QString ownFolder(QStandardPaths::StandardLocation base)
{
    return QStandardPaths::writableLocation(base) + QStringLiteral("/Vexel/");
}

// Creates the folder for the owner alone when it is missing. The first time a
// run asks for it, what an earlier version left open to others (the folder,
// the files and folders directly in it) is closed too: the folder alone keeps
// others out only until someone loosens it. Creating it may fail (a read-only
// home): the write that needs it then reports the path it could not write.
void makeOwnFolder(const QString &dir)
{
    QDir().mkpath(QFileInfo(QDir::cleanPath(dir)).path());
    QDir().mkdir(dir, kOwnerOnly);
    static QMutex mutex;  // asked for from any thread
    static QSet<QString> swept;
    const QMutexLocker lock(&mutex);
    if (swept.contains(dir))
        return;
    swept.insert(dir);
    restrictToOwner(dir);
    for (const QFileInfo &entry :
         QDir(dir).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot))
        restrictToOwner(entry.filePath());
}

// ~/.config/Vexel, whatever name the running program has (tests are named
// after themselves).
QString userSettingsDirectory()
{
    const QString dir = ownFolder(QStandardPaths::GenericConfigLocation);
    makeOwnFolder(dir);
    return dir;
}

}  // namespace

bool installedLayout()
{
    return installed();
}

void setInstalledLayout(bool value)
{
    installed() = value;
}

QString programDirectory()
{
    QString dir = overrideDir();
    if (dir.isEmpty())
        dir = installed() ? userSettingsDirectory() : QCoreApplication::applicationDirPath();
    if (!dir.endsWith(QLatin1Char('/')))
        dir += QLatin1Char('/');
    return dir;
}

void setExecutableDirectoryForTesting(const QString &dir)
{
    overrideDir() = dir;
}

QString userDataDirectory()
{
    // The engines create their caches below ~/.cache/Vexel with the default
    // mode once they start, which is after this is first asked for.
    makeOwnFolder(ownFolder(QStandardPaths::GenericCacheLocation));
    const QString dir = ownFolder(QStandardPaths::GenericDataLocation);
    makeOwnFolder(dir);
    return dir;
}

bool isUserPrivateFolder(const QString &dir)
{
    const QString clean = QDir::cleanPath(QDir(dir).absolutePath());
    return clean == QDir::cleanPath(ownFolder(QStandardPaths::GenericDataLocation)) ||
           (installed() && overrideDir().isEmpty() &&
            clean == QDir::cleanPath(ownFolder(QStandardPaths::GenericConfigLocation)));
}

void restrictToOwner(const QString &path)
{
    // A link is not ours to change: chmod would change what it points at.
    const QFileInfo info(path);
    if (info.isSymLink() || !info.exists())
        return;
    const QFileDevice::Permissions now = info.permissions();
    if (now & ~kOwnerOnly & ~(QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser))
        QFile::setPermissions(path, now & kOwnerOnly);
}

void makePrivateFile(const QString &path)
{
    // NewOnly: an existing file (or a link there) is never opened, only
    // restricted.
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly, QFileDevice::ReadOwner | QFileDevice::WriteOwner))
        restrictToOwner(path);
}

QString bookmarkDirectory()
{
    return installed() ? programDirectory() : QDir::currentPath();
}
