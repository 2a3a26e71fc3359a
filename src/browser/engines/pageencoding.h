// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What pages that declare no text encoding are read as, and the encodings a
// page's context menu offers to read one again in.

#include <QLocale>
#include <QString>
#include <array>

namespace pageencoding {

// On a Japanese system, Shift_JIS, as Japanese browsers do (Qt WebEngine
// also detects EUC-JP and ISO-2022-JP by itself; WebKitGTK does not).
// Elsewhere empty: the engine's own default stands.
inline QString systemDefault()
{
    return QLocale::system().language() == QLocale::Japanese ? QStringLiteral("Shift_JIS") : QString();
}

// The menu "エンコード": an empty name is 自動 (no override).
struct Choice {
    const char *label;
    const char *charset;
};
inline constexpr std::array<Choice, 5> choices{{
    {"自動", ""},
    {"Shift_JIS", "Shift_JIS"},
    {"EUC-JP", "EUC-JP"},
    {"ISO-2022-JP", "ISO-2022-JP"},
    {"UTF-8", "UTF-8"},
}};

}  // namespace pageencoding
