#include "programdir.h"

#include <QCoreApplication>
#include <QDir>
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

// ~/.config/Vexel, whatever name the running program has (tests are named
// after themselves). Creating it may fail (a read-only home): the write that
// needs it then reports the path it could not write.
QString userSettingsDirectory()
{
    const QString dir =
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/Vexel/");
    QDir().mkpath(dir);
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
    const QString dir =
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Vexel/");
    QDir().mkpath(dir);
    return dir;
}

QString bookmarkDirectory()
{
    return installed() ? programDirectory() : QDir::currentPath();
}
