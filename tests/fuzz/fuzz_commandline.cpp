// SPDX-License-Identifier: GPL-3.0-or-later
// The command line on any bytes, split into arguments at each null byte as
// the system splits them: reading never fails; a start keeps every
// argument after the options (--private, --), byte for byte; an address
// that is not text becomes the file address of exactly those bytes.

#include "app/commandline.h"

#include <QUrl>
#include <cstdlib>

namespace {

bool keepsBytes(const QString &address, const QByteArray &path)
{
    const QUrl url(address);
    return url.isValid() && url.scheme() == QLatin1String("file") &&
           QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()) == path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    const QList<QByteArray> arguments = size == 0 ? QList<QByteArray>() : bytes.split('\0');
    const CommandLine line = parseCommandLine(arguments);
    if ((line.action == CommandLine::Fail) == line.error.isEmpty())
        std::abort();
    if (line.action == CommandLine::Start) {
        // A start had no options but "--private" before the first "--".
        QList<QByteArray> expected;
        bool options = true, privateSeen = false;
        for (const QByteArray &argument : arguments) {
            if (options && (argument == "--" || argument == "--private")) {
                options = argument != "--";
                privateSeen = privateSeen || argument == "--private";
            } else {
                expected << argument;
            }
        }
        if (line.addresses != expected || line.privateWindows != privateSeen)
            std::abort();
    }
    // Every byte kept; only a run of slashes at the start is one.
    for (const QByteArray &argument : arguments) {
        qsizetype slashes = 0;
        while (slashes < argument.size() && argument[slashes] == '/')
            ++slashes;
        if (!keepsBytes(fileAddress(argument), '/' + argument.mid(slashes)))
            std::abort();
    }
    const QStringList urls = resolvedAddresses(line.addresses);
    if (urls.size() != line.addresses.size())
        std::abort();
    return 0;
}
