// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The byte form of every file Vexel writes: CP932, the Windows reading of
// "Shift_JIS" (0x5C is "\", 0x8160 is U+FF5E). Qt's own Shift_JIS codec
// writes junk for characters it cannot hold, so glibc's iconv does the work.

#include <QByteArray>
#include <QString>
#include <optional>

namespace cp932 {

// The CP932 bytes of text, or nothing when a character has no CP932 form.
std::optional<QByteArray> encode(const QString &text);

// The text of CP932 bytes; a byte sequence that is not CP932 becomes U+FFFD.
QString decode(const QByteArray &bytes);

// Whether the character (one code point) has a CP932 form.
bool canEncode(char32_t codePoint);

}  // namespace cp932
