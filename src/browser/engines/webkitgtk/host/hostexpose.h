// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
/* Repainting a view where the X server has lost its pixels (a window of
   the frame lay over it and went). */

#include "hostview.h"

/* Once the plug is realized: follows its exposes from then on. */
void expose_attach(HostView *v);
