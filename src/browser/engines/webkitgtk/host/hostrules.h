// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
/* Engine rules per site, the engine host's part: a copy of the rules the
   frame sends, the page's own link and form navigations to a site whose
   rule names the other engine held until the frame answers, and the page
   menu's rule items. */

#include "hostview.h"

/* "0 rules <host ie|gecko host ie|gecko ...>": the whole list again after
   each change, one field; a host with a leading "." takes in its
   subdomains. */
void rules_request(const char *const *fields, guint count);
/* "<v> ruleanswer <0|1>": 1, the frame opens the held navigation in the
   other engine; 0, the page goes there itself. */
void rules_answer(HostView *v, const char *const *fields, guint count);
/* Watches the view's navigations. */
void rules_attach(HostView *v);
/* The three items after "もう一方のエンジンで開く". */
void rules_menu(WebKitContextMenu *menu, HostView *v);
