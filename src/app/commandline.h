// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The program's command line: vexel [OPTION]... [ADDRESS|FILE]...

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

struct CommandLine {
    enum Action { Start, Help, Version, Fail };
    Action action = Start;
    QList<QByteArray> addresses;  // as given, byte for byte, in order
    bool privateWindows = false;  // --private: the addresses open in private windows
    QString error;                // what was wrong, when action is Fail
};

// Reads the arguments after the program name, as the system gave them: a
// file name need not be text in any encoding. "--" ends the options, so an
// address or file may begin with "-".
CommandLine parseCommandLine(const QList<QByteArray> &arguments);

// The addresses read as a typed address is read, against the current
// directory: the result no longer depends on where it is opened (a running
// copy elsewhere, or the Gecko folder the frame changes to). An address
// becomes an absolute URL; words to search for stay words (with single
// spaces), which the same reader, ignoring relative files, reads as words
// again. A file name that is not text names its file byte for byte.
QStringList resolvedAddresses(const QList<QByteArray> &addresses);

// The file address of a local path given as the system's bytes, each byte
// kept (percent-encoded where it is not plain ASCII).
QString fileAddress(const QByteArray &absolutePath);

QString helpText();
QString versionText(const QString &version);
