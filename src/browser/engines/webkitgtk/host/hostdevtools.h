// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
/* WebKit's inspector on a view's page, always in a window of its own: the
   view sits in the frame's window as an embedded plug, where an inspector
   attached beside it could be neither sized nor moved. */

#include "hostview.h"

/* Makes the inspector available to the view (and to its menu's
   "要素を調査"); the frame hears "inspector <1|0>" as its window opens and
   closes. */
void inspector_attach(HostView *v);
/* Closes the view's inspector, before the view goes. */
void inspector_detach(HostView *v);
/* "inspect": shows the inspector on the page. */
void inspector_request(HostView *v, const char *const *fields, guint count);
