// SPDX-License-Identifier: GPL-3.0-or-later
/* The views' life: made at the frame's request, each in a plug the frame
   embeds, found by number or by web view, released; and what they tell the
   frame of the pointer and of windows opening and closing. */

#include "hostview.h"

#include "hostask.h"
#include "hostcompose.h"
#include "hostcontext.h"
#include "hostdownload.h"
#include "hostexpose.h"
#include "hostdevtools.h"
#include "hostfocus.h"
#include "hostload.h"
#include "hostmenu.h"
#include "hostprint.h"
#include "hostprobe.h"
#include "hoststart.h"

#include <gtk/gtkx.h>
#include <string.h>

static GHashTable *views; /* id -> HostView */
/* The HostView on its web view: a download asks by web view, which may
   outlive its view. */
#define VIEW_KEY "vexel-view"

void views_init(void)
{
    views = g_hash_table_new(g_direct_hash, g_direct_equal);
    probe_start();
}

HostView *view_of(WebKitWebView *web)
{
    return g_object_get_data(G_OBJECT(web), VIEW_KEY);
}

void views_foreach(void (*each)(HostView *v))
{
    GHashTableIter it;
    gpointer value;
    g_hash_table_iter_init(&it, views);
    while (g_hash_table_iter_next(&it, NULL, &value))
        each(value);
}

/* --- Events to the frame ------------------------------------------------ */

static void send_status(HostView *v, const char *link)
{
    if (v->status && strcmp(v->status, link) == 0)
        return;
    g_free(v->status);
    v->status = g_strdup(link);
    host_send(v->id, VEXEL_VERB_STATUS, link, NULL);
}

static void on_mouse_target(WebKitWebView *web, WebKitHitTestResult *hit, guint modifiers, HostView *v)
{
    (void)web;
    (void)modifiers;
    const char *link = webkit_hit_test_result_context_is_link(hit) ? webkit_hit_test_result_get_link_uri(hit) : NULL;
    send_status(v, link ? link : "");
}

/* The pointer leaves the page straight from a link: no link under it now. */
static gboolean on_leave(GtkWidget *widget, GdkEventCrossing *event, HostView *v)
{
    (void)widget;
    if (event->mode == GDK_CROSSING_NORMAL && event->detail != GDK_NOTIFY_INFERIOR)
        send_status(v, "");
    return FALSE;
}

static GtkWidget *on_create(WebKitWebView *web, WebKitNavigationAction *action, HostView *v)
{
    (void)web;
    /* A page opens a window only in answer to the user's click or key; the
       frame says when it refused one. */
    if (!webkit_navigation_action_is_user_gesture(action)) {
        host_send(v->id, VEXEL_VERB_POPUPBLOCKED, NULL);
        return NULL;
    }
    /* The frame opens the window, of the engine its menu chooses. */
    WebKitURIRequest *request = webkit_navigation_action_get_request(action);
    host_send(v->id, VEXEL_VERB_NEWWINDOW, request ? host_text(webkit_uri_request_get_uri(request)) : "", NULL);
    return NULL;
}

static void on_close(WebKitWebView *web, HostView *v)
{
    (void)web;
    host_send(v->id, VEXEL_VERB_CLOSE, NULL);
}

/* --- Requests from the frame -------------------------------------------- */

void view_create(guint id, gboolean private_window)
{
    if (g_hash_table_contains(views, GUINT_TO_POINTER(id))) {
        host_send(id, VEXEL_VERB_ERROR, "view exists", NULL);
        return;
    }
    HostView *v = g_new0(HostView, 1);
    v->id = id;
    v->progress = -1;
    v->plug = gtk_plug_new(0);
    /* The frame decides when a view goes: reparenting the plug away from
       the frame (as it does on closing) must not destroy it. */
    g_signal_connect(v->plug, "delete-event", G_CALLBACK(gtk_true), NULL);
    /* Before the web view connects its own handlers to the plug. */
    focus_attach_plug(v);

    v->private_window = private_window;
    views_context_hold(private_window);
    v->web = start_new_view(private_window);
    /* Every window.open reaches on_create, which refuses the ones without
       a user's action (WebKit's own blocking would refuse them silently). */
    webkit_settings_set_javascript_can_open_windows_automatically(webkit_web_view_get_settings(v->web), TRUE);
    load_attach(v);
    g_signal_connect(v->web, "mouse-target-changed", G_CALLBACK(on_mouse_target), v);
    g_signal_connect(v->web, "leave-notify-event", G_CALLBACK(on_leave), v);
    g_signal_connect(v->web, "create", G_CALLBACK(on_create), v);
    g_signal_connect(v->web, "close", G_CALLBACK(on_close), v);
    probe_attach(v);
    focus_attach_view(v);
    compose_attach(v);
    g_signal_connect(v->web, "script-dialog", G_CALLBACK(ask_script_dialog), v);
    g_signal_connect(v->web, "print", G_CALLBACK(print_requested), v);
    g_signal_connect(v->web, "authenticate", G_CALLBACK(ask_credentials), v);
    g_signal_connect(v->web, "decide-policy", G_CALLBACK(download_decide_policy), v);
    menu_attach(v);
    requests_attach(v);

    gtk_container_add(GTK_CONTAINER(v->plug), GTK_WIDGET(v->web));
    /* Shown but not mapped: a plug waits for its embedder to map it. */
    gtk_widget_show_all(v->plug);
    gtk_widget_grab_focus(GTK_WIDGET(v->web));
    expose_attach(v);
    g_hash_table_insert(views, GUINT_TO_POINTER(id), v);
    g_object_set_data(G_OBJECT(v->web), VIEW_KEY, v);

    char xid[32];
    g_snprintf(xid, sizeof xid, "%lu", (unsigned long)gtk_plug_get_id(GTK_PLUG(v->plug)));
    host_send(id, VEXEL_VERB_PLUG, xid, NULL);
}

void view_release(HostView *v)
{
    g_hash_table_remove(views, GUINT_TO_POINTER(v->id));
    g_object_set_data(G_OBJECT(v->web), VIEW_KEY, NULL);
    menu_detach(v);
    g_signal_handlers_disconnect_by_data(webkit_web_view_get_back_forward_list(v->web), v);
    g_signal_handlers_disconnect_by_data(v->web, v);
    g_signal_handlers_disconnect_by_data(v->plug, v);
    compose_detach(v);
    /* What the page still waits to hear gets "no"; a download not yet
       placed is not saved. */
    questions_drop_view(v->id);
    inspector_detach(v);
    gtk_widget_destroy(v->plug);
    views_context_release(v->private_window);
    g_free(v->status);
    g_free(v->tls_pem);
    g_free(v->tls_problems);
    g_free(v->charset_page);
    g_free(v);
}

HostView *view_by_id(guint id)
{
    return g_hash_table_lookup(views, GUINT_TO_POINTER(id));
}
