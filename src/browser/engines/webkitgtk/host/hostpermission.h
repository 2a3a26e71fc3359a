// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
/* What a page asks leave for (where the user is, notifications, camera,
   microphone, the screen, the clipboard, the pointer): each request is a
   numbered question to the frame, which answers from the decisions it
   remembers or by asking the user. The page's notifications go to the
   frame too, which puts them on the desktop. */

#include "hostview.h"

/* Each web context reads the kept decisions on notifications. */
void permissions_init(WebKitWebContext *context);
/* Sets the view up for media and connects its requests. */
void permissions_attach(HostView *v);
/* The frame's answer: "permit <q> <0|1>". */
void answer_permission(HostView *v, const char *const *fields, guint count);
