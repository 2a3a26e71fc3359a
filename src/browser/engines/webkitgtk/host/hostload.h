// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
/* What the frame hears of a view's loads: "uri", "title", "progress",
   "history", "loaded", "certificate" and "failed". */

#include "hostview.h"

/* Connects the view's load signals; its release disconnects them. Before
   other handlers of "load-changed": a load's state is set here first. */
void load_attach(HostView *v);

/* "allowcert <host> <pem>": the user accepts the certificate for the host,
   for as long as this process runs. */
void view_allow_certificate(HostView *v, const char *const *fields, guint count);
