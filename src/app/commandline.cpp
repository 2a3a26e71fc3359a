#include "commandline.h"

#include "browser/enginecontrol.h"

#include <QUrl>

CommandLine parseCommandLine(const QStringList &arguments)
{
    CommandLine line;
    bool options = true;
    for (const QString &argument : arguments) {
        if (options && argument == QLatin1String("--")) {
            options = false;
        } else if (options && argument.startsWith(QLatin1Char('-')) && argument.size() > 1) {
            if (argument == QLatin1String("-h") || argument == QLatin1String("--help")) {
                line.action = CommandLine::Help;
            } else if (argument == QLatin1String("-v") || argument == QLatin1String("--version")) {
                line.action = CommandLine::Version;
            } else {
                line.action = CommandLine::Fail;
                line.error = QStringLiteral("不明なオプションです: %1").arg(argument);
            }
            return line;
        } else {
            line.addresses.append(argument);
        }
    }
    return line;
}

QStringList resolvedAddresses(const QStringList &addresses)
{
    QStringList urls;
    for (const QString &address : addresses)
        urls.append(engines::urlFromUserInput(address).toString(QUrl::FullyEncoded));
    return urls;
}

QString helpText()
{
    return QStringLiteral(
        "使い方: vexel [オプション]... [アドレス|ファイル]...\n"
        "アドレスやファイルをそれぞれ新しいブラウザ ウィンドウで開きます。\n"
        "同じディスプレイで Vexel が動いていれば、そのウィンドウで開きます。\n"
        "\n"
        "  -h, --help     この説明を表示して終了する\n"
        "  -v, --version  バージョンを表示して終了する\n"
        "  --             これ以降の引数はすべてアドレスとして読む\n");
}

QString versionText(const QString &version)
{
    return QStringLiteral("Vexel %1\n").arg(version);
}
