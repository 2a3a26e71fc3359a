// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
/* The web contexts the views share: the normal one, its data kept on disk,
   and the private one, its data in memory only. */

#include "hostview.h"

/* The web context of normal views, with its data in the user's data and
   cache folders under Vexel/webkit (made at the first call); or the one of
   private views, keeping everything in memory until its last view goes. */
WebKitWebContext *views_context(gboolean private_window);

/* A view of the context comes and goes: the private context lives while
   one of its views does. */
void views_context_hold(gboolean private_window);
void views_context_release(gboolean private_window);
