// SPDX-License-Identifier: GPL-3.0-or-later
#include "commandline.h"

#include "browser/enginecontrol.h"

#include <QDir>
#include <QFile>
#include <QUrl>

CommandLine parseCommandLine(const QList<QByteArray> &arguments)
{
    CommandLine line;
    bool options = true;
    for (const QByteArray &argument : arguments) {
        if (options && argument == "--") {
            options = false;
        } else if (options && argument == "--private") {
            line.privateWindows = true;
        } else if (options && argument.startsWith('-') && argument.size() > 1) {
            if (argument == "-h" || argument == "--help") {
                line.action = CommandLine::Help;
            } else if (argument == "-v" || argument == "--version") {
                line.action = CommandLine::Version;
            } else {
                line.action = CommandLine::Fail;
                line.error = QStringLiteral("不明なオプションです: %1").arg(QFile::decodeName(argument));
            }
            return line;
        } else {
            line.addresses.append(argument);
        }
    }
    return line;
}

QStringList resolvedAddresses(const QList<QByteArray> &addresses)
{
    QStringList urls;
    for (const QByteArray &address : addresses) {
        const QString text = QFile::decodeName(address);
        if (QFile::encodeName(text) == address) {
            // Words stay words: the copy that opens the windows searches
            // them in the engine its user chose.
            const engines::TypedText typed = engines::readTypedText(text);
            urls.append(typed.kind == engines::TypedText::Search ? typed.words
                                                                 : typed.address.toString(QUrl::FullyEncoded));
            continue;
        }
        // Bytes that are no text are no web address either: a file name,
        // from a disk written under another encoding. Decoded, it would name
        // some other file, or none.
        const QByteArray absolute =
            address.startsWith('/') ? address : QFile::encodeName(QDir::currentPath()) + '/' + address;
        urls.append(fileAddress(absolute));
    }
    return urls;
}

QString fileAddress(const QByteArray &absolutePath)
{
    // A null byte cannot be in a file name, and "%00" would end it early.
    if (absolutePath.contains('\0'))
        return {};
    // "//x" is "/x" to the system, and an address whose path begins with
    // "//" is no valid address.
    qsizetype slashes = 0;
    while (slashes < absolutePath.size() && absolutePath[slashes] == '/')
        ++slashes;
    const QByteArray path = '/' + absolutePath.mid(slashes);
    return QString::fromLatin1("file://" + path.toPercentEncoding("/"));
}

QString helpText()
{
    return QStringLiteral(
        "使い方: vexel [オプション]... [アドレス|ファイル]...\n"
        "アドレスやファイルをそれぞれ新しいブラウザ ウィンドウで開きます。\n"
        "同じディスプレイで Vexel が動いていれば、そのウィンドウで開きます。\n"
        "\n"
        "  --private      プライベート ウィンドウで開く\n"
        "  -h, --help     この説明を表示して終了する\n"
        "  -v, --version  バージョンを表示して終了する\n"
        "  --             これ以降の引数はすべてアドレスとして読む\n");
}

QString versionText(const QString &version)
{
    return QStringLiteral("Vexel %1\n").arg(version);
}
