// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// libxml2 reads and writes the label "Shift_JIS" as CP932, the meaning the
// bookmark file has always had (0x5C is "\", 0x8160 is U+FF5E). A character
// CP932 cannot hold goes out as a numeric character reference, so a save
// never loses text.

namespace bookmarks {

// Registers the encoding with libxml2; idempotent, cheap after the first call.
void registerShiftJisEncoding();

}  // namespace bookmarks
