// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
/* Keyboard focus over X between the frame and a view's plug. */

#include "hostview.h"

/* The plug's focus and key handlers: before the web view connects its own
   handlers to the plug. */
void focus_attach_plug(HostView *v);
/* A click in the page, told to the frame. */
void focus_attach_view(HostView *v);
