// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
/* Downloads: a response the view cannot show, or one the server sends as an
   attachment. The frame asks the user where it goes (nothing is saved
   without asking) and hears how it goes on (see ../protocol.h). */

#include "hostview.h"

void downloads_init(WebKitWebContext *context);

/* decide-policy of a view: what it cannot show is downloaded. */
gboolean download_decide_policy(WebKitWebView *web, WebKitPolicyDecision *decision, WebKitPolicyDecisionType type,
                                HostView *v);

/* The frame's answer: "save <q> <path>", an empty path when the user
   cancelled. */
void answer_download(HostView *v, const char *const *fields, guint count);

/* "fetch <uri>": downloads uri from the view (a retry from the frame's
   list); "canceldownload <id>": stops a running download. */
void request_fetch(HostView *v, const char *const *fields, guint count);
void download_cancel(const char *const *fields, guint count);
