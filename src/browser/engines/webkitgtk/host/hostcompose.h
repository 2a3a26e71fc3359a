// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
/* Holding an input method's composition that WebKit ended itself, so its
   text is not put in twice. */

#include "hostview.h"

/* Before other handlers of the input method's "preedit-changed". */
void compose_attach(HostView *v);
/* Stops holding and lets go of the input method. */
void compose_detach(HostView *v);
/* The page loses the composition (a click, the focus going): its text is
   kept until the input method commits it. */
void hold_composition(HostView *v);
