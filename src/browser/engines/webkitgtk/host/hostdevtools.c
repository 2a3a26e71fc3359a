// SPDX-License-Identifier: GPL-3.0-or-later
#include "hostdevtools.h"

#define WINDOW_KEY "vexel-inspector-window"

static gboolean on_window_delete(GtkWidget *window, GdkEvent *event, WebKitWebInspector *inspector)
{
    (void)window;
    (void)event;
    /* The inspector ends first; "closed" then takes the window away. */
    webkit_web_inspector_close(inspector);
    return TRUE;
}

static GtkWindow *window_of(WebKitWebInspector *inspector)
{
    return g_object_get_data(G_OBJECT(inspector), WINDOW_KEY);
}

/* Named after the page it inspects (which the inspector learns only later). */
static void show_title(WebKitWebInspector *inspector, guint id)
{
    GtkWindow *window = window_of(inspector);
    const char *uri = webkit_web_inspector_get_inspected_uri(inspector);
    HostView *v = view_by_id(id);
    if (!uri || !*uri)
        uri = v ? webkit_web_view_get_uri(v->web) : NULL;
    if (!window)
        return;
    g_autofree char *title = g_strdup_printf("Web インスペクター - %s", host_text(uri));
    gtk_window_set_title(window, title);
}

static void on_inspected_uri(WebKitWebInspector *inspector, GParamSpec *property, gpointer id)
{
    (void)property;
    show_title(inspector, GPOINTER_TO_UINT(id));
}

static gboolean on_open_window(WebKitWebInspector *inspector, gpointer id)
{
    GtkWindow *window = window_of(inspector);
    if (!window) {
        WebKitWebViewBase *tools = webkit_web_inspector_get_web_view(inspector);
        if (!tools)
            return FALSE;
        window = GTK_WINDOW(gtk_window_new(GTK_WINDOW_TOPLEVEL));
        gtk_window_set_default_size(window, 1000, 700);
        /* Taken from wherever WebKit put it. */
        GtkWidget *holder = gtk_widget_get_parent(GTK_WIDGET(tools));
        g_object_ref(tools);
        if (holder)
            gtk_container_remove(GTK_CONTAINER(holder), GTK_WIDGET(tools));
        gtk_container_add(GTK_CONTAINER(window), GTK_WIDGET(tools));
        g_object_unref(tools);
        g_signal_connect(window, "delete-event", G_CALLBACK(on_window_delete), inspector);
        g_object_set_data(G_OBJECT(inspector), WINDOW_KEY, window);
        show_title(inspector, GPOINTER_TO_UINT(id));
        host_send(GPOINTER_TO_UINT(id), VEXEL_VERB_INSPECTOR, VEXEL_YES, NULL);
    }
    gtk_widget_show_all(GTK_WIDGET(window));
    gtk_window_present(window);
    return TRUE;
}

/* Never beside the view, inside the frame's window: in one of its own. */
static gboolean on_attach(WebKitWebInspector *inspector, gpointer id)
{
    on_open_window(inspector, id);
    return TRUE;
}

static gboolean on_bring_to_front(WebKitWebInspector *inspector, gpointer id)
{
    (void)id;
    GtkWindow *window = window_of(inspector);
    if (window)
        gtk_window_present(window);
    return window != NULL;
}

static void on_closed(WebKitWebInspector *inspector, gpointer id)
{
    GtkWidget *window = g_object_steal_data(G_OBJECT(inspector), WINDOW_KEY);
    if (!window)
        return;
    gtk_widget_destroy(window);
    if (view_by_id(GPOINTER_TO_UINT(id)))
        host_send(GPOINTER_TO_UINT(id), VEXEL_VERB_INSPECTOR, VEXEL_NO, NULL);
}

void inspector_attach(HostView *v)
{
    webkit_settings_set_enable_developer_extras(webkit_web_view_get_settings(v->web), TRUE);
    WebKitWebInspector *inspector = webkit_web_view_get_inspector(v->web);
    gpointer id = GUINT_TO_POINTER(v->id);
    g_signal_connect(inspector, "open-window", G_CALLBACK(on_open_window), id);
    g_signal_connect(inspector, "attach", G_CALLBACK(on_attach), id);
    g_signal_connect(inspector, "bring-to-front", G_CALLBACK(on_bring_to_front), id);
    g_signal_connect(inspector, "closed", G_CALLBACK(on_closed), id);
    g_signal_connect(inspector, "notify::inspected-uri", G_CALLBACK(on_inspected_uri), id);
}

void inspector_detach(HostView *v)
{
    WebKitWebInspector *inspector = webkit_web_view_get_inspector(v->web);
    g_signal_handlers_disconnect_by_data(inspector, GUINT_TO_POINTER(v->id));
    GtkWidget *window = g_object_steal_data(G_OBJECT(inspector), WINDOW_KEY);
    if (window) {
        webkit_web_inspector_close(inspector);
        gtk_widget_destroy(window);
    }
}

void inspector_request(HostView *v, const char *const *fields, guint count)
{
    (void)fields;
    (void)count;
    webkit_web_inspector_show(webkit_web_view_get_inspector(v->web));
}
