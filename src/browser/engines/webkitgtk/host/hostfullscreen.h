// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
/* A page's full screen (a video's button, element.requestFullscreen): the
   frame makes the window fill the screen, the view follows its size. */

#include "hostview.h"

void fullscreen_attach(HostView *v);

/* "exitfullscreen": the user leaves (Esc in the frame, another window). */
void fullscreen_exit(WebKitWebView *web);
