#pragma once
#include <QString>

// The directory of the running executable, with its trailing "/": where
// config.ini lives. Tests point it at a temporary directory.
QString executableDirectory();
void setExecutableDirectoryForTesting(const QString &dir);  // empty: the real one

// The settings file's full path in a program directory.
inline QString configPath(const QString &programDir)
{
    return programDir + QStringLiteral("config.ini");
}
