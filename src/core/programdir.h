#pragma once
#include <QString>

// Where the program keeps its two files. A portable copy (the build tree, an
// unpacked folder) keeps config.ini in the directory of the running
// executable and bookmark.xml in the directory it was started from. An
// installed copy cannot write beside its executable and is shared by every
// user, so it keeps both in the user's own settings folder (~/.config/Vexel).
// The shipped program sets the layout once from its build option; tests
// switch it.
bool installedLayout();
void setInstalledLayout(bool installed);

// The program directory, with its trailing "/": where config.ini lives. In
// the installed layout it is created when first asked for, so the first
// write finds it. Tests point it at a temporary directory.
QString programDirectory();
void setExecutableDirectoryForTesting(const QString &dir);  // empty: the real one

// The directory bookmark.xml is resolved against at start-up.
QString bookmarkDirectory();

// The user's own data folder (~/.local/share/Vexel/, beside the engines'
// data) in either layout: what Vexel remembers that is no setting (history,
// the open windows). Created when first asked for; tests set XDG_DATA_HOME.
QString userDataDirectory();

// The settings file's full path in a program directory.
inline QString configPath(const QString &programDir)
{
    return programDir + QStringLiteral("config.ini");
}
