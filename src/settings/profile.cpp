// SPDX-License-Identifier: GPL-3.0-or-later
#include "profile.h"

#include "core/errors.h"
#include "core/atomicfile.h"
#include "core/cp932.h"

#include <QFile>
#include <QList>
#include <optional>

namespace {

// One line of the file as bytes, without its line end.
struct Line {
    QByteArray text;
    QByteArray end;  // "\r\n", "\n" or "" for a last line without one
};

QList<Line> splitLines(const QByteArray &bytes)
{
    QList<Line> lines;
    qsizetype start = 0;
    while (start < bytes.size()) {
        qsizetype nl = bytes.indexOf('\n', start);
        if (nl < 0) {
            lines.append({bytes.mid(start), QByteArray()});
            break;
        }
        qsizetype stop = nl;
        QByteArray end("\n");
        if (stop > start && bytes.at(stop - 1) == '\r') {
            --stop;
            end = "\r\n";
        }
        lines.append({bytes.mid(start, stop - start), end});
        start = nl + 1;
    }
    return lines;
}

bool sameName(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// The section name of a header line "[name]", or nothing.
std::optional<QString> sectionName(const QString &line)
{
    const QString t = line.trimmed();
    if (!t.startsWith(QLatin1Char('[')))
        return std::nullopt;
    qsizetype close = t.indexOf(QLatin1Char(']'));
    if (close < 0)
        close = t.size();
    return t.mid(1, close - 1).trimmed();
}

// Key and raw value of a "key = value" line, or nothing.
std::optional<std::pair<QString, QString>> keyValue(const QString &line)
{
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    if (eq < 0)
        return std::nullopt;
    return std::make_pair(line.left(eq).trimmed(), line.mid(eq + 1).trimmed());
}

struct Location {
    qsizetype sectionLine = -1;  // header of the section, -1 when missing
    qsizetype keyLine = -1;      // the key's line, -1 when missing
    qsizetype lastKeyLine = -1;  // last key line of the section
    QString value;
};

// Names are compared as the file's lines are read: without their blanks.
Location locate(const QList<Line> &lines, const QString &sectionArg, const QString &keyArg)
{
    const QString section = sectionArg.trimmed();
    const QString key = keyArg.trimmed();
    Location loc;
    bool inSection = false;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString text = cp932::decode(lines[i].text);
        if (auto name = sectionName(text)) {
            if (loc.sectionLine >= 0)
                break;  // the first section of that name is the one used
            inSection = sameName(*name, section);
            if (inSection) {
                loc.sectionLine = i;
                loc.lastKeyLine = i;
            }
            continue;
        }
        if (!inSection)
            continue;
        auto kv = keyValue(text);
        if (!kv)
            continue;
        loc.lastKeyLine = i;
        if (loc.keyLine < 0 && sameName(kv->first, key)) {
            loc.keyLine = i;
            loc.value = kv->second;
        }
    }
    return loc;
}

QByteArray readAll(const QString &path, bool *exists)
{
    QFile f(path);
    *exists = f.open(QIODevice::ReadOnly);
    return *exists ? f.readAll() : QByteArray();
}

// The value as the 2048-byte buffer leaves it: at most 2047 bytes, never a
// half character.
QString cutToBuffer(const QString &value)
{
    auto bytes = cp932::encode(value);
    if (bytes && bytes->size() < profile::kValueBufferBytes)
        return value;
    QString cut;
    int used = 0;
    for (char32_t cp : value.toUcs4()) {
        const QString ch = QStringView(QChar::fromUcs4(cp)).toString();  // keeps a U+FEFF
        auto b = cp932::encode(ch);
        const int len = b ? int(b->size()) : 1;
        if (used + len > profile::kValueBufferBytes - 1)
            break;
        used += len;
        cut += ch;
    }
    return cut;
}

QByteArray encodeOrRefuse(const QString &text, const QString &file)
{
    auto bytes = cp932::encode(text);
    if (!bytes || bytes->contains('\n') || bytes->contains('\r'))
        throw VexelError(cannotWriteMessage(file));
    return *bytes;
}

// A value as written so that a read returns it unchanged: blanks at its
// ends or a pair of enclosing quotes would be taken off by the read, so such
// a value is written inside one more pair of quotes; a value longer than the
// read buffer would come back cut, so it is refused.
QByteArray encodeValueOrRefuse(const QString &value, const QString &file)
{
    QByteArray bytes = encodeOrRefuse(value, file);
    if (bytes.size() >= profile::kValueBufferBytes)
        throw VexelError(cannotWriteMessage(file));
    const bool quoted = bytes.size() >= 2 && bytes.startsWith('"') && bytes.endsWith('"');
    if (quoted || value != value.trimmed())
        bytes = '"' + bytes + '"';
    return bytes;
}

// A section or key name as written; one holding '=', '[' or ']' would be
// written into a line that no read finds again, so it is refused.
QByteArray encodeNameOrRefuse(const QString &name, const QString &file)
{
    const QString trimmed = name.trimmed();
    if (trimmed.contains(QLatin1Char('=')) || trimmed.contains(QLatin1Char('[')) || trimmed.contains(QLatin1Char(']')))
        throw VexelError(cannotWriteMessage(file));
    return encodeOrRefuse(trimmed, file);
}

}  // namespace

namespace profile {

QString readString(const QString &file, const QString &section, const QString &key, const QString &def)
{
    bool exists = false;
    const QList<Line> lines = splitLines(readAll(file, &exists));
    const Location loc = locate(lines, section, key);
    QString value = def;
    if (loc.keyLine >= 0) {
        value = loc.value;
        if (value.size() >= 2 && value.startsWith(QLatin1Char('"')) && value.endsWith(QLatin1Char('"')))
            value = value.mid(1, value.size() - 2);
    }
    return cutToBuffer(value);
}

bool parseInteger(const QString &text, int *value)
{
    bool ok = false;
    if (text.size() > 2 && text.at(0) == QLatin1Char('0') &&
        (text.at(1) == QLatin1Char('x') || text.at(1) == QLatin1Char('X'))) {
        const QString digits = text.mid(2);
        // Hexadecimal wraps into 32 bits: 0xFFFFFFFF is -1.
        const uint u = digits.size() <= 8 ? digits.toUInt(&ok, 16) : 0;
        if (ok && !digits.startsWith(QLatin1Char('+')) && !digits.startsWith(QLatin1Char('-')))
            *value = int(u);
        else
            ok = false;
        return ok;
    }
    const int v = text.toInt(&ok, 10);
    if (ok)
        *value = v;
    return ok;
}

int readInteger(const QString &file, const QString &section, const QString &key, int def)
{
    const QString text = readString(file, section, key, QString());
    int value = def;
    if (text.isEmpty() || !parseInteger(text, &value))
        return def;
    return value;
}

bool readFlag(const QString &file, const QString &section, const QString &key, bool def)
{
    return readInteger(file, section, key, def ? 1 : 0) != 0;
}

void writeString(const QString &file, const QString &section, const QString &key, const QString &value)
{
    const QByteArray keyBytes = encodeNameOrRefuse(key, file);
    const QByteArray valueBytes = encodeValueOrRefuse(value, file);
    const QByteArray sectionBytes = encodeNameOrRefuse(section, file);
    bool exists = false;
    const QByteArray old = readAll(file, &exists);
    QList<Line> lines = splitLines(old);
    // New lines follow the file's own line ends; a new file gets the
    // platform's CRLF.
    QByteArray eol("\r\n");
    if (!lines.isEmpty() && lines.first().end == "\n")
        eol = "\n";

    const Location loc = locate(lines, section, key);
    const QByteArray entry = keyBytes + '=' + valueBytes;
    if (loc.keyLine >= 0) {
        lines[loc.keyLine].text = entry;
    } else if (loc.sectionLine >= 0) {
        const qsizetype after = loc.lastKeyLine;
        if (lines[after].end.isEmpty())
            lines[after].end = eol;
        lines.insert(after + 1, {entry, eol});
    } else {
        if (!lines.isEmpty() && lines.last().end.isEmpty())
            lines.last().end = eol;
        lines.append({'[' + sectionBytes + ']', eol});
        lines.append({entry, eol});
    }

    QByteArray out;
    out.reserve(old.size() + entry.size() + 64);
    for (const Line &l : lines)
        out += l.text + l.end;
    writeFileAtomically(file, out);
}

void writeInteger(const QString &file, const QString &section, const QString &key, int value)
{
    writeString(file, section, key, QString::number(value));
}

void writeFlag(const QString &file, const QString &section, const QString &key, bool value)
{
    writeString(file, section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

}  // namespace profile
