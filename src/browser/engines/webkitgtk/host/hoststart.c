// SPDX-License-Identifier: GPL-3.0-or-later
#include "hoststart.h"

#include "hostcontext.h"
#include "hostview.h"

#include <string.h>

static gboolean no_compositing;
static gboolean first_made;
/* A view without a window that holds the warmed process until the first
   view takes it over. */
static WebKitWebView *spare;

void start_read_arguments(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i)
        if (strcmp(argv[i], "--no-compositing") == 0)
            no_compositing = TRUE;
    /* Software GL cannot take a web process's DMA-BUF buffers, so WebKit
       ends on shared memory anyway; said at once, it skips probing the
       render devices before each web process starts (and their memory).
       A user's own choice stays. */
    if (no_compositing)
        g_setenv("WEBKIT_DISABLE_DMABUF_RENDERER", "1", FALSE);
}

static void configure(WebKitWebView *web)
{
    /* Without a GPU, compositing runs on software GL: a web process twice
       the size and pages shown later, for effects drawn as well without. */
    if (no_compositing)
        webkit_settings_set_hardware_acceleration_policy(webkit_web_view_get_settings(web),
                                                         WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER);
}

void start_prewarm(void)
{
    if (first_made || spare)
        return;
    spare = WEBKIT_WEB_VIEW(webkit_web_view_new_with_context(views_context(FALSE)));
    g_object_ref_sink(spare);
    configure(spare);
    /* The process starts with the first load; an empty page asks no one. */
    webkit_web_view_load_uri(spare, "about:blank");
}

WebKitWebView *start_new_view(gboolean private_window)
{
    WebKitWebView *web;
    if (spare && !private_window) {
        /* Same context, same process: the one already running. */
        web = WEBKIT_WEB_VIEW(webkit_web_view_new_with_related_view(spare));
        gtk_widget_destroy(GTK_WIDGET(spare));
        g_clear_object(&spare);
    } else {
        web = WEBKIT_WEB_VIEW(webkit_web_view_new_with_context(views_context(private_window)));
    }
    if (!private_window)
        first_made = TRUE;
    configure(web);
    return web;
}
