// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
/* A view of a linked pair: where its page is scrolled goes to the frame,
   and the frame puts it at the place its partner reported. */

#include "hostview.h"

/* "scrollwatch <0|1>": starts or ends reporting "scrolled". */
void scroll_watch(HostView *v, const char *const *fields, guint count);
/* "scrollto <anchor> <within> <fraction>". */
void scroll_to(HostView *v, const char *const *fields, guint count);
