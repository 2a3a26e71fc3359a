// SPDX-License-Identifier: GPL-3.0-or-later
/* Pages that do not answer, and pages whose web process ended. */

#include "hostprobe.h"

/* A page whose scripts have not answered this long is reported; WebKit's
   own judgement (after input the page does not take) counts as well. */
#define HANG_US (4 * G_USEC_PER_SEC)

static void send_responsive(HostView *v)
{
    const gboolean hung = (v->probe_sent && g_get_monotonic_time() - v->probe_sent >= HANG_US) ||
                          !webkit_web_view_get_is_web_process_responsive(v->web);
    if (hung == v->hung)
        return;
    v->hung = hung;
    host_send(v->id, VEXEL_VERB_RESPONSIVE, hung ? VEXEL_NO : VEXEL_YES, NULL);
}

static void on_responsive(WebKitWebView *web, GParamSpec *property, HostView *v)
{
    (void)web;
    (void)property;
    send_responsive(v);
}

static void on_probe_answered(GObject *source, GAsyncResult *result, gpointer data)
{
    /* Any answer counts, an error too (the page went meanwhile). */
    g_autoptr(JSCValue) value = webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(source), result, NULL);
    HostView *v = view_by_id(GPOINTER_TO_UINT(data));
    if (!v || v->web != WEBKIT_WEB_VIEW(source))
        return;
    v->probe_sent = 0;
    send_responsive(v);
}

static void probe_view(HostView *v)
{
    if (v->probe_sent) {
        send_responsive(v);
        return;
    }
    /* Nothing to ask before its first page, or after its page went:
       asking would start a web process. */
    if (v->page_gone || !webkit_web_view_get_uri(v->web))
        return;
    v->probe_sent = g_get_monotonic_time();
    /* In a world of its own: the page's scripts cannot answer for it. */
    webkit_web_view_evaluate_javascript(v->web, "0", -1, "vexel", NULL, NULL, on_probe_answered,
                                        GUINT_TO_POINTER(v->id));
}

static gboolean probe_views(gpointer data)
{
    (void)data;
    views_foreach(probe_view);
    return G_SOURCE_CONTINUE;
}

static void on_web_process_terminated(WebKitWebView *web, WebKitWebProcessTerminationReason reason, HostView *v)
{
    (void)web;
    v->progress = -1;
    g_clear_pointer(&v->status, g_free);
    /* The frame shows the crash; the next process starts answering anew. */
    v->probe_sent = 0;
    v->hung = FALSE;
    v->page_gone = TRUE;
    host_send(v->id, VEXEL_VERB_CRASHED,
              reason == WEBKIT_WEB_PROCESS_EXCEEDED_MEMORY_LIMIT ? VEXEL_CRASH_MEMORY
              : reason == WEBKIT_WEB_PROCESS_TERMINATED_BY_API  ? VEXEL_CRASH_REQUESTED
                                                                : VEXEL_CRASH_CRASHED,
              NULL);
}

void probe_start(void)
{
    g_timeout_add_seconds(1, probe_views, NULL);
}

void probe_attach(HostView *v)
{
    g_signal_connect(v->web, "web-process-terminated", G_CALLBACK(on_web_process_terminated), v);
    g_signal_connect(v->web, "notify::is-web-process-responsive", G_CALLBACK(on_responsive), v);
}
