// SPDX-License-Identifier: GPL-3.0-or-later
// The CP932 codec on any input: any bytes decode, and what encodes decodes
// back to the same text. The input is read three ways: as CP932 bytes, as
// UTF-8 and as raw UTF-16 (which may hold unpaired surrogates).

#include "core/cp932.h"

#include <QList>
#include <QString>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

[[noreturn]] void fail(const char *what, const QString &text)
{
    std::fprintf(stderr, "%s: %s\n", what, qPrintable(text));
    std::abort();
}

void checkText(const QString &text)
{
    const std::optional<QByteArray> bytes = cp932::encode(text);
    if (bytes && cp932::decode(*bytes) != text)
        fail("encoded text decodes to another", text);
    // The whole encodes exactly when each of its characters does (checked on
    // a prefix: one conversion per character is slow).
    const QString head = text.left(64);
    bool each = true;
    for (char32_t cp : head.toUcs4())
        each = each && cp932::canEncode(cp);
    if (each != cp932::encode(head).has_value())
        fail("the text and its characters disagree on encoding", head);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString decoded = cp932::decode(input);
    if (decoded.size() > input.size())
        fail("more characters than bytes", decoded);
    checkText(decoded);
    checkText(QString::fromUtf8(input));
    QString utf16(qsizetype(size / 2), Qt::Uninitialized);
    std::memcpy(utf16.data(), data, size_t(utf16.size()) * sizeof(QChar));
    checkText(utf16);
    return 0;
}
