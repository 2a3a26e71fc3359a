// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The content filters in the "Gekko" slot, the frame's side: the engine host
// hears of the compiled filters and the exempt sites (its web processes
// block), and the page's count and menu items come back as WebKitControl's
// events (webkitblocking.cpp).

class WebKitHost;

namespace webkitblocking {

// Sends host the filters now, and again whenever they or the exempt sites
// change, for as long as host lives.
void follow(WebKitHost *host);

}  // namespace webkitblocking
