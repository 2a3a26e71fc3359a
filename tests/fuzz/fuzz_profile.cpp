// SPDX-License-Identifier: GPL-3.0-or-later
// The settings file's functions on any file: reads never fail, a write
// either takes or is refused with its error and leaves the file as it was,
// a read after a write returns exactly what was written, and a write changes
// no other value.
//
// Input: the file's bytes, optionally followed by "\0\0" and NUL-separated
// UTF-8 fields: the written section, key and value, then pairs of section
// and key that are read before and after the write.

#include "core/cp932.h"
#include "settings/profile.h"

#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <exception>

namespace {

const QString &configPath()
{
    static QTemporaryDir dir;
    static const QString path = dir.path() + QStringLiteral("/config.ini");
    if (!dir.isValid())
        std::abort();
    return path;
}

QByteArray fileBytes()
{
    QFile f(configPath());
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void setFileBytes(const QByteArray &bytes)
{
    QFile f(configPath());
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        std::abort();
}

bool sameName(const QString &a, const QString &b)
{
    return a.trimmed().compare(b.trimmed(), Qt::CaseInsensitive) == 0;
}

// A write nothing should refuse: plain names, a value CP932 holds on one
// line that fits the read buffer.
bool plainWrite(const QString &section, const QString &key, const QString &value)
{
    auto plainName = [](const QString &name) {
        if (name.isEmpty())
            return false;
        for (QChar c : name)
            if (!(c.isLetterOrNumber() && c.unicode() < 0x80))
                return false;
        return true;
    };
    const auto bytes = cp932::encode(value);
    return plainName(section) && plainName(key) && bytes && !bytes->contains('\n') && !bytes->contains('\r') &&
           bytes->size() < profile::kValueBufferBytes;
}

[[noreturn]] void fail(const char *what, const QString &section, const QString &key, const QString &detail)
{
    std::fprintf(stderr, "%s: [%s] %s: %s\n", what, qPrintable(section), qPrintable(key), qPrintable(detail));
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    const qsizetype marker = input.indexOf(QByteArray("\0\0", 2));
    const QByteArray file = marker < 0 ? input : input.left(marker);
    QStringList fields{QStringLiteral("Option_Main"), QStringLiteral("MozPath"), QStringLiteral("/opt/mozilla"),
                       QStringLiteral("General"), QStringLiteral("LastEngine"), QStringLiteral("Bar"),
                       QStringLiteral("Band0Width")};
    if (marker >= 0) {
        fields.clear();
        for (const QByteArray &field : input.mid(marker + 2).split('\0'))
            fields.append(QString::fromUtf8(field));
        while (fields.size() < 3)
            fields.append(QString());
    }
    const QString section = fields[0], key = fields[1], value = fields[2];
    const QString def = QStringLiteral("\u2603default");

    setFileBytes(file);
    QStringList before;
    for (qsizetype i = 3; i + 1 < fields.size(); i += 2) {
        before.append(profile::readString(configPath(), fields[i], fields[i + 1], def));
        if (before.last().size() >= profile::kValueBufferBytes)
            fail("read past the buffer", fields[i], fields[i + 1], before.last());
    }
    if (fields.size() >= 5) {  // each read opens the file: the number rules on one key suffice
        profile::readInteger(configPath(), fields[3], fields[4], -1);
        profile::readFlag(configPath(), fields[3], fields[4], true);
    }

    try {
        profile::writeString(configPath(), section, key, value);
    } catch (const std::exception &e) {
        if (!QString::fromUtf8(e.what()).endsWith(QStringLiteral("に書き込めません")))
            fail("refused with another error", section, key, QString::fromUtf8(e.what()));
        if (fileBytes() != file)
            fail("a refused write changed the file", section, key, value);
        if (plainWrite(section, key, value))
            fail("a plain write was refused", section, key, value);
        return 0;
    }

    const QString read = profile::readString(configPath(), section, key, def);
    if (read != value)
        fail("read after write", section, key, read + QStringLiteral(" instead of ") + value);
    for (qsizetype i = 3, n = 0; i + 1 < fields.size(); i += 2, ++n) {
        if (sameName(fields[i], section) && sameName(fields[i + 1], key))
            continue;
        const QString now = profile::readString(configPath(), fields[i], fields[i + 1], def);
        if (now != before[n])
            fail("a write changed another value", fields[i], fields[i + 1], before[n] + QStringLiteral(" -> ") + now);
    }
    return 0;
}
