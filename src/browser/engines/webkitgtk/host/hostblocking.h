// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
/* Content blocking, the engine host's part. The filters run in every web
   process (the extension in ../blocker/, loaded into both contexts); the
   host gives them the compiled cache and the exempt sites, counts what they
   refuse per view, shows the frame's page for a page refused outright, and
   offers the page menu's 広告ブロック items. */

#include "hostview.h"

/* Loads the extension into the context's web processes, with the filters
   as the frame last sent them. */
void blocking_configure_context(WebKitWebContext *context);
/* "0 blocking <cache path> <exempt hosts, separated by spaces>": for the web
   processes running and those to come. */
void blocking_request(const char *const *fields, guint count);
/* Counts the view's refused requests, from 0 at each page it commits, and
   shows the frame's page for a page refused. */
void blocking_attach(HostView *v);
/* The submenu "広告ブロック: N". */
void blocking_menu(WebKitContextMenu *menu, HostView *v);
