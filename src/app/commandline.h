#pragma once
// The program's command line: vexel [OPTION]... [ADDRESS|FILE]...

#include <QString>
#include <QStringList>

struct CommandLine {
    enum Action { Start, Help, Version, Fail };
    Action action = Start;
    QStringList addresses;  // as given, in order
    QString error;          // what was wrong, when action is Fail
};

// Reads the arguments after the program name. "--" ends the options, so an
// address or file may begin with "-".
CommandLine parseCommandLine(const QStringList &arguments);

// The addresses read as a typed address is read, against the current
// directory: the result no longer depends on where it is opened (a running
// copy elsewhere, or the Gecko folder the frame changes to).
QStringList resolvedAddresses(const QStringList &addresses);

QString helpText();
QString versionText(const QString &version);
