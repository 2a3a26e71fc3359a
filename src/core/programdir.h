// SPDX-License-Identifier: GPL-3.0-or-later
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
// It, the engines' cache folder (~/.cache/Vexel/) and, installed, the
// settings folder are for the user alone: created 0700, and the first time a
// run asks for one, it and what lies directly in it lose any group and other
// access an earlier version left.
QString userDataDirectory();

// Whether files written into dir are for the user alone (one of the folders
// above): Vexel's own, not one the user chose.
bool isUserPrivateFolder(const QString &dir);

// Takes group and other access away from a file or folder, keeping the
// owner's. A symbolic link, and what it points at, is left alone.
void restrictToOwner(const QString &path);

// Creates path as an empty file only its owner may read and write, or
// restricts it to its owner when it exists.
void makePrivateFile(const QString &path);

// The settings file's full path in a program directory.
inline QString configPath(const QString &programDir)
{
    return programDir + QStringLiteral("config.ini");
}
