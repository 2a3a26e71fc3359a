// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The cache's header rewritten to fit its body (size and checksum): the fuzz
// target uses it to reach the checks that lie behind the checksum, as a
// cache file written by someone else would.

#include <string>
#include <string_view>

namespace blocking {

std::string resealedCache(std::string_view bytes);

} // namespace blocking
