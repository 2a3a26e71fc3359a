// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Engine rules per site in the "Gekko" slot, the frame's side: the engine
// host keeps a copy of the rules (for its page menu and to hold back a
// page's navigation to a site of the other engine), and asks the frame
// before such a navigation leaves the page (webkitrules.cpp).

class WebKitHost;

namespace webkitrules {

// Sends host the rules now, and again whenever they change, for as long as
// host lives.
void follow(WebKitHost *host);

}  // namespace webkitrules
