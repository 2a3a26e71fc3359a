// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The settings file's read and write functions. They behave as the Windows
// private-profile functions do, which files written on that platform rely
// on: each call opens the file anew (nothing is cached), section and key
// names match without regard to case, blanks around names and values are
// ignored, one pair of double quotes around a value is removed, a value is
// read through a 2048-byte buffer, and a write replaces one value in place
// and keeps every other line byte for byte. Bytes on disk are CP932.
// Written by hand because QSettings neither keeps foreign lines nor speaks
// CP932.

#include <QString>

namespace profile {

// The stored text, or def when the file, section or key is missing.
QString readString(const QString &file, const QString &section, const QString &key, const QString &def);

// The stored text as a 32-bit integer: "0x"/"0X" followed by hexadecimal
// digits (a text of more than two characters), otherwise decimal; def when
// missing, empty or not a number.
int readInteger(const QString &file, const QString &section, const QString &key, int def);

// An integer read whose value is true when not 0.
bool readFlag(const QString &file, const QString &section, const QString &key, bool def);

// Creates file, section and key as needed and replaces the value in place.
// Throws VexelError "<file> に書き込めません" when the write is refused.
void writeString(const QString &file, const QString &section, const QString &key, const QString &value);
void writeInteger(const QString &file, const QString &section, const QString &key, int value);
void writeFlag(const QString &file, const QString &section, const QString &key, bool value);

// The text-to-integer rule of readInteger, for the one who has the text.
bool parseInteger(const QString &text, int *value);

// The longest value a read returns, in bytes.
inline constexpr int kValueBufferBytes = 2048;

}  // namespace profile
