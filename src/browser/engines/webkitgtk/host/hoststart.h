// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
/* How the host starts: how its views draw (the frame decides for the
   whole program) and a web process made ready before the first view
   asks for one. */

#include <webkit2/webkit2.h>

/* Reads the host's own arguments: "--no-compositing" when the machine
   draws without a GPU. Before GTK reads its own and before WebKit reads
   the environment. */
void start_read_arguments(int argc, char **argv);

/* "0 prewarm": starts a web process for the normal context now, while the
   frame is still being built, so that the first page does not wait for
   one. Only before the first view: later it would just add a process. */
void start_prewarm(void);

/* A new view of the context (the private one or the normal one), drawing
   as the frame decided; the first normal one takes the process warmed. */
WebKitWebView *start_new_view(gboolean private_window);
