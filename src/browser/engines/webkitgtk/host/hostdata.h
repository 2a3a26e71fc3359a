// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
/* What sites keep in the normal context (never a private one): listed,
   cleared, removed per site, on the frame's word to view 0. */

#include <glib.h>

/* Handles a request to view 0 when it is one of ours; FALSE otherwise. */
gboolean data_request(const char *verb, const char *const *fields, guint count);
