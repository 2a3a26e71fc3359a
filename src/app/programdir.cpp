#include "programdir.h"

#include <QCoreApplication>

static QString &overrideDir()
{
    static QString dir;
    return dir;
}

QString executableDirectory()
{
    QString dir = overrideDir().isEmpty() ? QCoreApplication::applicationDirPath() : overrideDir();
    if (!dir.endsWith(QLatin1Char('/')))
        dir += QLatin1Char('/');
    return dir;
}

void setExecutableDirectoryForTesting(const QString &dir)
{
    overrideDir() = dir;
}
