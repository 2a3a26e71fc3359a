// SPDX-License-Identifier: GPL-3.0-or-later
#include "hostfullscreen.h"

/* WebKit would make the plug's toplevel full screen, which an embedded plug
   cannot be: the frame sizes the window instead, so the signal is handled
   here. The page's element fills the view either way. */
static gboolean on_enter(WebKitWebView *web, HostView *v)
{
    (void)web;
    host_send(v->id, VEXEL_VERB_FULLSCREEN, VEXEL_YES, NULL);
    return TRUE;
}

static gboolean on_leave(WebKitWebView *web, HostView *v)
{
    (void)web;
    host_send(v->id, VEXEL_VERB_FULLSCREEN, VEXEL_NO, NULL);
    return TRUE;
}

void fullscreen_attach(HostView *v)
{
    webkit_settings_set_enable_fullscreen(webkit_web_view_get_settings(v->web), TRUE);
    g_signal_connect(v->web, "enter-fullscreen", G_CALLBACK(on_enter), v);
    g_signal_connect(v->web, "leave-fullscreen", G_CALLBACK(on_leave), v);
}

void fullscreen_exit(WebKitWebView *web)
{
    /* WebKitGTK has no call for it; the page's own exit ends it as the
       page's button would, and leave-fullscreen follows. */
    webkit_web_view_evaluate_javascript(web, "document.fullscreenElement && document.exitFullscreen()", -1, NULL,
                                        NULL, NULL, NULL, NULL);
}
