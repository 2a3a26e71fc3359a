#include "hostview.h"

#include "hostask.h"
#include "hostblocking.h"
#include "hostdocument.h"
#include "hostdownload.h"
#include "hostencoding.h"
#include "hostexpose.h"
#include "hostdevtools.h"
#include "hostmenu.h"
#include "hostpermission.h"
#include "hostprint.h"
#include "hoststart.h"

#include <X11/Xlib.h>
#include <gdk/gdkx.h>
#include <gtk/gtkx.h>
#include <math.h>
#include <stdlib.h>
#include <string.h>

/* The normal context is made at its first use, so that a run with only
   private windows never creates or touches its folders; the private one
   lives while a private view does, and its data goes with it. */
static WebKitWebContext *normal_context;
static WebKitWebContext *private_context;
static guint private_views;
static GHashTable *views; /* id -> HostView */

static gboolean probe_views(gpointer data);

/* Everything a context needs, whichever data it keeps. */
static void configure_context(WebKitWebContext *context)
{
    /* A certificate that does not check out is refused: the frame shows
       why, nothing is accepted behind the user's back. */
    webkit_website_data_manager_set_tls_errors_policy(webkit_web_context_get_website_data_manager(context),
                                                      WEBKIT_TLS_ERRORS_POLICY_FAIL);
    /* As the other engine asks servers: Japanese first. */
    static const char *const languages[] = {"ja", "en", NULL};
    webkit_web_context_set_preferred_languages(context, languages);
    downloads_init(context);
    permissions_init(context);
    blocking_configure_context(context);
}

WebKitWebContext *views_context(gboolean private_window)
{
    if (private_window) {
        if (!private_context) {
            private_context = webkit_web_context_new_ephemeral();
            configure_context(private_context);
        }
        return private_context;
    }
    if (!normal_context) {
        char *data = g_build_filename(g_get_user_data_dir(), "Vexel", "webkit", NULL);
        char *cache = g_build_filename(g_get_user_cache_dir(), "Vexel", "webkit", NULL);
        WebKitWebsiteDataManager *manager =
            webkit_website_data_manager_new("base-data-directory", data, "base-cache-directory", cache, NULL);
        /* Cookies too, so a login survives a restart. */
        char *cookies = g_build_filename(data, "cookies.sqlite", NULL);
        g_mkdir_with_parents(data, 0700);
        webkit_cookie_manager_set_persistent_storage(webkit_website_data_manager_get_cookie_manager(manager), cookies,
                                                     WEBKIT_COOKIE_PERSISTENT_STORAGE_SQLITE);
        normal_context = webkit_web_context_new_with_website_data_manager(manager);
        g_object_unref(manager);
        g_free(cookies);
        g_free(cache);
        g_free(data);
        configure_context(normal_context);
    }
    return normal_context;
}

void views_init(void)
{
    views = g_hash_table_new(g_direct_hash, g_direct_equal);
    g_timeout_add_seconds(1, probe_views, NULL);
}

HostView *view_of(WebKitWebView *web)
{
    GHashTableIter it;
    gpointer key, value;
    g_hash_table_iter_init(&it, views);
    while (g_hash_table_iter_next(&it, &key, &value))
        if (((HostView *)value)->web == web)
            return value;
    return NULL;
}

/* --- Events to the frame ------------------------------------------------ */

static void send_progress(HostView *v, int percent)
{
    if (percent == v->progress)
        return;
    v->progress = percent;
    char number[16];
    g_snprintf(number, sizeof number, "%d", percent);
    host_send(v->id, VEXEL_VERB_PROGRESS, number, NULL);
}

static void on_uri(WebKitWebView *web, GParamSpec *pspec, HostView *v)
{
    (void)pspec;
    host_send(v->id, VEXEL_VERB_URI, host_text(webkit_web_view_get_uri(web)), NULL);
}

static void on_title(WebKitWebView *web, GParamSpec *pspec, HostView *v)
{
    (void)pspec;
    char *title = document_title(web);
    host_send(v->id, VEXEL_VERB_TITLE, title, NULL);
    g_free(title);
}

static void on_progress(WebKitWebView *web, GParamSpec *pspec, HostView *v)
{
    (void)pspec;
    send_progress(v, (int)lround(webkit_web_view_get_estimated_load_progress(web) * 100.0));
}

static void send_history(HostView *v)
{
    host_send(v->id, VEXEL_VERB_HISTORY, webkit_web_view_can_go_back(v->web) ? VEXEL_YES : VEXEL_NO,
              webkit_web_view_can_go_forward(v->web) ? VEXEL_YES : VEXEL_NO, NULL);
}

static void on_history(WebKitBackForwardList *list, WebKitBackForwardListItem *added, gpointer removed, HostView *v)
{
    (void)list;
    (void)added;
    (void)removed;
    send_history(v);
}

static void on_load_changed(WebKitWebView *web, WebKitLoadEvent event, HostView *v)
{
    if (event == WEBKIT_LOAD_STARTED) {
        v->progress = -1;
        v->page_gone = FALSE;
        v->load_failed = v->error_page;
        v->error_page = FALSE;
    }
    /* Both states after every navigation, also one within the history. */
    else if (event == WEBKIT_LOAD_COMMITTED) {
        send_history(v);
        /* A document without a title of its own (a PDF, an image) is named
           once its type is known. */
        if (!*host_text(webkit_web_view_get_title(web)))
            on_title(web, NULL, v);
        /* An encoding chosen is for its page; WebKit would read every page
           after it so, declared UTF-8 ones too. Read again as it comes (from
           the cache). */
        if (v->charset_page && g_strcmp0(webkit_web_view_get_uri(web), v->charset_page) != 0) {
            g_clear_pointer(&v->charset_page, g_free);
            webkit_web_view_set_custom_charset(web, NULL);
        }
    }
    /* Every load ends full, also one stopped or failed before the
       estimate got there. */
    else if (event == WEBKIT_LOAD_FINISHED) {
        send_progress(v, 100);
        if (v->load_failed || !encoding_check_loaded(v))
            host_send(v->id, VEXEL_VERB_LOADED, v->load_failed ? VEXEL_NO : VEXEL_YES, NULL);
    }
}

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

/* The page is refused; the failure that follows (on_load_failed) carries
   the certificate and why, and the frame shows them. */
static gboolean on_tls_errors(WebKitWebView *web, const char *uri, GTlsCertificate *certificate,
                              GTlsCertificateFlags errors, HostView *v)
{
    (void)web;
    (void)uri;
    static const struct {
        GTlsCertificateFlags flag;
        const char *word;
    } words[] = {
        {G_TLS_CERTIFICATE_UNKNOWN_CA, VEXEL_CERT_UNKNOWN_CA},   {G_TLS_CERTIFICATE_BAD_IDENTITY, VEXEL_CERT_BAD_IDENTITY},
        {G_TLS_CERTIFICATE_NOT_ACTIVATED, VEXEL_CERT_NOT_ACTIVATED}, {G_TLS_CERTIFICATE_EXPIRED, VEXEL_CERT_EXPIRED},
        {G_TLS_CERTIFICATE_REVOKED, VEXEL_CERT_REVOKED},         {G_TLS_CERTIFICATE_INSECURE, VEXEL_CERT_INSECURE},
    };
    GString *problems = g_string_new(NULL);
    for (guint i = 0; i < G_N_ELEMENTS(words); ++i) {
        if (errors & words[i].flag) {
            if (problems->len)
                g_string_append(problems, VEXEL_LIST_SEPARATOR);
            g_string_append(problems, words[i].word);
        }
    }
    if (!problems->len)
        g_string_append(problems, VEXEL_CERT_OTHER);
    host_send(v->id, VEXEL_VERB_CERTIFICATE, problems->str, NULL);
    g_free(v->tls_pem);
    v->tls_pem = NULL;
    if (certificate)
        g_object_get(certificate, "certificate-pem", &v->tls_pem, NULL);
    g_free(v->tls_problems);
    v->tls_problems = g_string_free(problems, FALSE);
    return FALSE;
}

/* What kind of failure an error is, as the frame's page names it. */
static const char *failure_kind(const GError *error)
{
    if (error->domain == G_RESOLVER_ERROR)
        return VEXEL_FAILED_NAME;
    if (error->domain == G_IO_ERROR) {
        switch (error->code) {
        case G_IO_ERROR_CONNECTION_REFUSED:
            return VEXEL_FAILED_REFUSED;
        case G_IO_ERROR_CONNECTION_CLOSED:
            return VEXEL_FAILED_RESET;
        case G_IO_ERROR_TIMED_OUT:
            return VEXEL_FAILED_TIMEOUT;
        case G_IO_ERROR_NETWORK_UNREACHABLE:
        case G_IO_ERROR_HOST_UNREACHABLE:
            return VEXEL_FAILED_OFFLINE;
        case G_IO_ERROR_NOT_FOUND:
            return VEXEL_FAILED_FILE;
        default:
            return VEXEL_FAILED_OTHER;
        }
    }
    if (g_error_matches(error, WEBKIT_NETWORK_ERROR, WEBKIT_NETWORK_ERROR_FILE_DOES_NOT_EXIST))
        return VEXEL_FAILED_FILE;
    return VEXEL_FAILED_OTHER;
}

/* A load failed: the frame shows its own page, in Japanese, over the view.
   Behind it the view holds an empty page at the failed address, so the
   address stays the one asked for, Back leads to the page before and
   Reload tries the address again. */
static gboolean on_load_failed(WebKitWebView *web, WebKitLoadEvent event, const char *uri, GError *error, HostView *v)
{
    (void)event;
    v->load_failed = TRUE;
    char *pem = g_steal_pointer(&v->tls_pem);
    char *problems = g_steal_pointer(&v->tls_problems);
    /* What shows no page (a stopped load, a download). */
    if (g_error_matches(error, WEBKIT_NETWORK_ERROR, WEBKIT_NETWORK_ERROR_CANCELLED) ||
        g_error_matches(error, WEBKIT_POLICY_ERROR, WEBKIT_POLICY_ERROR_FRAME_LOAD_INTERRUPTED_BY_POLICY_CHANGE) ||
        g_error_matches(error, WEBKIT_PLUGIN_ERROR, WEBKIT_PLUGIN_ERROR_WILL_HANDLE_LOAD)) {
        g_free(pem);
        g_free(problems);
        return FALSE;
    }
    /* The engine's words come from the network process, which runs in the
       C locale; as this process translates them where it can. */
    static const char *const domains[] = {"WebKitGTK-4.1", "libsoup-3.0", "glib-networking", "glib20"};
    const char *message = error->message;
    for (guint i = 0; i < G_N_ELEMENTS(domains) && message == error->message; ++i)
        message = g_dgettext(domains[i], error->message);
    const gboolean tls = problems != NULL;
    host_send(v->id, VEXEL_VERB_FAILED, tls ? VEXEL_FAILED_TLS : failure_kind(error), host_text(uri), message,
              host_text(problems), host_text(pem), NULL);
    g_free(pem);
    g_free(problems);
    /* The empty page loads next; its end too is no visit. */
    v->error_page = TRUE;
    webkit_web_view_load_alternate_html(
        web, "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title></title></head><body></body></html>", uri,
        NULL);
    return TRUE;
}

void view_allow_certificate(HostView *v, const char *const *fields, guint count)
{
    char *host = view_text_field(fields, count, 0);
    char *pem = view_text_field(fields, count, 1);
    GTlsCertificate *certificate = *host ? g_tls_certificate_new_from_pem(pem, -1, NULL) : NULL;
    if (certificate) {
        webkit_web_context_allow_tls_certificate_for_host(webkit_web_view_get_context(v->web), certificate, host);
        g_object_unref(certificate);
    }
    g_free(pem);
    g_free(host);
}

/* --- Pages that do not answer ------------------------------------------- */

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

static void on_responsive(WebKitWebView *web, GParamSpec *pspec, HostView *v)
{
    (void)web;
    (void)pspec;
    send_responsive(v);
}

static void on_probe_answered(GObject *source, GAsyncResult *result, gpointer data)
{
    /* Any answer counts, an error too (the page went meanwhile). */
    JSCValue *value = webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(source), result, NULL);
    if (value)
        g_object_unref(value);
    HostView *v = g_hash_table_lookup(views, data);
    if (!v || v->web != WEBKIT_WEB_VIEW(source))
        return;
    v->probe_sent = 0;
    send_responsive(v);
}

static gboolean probe_views(gpointer data)
{
    (void)data;
    GHashTableIter it;
    gpointer key, value;
    g_hash_table_iter_init(&it, views);
    while (g_hash_table_iter_next(&it, &key, &value)) {
        HostView *v = value;
        if (v->probe_sent) {
            send_responsive(v);
            continue;
        }
        /* Nothing to ask before its first page, or after its page went:
           asking would start a web process. */
        if (v->page_gone || !webkit_web_view_get_uri(v->web))
            continue;
        v->probe_sent = g_get_monotonic_time();
        /* In a world of its own: the page's scripts cannot answer for it. */
        webkit_web_view_evaluate_javascript(v->web, "0", -1, "vexel", NULL, NULL, on_probe_answered, key);
    }
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

/* --- Keyboard focus ----------------------------------------------------- */

/* GDK turns the pointer entering and leaving the plug into focus changes of
   the plug (the frame's window has the X focus, and the plug lies inside
   it), which would blur the page whenever the pointer leaves it. Only the
   frame's XEmbed messages decide; their effect arrives as the synthesized
   events below, which pass. */
static gboolean block_pointer_focus(GtkWidget *widget, GdkEventFocus *event, gpointer data)
{
    (void)widget;
    (void)data;
    return !event->send_event;
}

/* Tells the plug (and the web view, which listens to it) that it has or
   has lost the keyboard focus. */
static void send_focus_change(HostView *v, gboolean in)
{
    if (in && !gtk_window_get_focus(GTK_WINDOW(v->plug)))
        gtk_widget_grab_focus(GTK_WIDGET(v->web));
    GdkEvent *event = gdk_event_new(GDK_FOCUS_CHANGE);
    event->focus_change.window = g_object_ref(gtk_widget_get_window(v->plug));
    event->focus_change.send_event = TRUE;
    event->focus_change.in = in;
    gtk_widget_event(v->plug, event);
    gdk_event_free(event);
}

/* The frame's XEmbed focus messages set has-toplevel-focus. */
static void on_toplevel_focus(GtkWidget *plug, GParamSpec *pspec, HostView *v)
{
    (void)pspec;
    send_focus_change(v, gtk_window_has_toplevel_focus(GTK_WINDOW(plug)));
}

/* --- Compositions ending ------------------------------------------------ */

/* WebKit ends a composition itself when the page is clicked or loses the
   focus: it keeps the text being composed, then resets the input method.
   One that commits that text on reset or on focus-out would put it in a
   second time (IBus with Mozc does it at once, Fcitx 5 with Mozc a moment
   later). So from there until the input method's commit comes, the page's
   own commit handlers are blocked and on_committed decides: that same text
   is dropped, anything else is handed on. A new composition ends the wait,
   for an input method that drops its text instead. */
static void stop_holding(HostView *v)
{
    if (!v->held)
        return;
    WebKitInputMethodContext *im = webkit_web_view_get_input_method_context(v->web);
    for (guint i = 0; i < v->held->len; ++i)
        g_signal_handler_unblock(im, g_array_index(v->held, gulong, i));
    g_array_free(v->held, TRUE);
    v->held = NULL;
    g_clear_pointer(&v->kept, g_free);
}

/* The text being composed; NULL when there is none. */
static char *preedit_of(WebKitInputMethodContext *im)
{
    char *text = NULL;
    if (im)
        webkit_input_method_context_get_preedit(im, &text, NULL, NULL);
    if (text && !*text)
        g_clear_pointer(&text, g_free);
    return text;
}

static void hold_composition(HostView *v)
{
    WebKitInputMethodContext *im = webkit_web_view_get_input_method_context(v->web);
    char *preedit = preedit_of(im);
    if (!preedit)
        return;
    stop_holding(v);
    v->kept = preedit;
    v->held = g_array_new(FALSE, FALSE, sizeof(gulong));
    /* All handlers but ours: ours is set aside while the others are found. */
    const guint committed = g_signal_lookup("committed", WEBKIT_TYPE_INPUT_METHOD_CONTEXT);
    g_signal_handler_block(im, v->commit_watch);
    gulong handler;
    while ((handler = g_signal_handler_find(im, G_SIGNAL_MATCH_ID | G_SIGNAL_MATCH_UNBLOCKED, committed, 0, NULL,
                                            NULL, NULL))) {
        g_signal_handler_block(im, handler);
        g_array_append_val(v->held, handler);
    }
    g_signal_handler_unblock(im, v->commit_watch);
}

static void on_committed(WebKitInputMethodContext *im, const char *text, HostView *v)
{
    if (!v->held || v->handing_on)
        return;
    const gboolean again = g_strcmp0(text, v->kept) == 0;
    stop_holding(v);
    if (again)
        return;
    v->handing_on = TRUE;
    g_signal_emit_by_name(im, "committed", text);
    v->handing_on = FALSE;
}

static void on_preedit_changed(WebKitInputMethodContext *im, HostView *v)
{
    if (!v->held)
        return;
    char *preedit = preedit_of(im);
    if (preedit)
        stop_holding(v);
    g_free(preedit);
}

/* Before WebKit's own handler, which ends the composition. */
static gboolean on_view_focus_out(GtkWidget *web, GdkEventFocus *event, HostView *v)
{
    (void)web;
    (void)event;
    hold_composition(v);
    return FALSE;
}

/* A click in the page: the frame, which did not see it, gives the page the
   focus. Told through the X server, as a message on the window the plug sits
   in: the keys typed right after the click reach the frame the same way (see
   on_key), after it, and find the focus already moved. */
static gboolean on_button_press(GtkWidget *widget, GdkEventButton *event, HostView *v)
{
    (void)widget;
    hold_composition(v);
    GdkWindow *socket = gtk_plug_get_socket_window(GTK_PLUG(v->plug));
    if (!socket) {
        host_send(v->id, VEXEL_VERB_PRESS, NULL);
        return FALSE;
    }
    Display *display = GDK_WINDOW_XDISPLAY(socket);
    XEvent xevent;
    memset(&xevent, 0, sizeof xevent);
    xevent.xclient.type = ClientMessage;
    xevent.xclient.display = display;
    xevent.xclient.window = GDK_WINDOW_XID(socket);
    xevent.xclient.message_type = XInternAtom(display, "_VEXEL_PLUG_PRESS", False);
    xevent.xclient.format = 32;
    xevent.xclient.data.l[0] = (long)event->time;
    XSendEvent(display, xevent.xclient.window, False, NoEventMask, &xevent);
    XFlush(display);
    return FALSE;
}

/* A key the X server gave the plug directly (the pointer rests over it)
   goes back to the frame: it decides between its shortcuts, the widget
   that has the focus and the page, and sends the page its keys itself
   (those arrive with send_event set). */
static gboolean on_key(GtkWidget *plug, GdkEventKey *event, HostView *v)
{
    (void)v;
    if (event->send_event)
        return FALSE;
    GdkWindow *socket = gtk_plug_get_socket_window(GTK_PLUG(plug));
    if (!socket)
        return TRUE;
    Display *display = GDK_WINDOW_XDISPLAY(socket);
    XEvent xevent;
    memset(&xevent, 0, sizeof xevent);
    xevent.xkey.type = event->type == GDK_KEY_PRESS ? KeyPress : KeyRelease;
    xevent.xkey.display = display;
    xevent.xkey.window = GDK_WINDOW_XID(socket);
    xevent.xkey.root = GDK_WINDOW_XID(gdk_screen_get_root_window(gdk_window_get_screen(socket)));
    xevent.xkey.subwindow = None;
    xevent.xkey.time = event->time;
    xevent.xkey.state = event->state;
    xevent.xkey.keycode = event->hardware_keycode;
    xevent.xkey.same_screen = True;
    XSendEvent(display, xevent.xkey.window, False, NoEventMask, &xevent);
    XFlush(display);
    return TRUE;
}

/* Tab past the page's last element (or Shift+Tab past its first): the
   focus goes on in the frame. */
static gboolean on_focus_leaves(GtkWidget *plug, GtkDirectionType direction, HostView *v)
{
    (void)plug;
    host_send(v->id, VEXEL_VERB_LEAVE,
              direction == GTK_DIR_TAB_BACKWARD || direction == GTK_DIR_UP || direction == GTK_DIR_LEFT ? VEXEL_LEAVE_PREV
                                                                                                       : VEXEL_LEAVE_NEXT,
              NULL);
    return FALSE;
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
    g_signal_connect(v->plug, "focus-in-event", G_CALLBACK(block_pointer_focus), NULL);
    g_signal_connect(v->plug, "focus-out-event", G_CALLBACK(block_pointer_focus), NULL);
    g_signal_connect(v->plug, "notify::has-toplevel-focus", G_CALLBACK(on_toplevel_focus), v);
    g_signal_connect(v->plug, "key-press-event", G_CALLBACK(on_key), v);
    g_signal_connect(v->plug, "key-release-event", G_CALLBACK(on_key), v);
    g_signal_connect_after(v->plug, "focus", G_CALLBACK(on_focus_leaves), v);

    v->private_window = private_window;
    private_views += private_window ? 1 : 0;
    v->web = start_new_view(private_window);
    /* Every window.open reaches on_create, which refuses the ones without
       a user's action (WebKit's own blocking would refuse them silently). */
    webkit_settings_set_javascript_can_open_windows_automatically(webkit_web_view_get_settings(v->web), TRUE);
    g_signal_connect(v->web, "notify::uri", G_CALLBACK(on_uri), v);
    g_signal_connect(v->web, "notify::title", G_CALLBACK(on_title), v);
    g_signal_connect(v->web, "notify::estimated-load-progress", G_CALLBACK(on_progress), v);
    g_signal_connect(v->web, "load-changed", G_CALLBACK(on_load_changed), v);
    g_signal_connect(v->web, "mouse-target-changed", G_CALLBACK(on_mouse_target), v);
    g_signal_connect(v->web, "create", G_CALLBACK(on_create), v);
    g_signal_connect(v->web, "close", G_CALLBACK(on_close), v);
    g_signal_connect(v->web, "web-process-terminated", G_CALLBACK(on_web_process_terminated), v);
    g_signal_connect(v->web, "notify::is-web-process-responsive", G_CALLBACK(on_responsive), v);
    g_signal_connect(v->web, "button-press-event", G_CALLBACK(on_button_press), v);
    g_signal_connect(v->web, "focus-out-event", G_CALLBACK(on_view_focus_out), v);
    WebKitInputMethodContext *im = webkit_web_view_get_input_method_context(v->web);
    if (im) {
        v->commit_watch = g_signal_connect(im, "committed", G_CALLBACK(on_committed), v);
        g_signal_connect(im, "preedit-changed", G_CALLBACK(on_preedit_changed), v);
    }
    g_signal_connect(v->web, "leave-notify-event", G_CALLBACK(on_leave), v);
    g_signal_connect(v->web, "load-failed-with-tls-errors", G_CALLBACK(on_tls_errors), v);
    g_signal_connect(v->web, "load-failed", G_CALLBACK(on_load_failed), v);
    g_signal_connect(v->web, "script-dialog", G_CALLBACK(ask_script_dialog), v);
    g_signal_connect(v->web, "print", G_CALLBACK(print_requested), v);
    g_signal_connect(v->web, "authenticate", G_CALLBACK(ask_credentials), v);
    g_signal_connect(v->web, "decide-policy", G_CALLBACK(download_decide_policy), v);
    g_signal_connect(webkit_web_view_get_back_forward_list(v->web), "changed", G_CALLBACK(on_history), v);
    menu_attach(v);
    requests_attach(v);

    gtk_container_add(GTK_CONTAINER(v->plug), GTK_WIDGET(v->web));
    /* Shown but not mapped: a plug waits for its embedder to map it. */
    gtk_widget_show_all(v->plug);
    gtk_widget_grab_focus(GTK_WIDGET(v->web));
    expose_attach(v);
    g_hash_table_insert(views, GUINT_TO_POINTER(id), v);

    char xid[32];
    g_snprintf(xid, sizeof xid, "%lu", (unsigned long)gtk_plug_get_id(GTK_PLUG(v->plug)));
    host_send(id, VEXEL_VERB_PLUG, xid, NULL);
}

void view_release(HostView *v)
{
    g_hash_table_remove(views, GUINT_TO_POINTER(v->id));
    menu_detach(v);
    g_signal_handlers_disconnect_by_data(webkit_web_view_get_back_forward_list(v->web), v);
    g_signal_handlers_disconnect_by_data(v->web, v);
    g_signal_handlers_disconnect_by_data(v->plug, v);
    stop_holding(v);
    WebKitInputMethodContext *im = webkit_web_view_get_input_method_context(v->web);
    if (im)
        g_signal_handlers_disconnect_by_data(im, v);
    /* What the page still waits to hear gets "no"; a download not yet
       placed is not saved. */
    questions_drop_view(v->id);
    inspector_detach(v);
    gtk_widget_destroy(v->plug);
    /* The last private view takes the private cookies, storage and cache
       with it. */
    if (v->private_window && --private_views == 0)
        g_clear_object(&private_context);
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
