// SPDX-License-Identifier: GPL-3.0-or-later
#include "hostblocking.h"

#include <string.h>

/* What the frame sent last: the cache file and the exempt hosts. */
static char *cache_path;
static GStrv exempt_hosts;
/* The contexts whose web processes are told of changes. */
static GPtrArray *contexts;

typedef struct {
    guint id;
    GHashTable *refused; /* addresses refused for the page shown: the count */
    char *refused_page;  /* the page refused, shown by our stand-in */
    gboolean stand_in;   /* the stand-in's load is the next to start */
    GSimpleAction *exempt;
    GSimpleAction *lists;
} ViewBlocking;

static GVariant *settings(void)
{
    const char *const none[] = {NULL};
    return g_variant_new("(s^as)", cache_path ? cache_path : "",
                         exempt_hosts ? (const char *const *)exempt_hosts : none);
}

static void context_gone(gpointer data, GObject *context)
{
    (void)data;
    g_ptr_array_remove(contexts, context);
}

void blocking_configure_context(WebKitWebContext *context)
{
    /* The extension's folder sits beside this program, built or installed. */
    g_autofree char *self = g_file_read_link("/proc/self/exe", NULL);
    if (self) {
        g_autofree char *folder = g_path_get_dirname(self);
        g_autofree char *extensions = g_build_filename(folder, "webkit-extensions", NULL);
        webkit_web_context_set_web_extensions_directory(context, extensions);
    }
    webkit_web_context_set_web_extensions_initialization_user_data(context, settings());
    if (!contexts)
        contexts = g_ptr_array_new();
    g_ptr_array_add(contexts, context);
    g_object_weak_ref(G_OBJECT(context), context_gone, NULL);
}

void blocking_request(const char *const *fields, guint count)
{
    g_free(cache_path);
    cache_path = view_text_field(fields, count, 0);
    g_strfreev(exempt_hosts);
    g_autofree char *hosts = view_text_field(fields, count, 1);
    exempt_hosts = g_strsplit_set(g_strstrip(hosts), " ", -1);
    for (guint i = 0; contexts && i < contexts->len; ++i) {
        WebKitWebContext *context = g_ptr_array_index(contexts, i);
        webkit_web_context_set_web_extensions_initialization_user_data(context, settings());
        webkit_web_context_send_message_to_all_extensions(context, webkit_user_message_new("vexel-blocking", settings()));
    }
}

static ViewBlocking *blocking_of(HostView *v)
{
    return g_object_get_data(G_OBJECT(v->web), "vexel-blocking");
}

static void send_count(ViewBlocking *b)
{
    char number[16];
    g_snprintf(number, sizeof number, "%u", g_hash_table_size(b->refused));
    host_send(b->id, VEXEL_VERB_BLOCKED, number, NULL);
}

/* WebKit shows an empty page in place of a page the filters refuse, as if
   nothing went wrong. The frame shows its own page instead, over an empty
   one at the refused address, as for any failed load (see on_load_failed):
   the address stays, Back leads to the page before, Reload tries again. */
static void show_refused(HostView *v, ViewBlocking *b, const char *uri)
{
    host_send(v->id, VEXEL_VERB_FAILED, VEXEL_FAILED_BLOCKED, uri, "", "", "", NULL);
    g_free(b->refused_page);
    b->refused_page = g_strdup(uri);
    b->stand_in = TRUE;
    /* Neither WebKit's empty page nor ours is a visit. */
    v->load_failed = TRUE;
    v->error_page = TRUE;
    webkit_web_view_load_alternate_html(
        v->web, "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title></title></head><body></body></html>", uri,
        NULL);
}

static gboolean on_message(WebKitWebView *web, WebKitUserMessage *message, ViewBlocking *b)
{
    GVariant *parameters = webkit_user_message_get_parameters(message);
    if (g_strcmp0(webkit_user_message_get_name(message), "vexel-blocked") != 0 || !parameters ||
        !g_variant_is_of_type(parameters, G_VARIANT_TYPE("(sb)")))
        return FALSE;
    const char *uri = NULL;
    gboolean page = FALSE;
    g_variant_get(parameters, "(&sb)", &uri, &page);
    /* A page refused is a page of its own, its one request the count. */
    if (page)
        g_hash_table_remove_all(b->refused);
    /* The same address asked for again (the preload scanner, then the
       element) is one thing refused. */
    if (!g_hash_table_add(b->refused, g_strdup(uri)) && !page)
        return TRUE;
    send_count(b);
    HostView *v = view_by_id(b->id);
    if (page && v && v->web == web)
        show_refused(v, b, uri);
    return TRUE;
}

static void on_load_changed(WebKitWebView *web, WebKitLoadEvent event, ViewBlocking *b)
{
    (void)web;
    /* A refused page keeps its count through WebKit's empty page and our
       stand-in, until the next load. */
    if (event == WEBKIT_LOAD_STARTED) {
        if (b->stand_in)
            b->stand_in = FALSE;
        else
            g_clear_pointer(&b->refused_page, g_free);
    } else if (event == WEBKIT_LOAD_COMMITTED && !b->refused_page && g_hash_table_size(b->refused)) {
        g_hash_table_remove_all(b->refused);
        send_count(b);
    }
}

/* The page's host (http and https pages only), NULL when it has none. */
static char *page_host(WebKitWebView *web)
{
    const char *uri = webkit_web_view_get_uri(web);
    if (!uri || !(g_str_has_prefix(uri, "http:") || g_str_has_prefix(uri, "https:")))
        return NULL;
    g_autoptr(GUri) parsed = g_uri_parse(uri, G_URI_FLAGS_NONE, NULL);
    return parsed && g_uri_get_host(parsed) && *g_uri_get_host(parsed) ? g_strdup(g_uri_get_host(parsed)) : NULL;
}

/* As the frame keeps them: an exempt site's subdomains are exempt with it. */
static gboolean is_exempt(const char *host)
{
    g_autofree char *ascii = g_hostname_to_ascii(host);
    gboolean exempt = FALSE;
    for (guint i = 0; ascii && exempt_hosts && exempt_hosts[i] && !exempt; ++i) {
        g_autofree char *other = *exempt_hosts[i] ? g_hostname_to_ascii(exempt_hosts[i]) : NULL;
        for (const char *name = ascii; other && name && !exempt; name = strchr(name, '.') ? strchr(name, '.') + 1 : NULL)
            exempt = g_ascii_strcasecmp(name, other) == 0;
    }
    return exempt;
}

/* The frame keeps the exempt sites; it sends them back changed, then reloads
   the page. */
static void toggle_exempt(GSimpleAction *action, GVariant *parameter, gpointer data)
{
    (void)action;
    (void)parameter;
    HostView *v = view_by_id(GPOINTER_TO_UINT(data));
    g_autofree char *host = v ? page_host(v->web) : NULL;
    if (host)
        host_send(v->id, VEXEL_VERB_EXEMPT, host, is_exempt(host) ? VEXEL_NO : VEXEL_YES, NULL);
}

static void open_lists(GSimpleAction *action, GVariant *parameter, gpointer data)
{
    (void)action;
    (void)parameter;
    if (view_by_id(GPOINTER_TO_UINT(data)))
        host_send(GPOINTER_TO_UINT(data), VEXEL_VERB_FILTERLISTS, NULL);
}

static void view_blocking_free(gpointer data)
{
    ViewBlocking *b = data;
    /* A menu still open keeps its actions; they no longer reach a view. */
    g_simple_action_set_enabled(b->exempt, FALSE);
    g_simple_action_set_enabled(b->lists, FALSE);
    g_object_unref(b->exempt);
    g_object_unref(b->lists);
    g_hash_table_unref(b->refused);
    g_free(b->refused_page);
    g_free(b);
}

void blocking_attach(HostView *v)
{
    ViewBlocking *b = g_new0(ViewBlocking, 1);
    b->id = v->id;
    b->refused = g_hash_table_new_full(g_str_hash, g_str_equal, g_free, NULL);
    b->exempt = g_simple_action_new_stateful("blocking-exempt", NULL, g_variant_new_boolean(FALSE));
    g_signal_connect(b->exempt, "activate", G_CALLBACK(toggle_exempt), GUINT_TO_POINTER(v->id));
    b->lists = g_simple_action_new("blocking-lists", NULL);
    g_signal_connect(b->lists, "activate", G_CALLBACK(open_lists), GUINT_TO_POINTER(v->id));
    g_object_set_data_full(G_OBJECT(v->web), "vexel-blocking", b, view_blocking_free);
    g_signal_connect(v->web, "user-message-received", G_CALLBACK(on_message), b);
    g_signal_connect(v->web, "load-changed", G_CALLBACK(on_load_changed), b);
}

void blocking_menu(WebKitContextMenu *menu, HostView *v)
{
    ViewBlocking *b = blocking_of(v);
    if (!b)
        return;
    g_autofree char *host = page_host(v->web);
    g_simple_action_set_enabled(b->exempt, host != NULL);
    g_simple_action_set_state(b->exempt, g_variant_new_boolean(host && is_exempt(host)));
    g_autoptr(WebKitContextMenu) submenu = webkit_context_menu_new();
    webkit_context_menu_append(submenu,
                               webkit_context_menu_item_new_from_gaction(G_ACTION(b->exempt), "このサイトでは無効", NULL));
    webkit_context_menu_append(submenu,
                               webkit_context_menu_item_new_from_gaction(G_ACTION(b->lists), "フィルター リスト...", NULL));
    g_autofree char *label = g_strdup_printf("広告ブロック: %u", g_hash_table_size(b->refused));
    /* The item holds a reference of its own. */
    webkit_context_menu_append(menu, webkit_context_menu_item_new_with_submenu(label, submenu));
}
