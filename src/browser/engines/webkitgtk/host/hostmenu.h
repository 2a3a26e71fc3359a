// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
/* The page's context menu in the frame's language, the same items an
   Internet Explorer window offers: WebKit's own (English without a Japanese
   locale, and partly beyond what the frame handles) give way to them. What
   belongs to the frame goes there: new windows, the find bar, zoom steps.
   The page's encoding is chosen here, for any page. */

#include "hostview.h"

void menu_attach(HostView *v);
void menu_detach(HostView *v);
