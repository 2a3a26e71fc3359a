// SPDX-License-Identifier: GPL-3.0-or-later
/* What the frame asks of a view: load, navigate, find, zoom, close, the
   answers to the page's questions, its saved history back, release; and
   what the frame keeps of the view: find results, the history to save, an
   input method's composition. */

#include "hostask.h"
#include "hostblocking.h"
#include "hostdownload.h"
#include "hostdevtools.h"
#include "hostpermission.h"
#include "hostfullscreen.h"
#include "hostload.h"
#include "hostprint.h"
#include "hostrules.h"
#include "hostscroll.h"
#include "hostsource.h"
#include "hostview.h"

#include <math.h>
#include <string.h>

char *view_text_field(const char *const *fields, guint count, guint index)
{
    return g_strdup(index < count ? fields[index] : "");
}

guint view_number_field(const char *const *fields, guint count, guint index)
{
    if (index >= count)
        return 0;
    char *end = NULL;
    const guint64 n = g_ascii_strtoull(fields[index], &end, 10);
    return end != fields[index] && *end == '\0' && n <= G_MAXUINT ? (guint)n : 0;
}

static void request_load(HostView *v, const char *const *fields, guint count)
{
    g_autofree char *uri = view_text_field(fields, count, 0);
    webkit_web_view_load_uri(v->web, *uri ? uri : "about:blank");
}

/* --- Find ----------------------------------------------------------------- */

/* WebKit counts the matches for a new text only (next and previous report
   one), and never says which one is selected: the index is counted here,
   from the first match (the last, backwards) for a new text, on through
   next and previous, wrapping as the search does. */
static void send_found(HostView *v)
{
    char active[16], count[16];
    g_snprintf(active, sizeof active, "%u", v->find_count ? v->find_active : 0u);
    g_snprintf(count, sizeof count, "%u", v->find_count);
    host_send(v->id, VEXEL_VERB_FOUND, active, count, NULL);
}

static void on_found_text(WebKitFindController *find, guint matches, gpointer id)
{
    (void)find;
    HostView *v = view_by_id(GPOINTER_TO_UINT(id));
    if (!v)
        return;
    if (v->find_new || v->find_count == 0) {
        v->find_count = matches;
        v->find_active = v->find_step < 0 ? matches : 1;
    } else if (v->find_step > 0) {
        v->find_active = v->find_active % v->find_count + 1;
    } else {
        v->find_active = (v->find_active + v->find_count - 2) % v->find_count + 1;
    }
    v->find_new = FALSE;
    send_found(v);
}

static void on_failed_to_find(WebKitFindController *find, gpointer id)
{
    (void)find;
    HostView *v = view_by_id(GPOINTER_TO_UINT(id));
    if (!v)
        return;
    v->find_active = v->find_count = 0;
    v->find_new = FALSE;
    send_found(v);
}

static void request_find(HostView *v, const char *const *fields, guint count)
{
    g_autofree char *text = view_text_field(fields, count, 1);
    WebKitFindController *find = webkit_web_view_get_find_controller(v->web);
    const gboolean backward = count > 0 && strcmp(fields[0], VEXEL_FIND_BACKWARD) == 0;
    const char *current = webkit_find_controller_get_search_text(find);
    if (!*text) {
        webkit_find_controller_search_finish(find);
    } else if (current && strcmp(current, text) == 0) {
        /* The same text again goes on from the current match. */
        v->find_step = backward ? -1 : 1;
        v->find_new = FALSE;
        if (backward)
            webkit_find_controller_search_previous(find);
        else
            webkit_find_controller_search_next(find);
    } else {
        guint32 options = WEBKIT_FIND_OPTIONS_CASE_INSENSITIVE | WEBKIT_FIND_OPTIONS_WRAP_AROUND;
        if (backward)
            options |= WEBKIT_FIND_OPTIONS_BACKWARDS;
        v->find_step = backward ? -1 : 1;
        v->find_new = TRUE;
        webkit_find_controller_search(find, text, options, G_MAXUINT);
    }
}

/* --- The history saved with a window ---------------------------------------- */

/* The frame must have it at hand when the window closes: it gets the whole
   back/forward list after every navigation. */
static void send_session(HostView *v)
{
    g_autoptr(WebKitWebViewSessionState) state = webkit_web_view_get_session_state(v->web);
    g_autoptr(GBytes) bytes = webkit_web_view_session_state_serialize(state);
    gsize size = 0;
    const guchar *data = g_bytes_get_data(bytes, &size);
    g_autofree char *text = g_base64_encode(data, size);
    /* One too long for a line: none rather than an older one. */
    if (!host_send(v->id, VEXEL_VERB_SESSION, text, NULL))
        host_send(v->id, VEXEL_VERB_SESSION, "", NULL);
}

static void on_load_changed(WebKitWebView *web, WebKitLoadEvent event, HostView *v)
{
    (void)web;
    /* Committed: a new entry; finished: its title. */
    if (event == WEBKIT_LOAD_COMMITTED || event == WEBKIT_LOAD_FINISHED)
        send_session(v);
}

/* A history that does not read restores nothing; the view stays as it is. */
static void request_restore(HostView *v, const char *const *fields, guint count)
{
    g_autofree char *text = view_text_field(fields, count, 0);
    gsize size = 0;
    guchar *data = g_base64_decode(text, &size);
    g_autoptr(GBytes) bytes = g_bytes_new_take(data, size);
    g_autoptr(WebKitWebViewSessionState) state = size ? webkit_web_view_session_state_new(bytes) : NULL;
    if (!state) {
        g_printerr("vexel-webkit: a saved history that does not read was not restored\n");
        return;
    }
    webkit_web_view_restore_session_state(v->web, state);
    /* The list is back; its current page is shown only once it is loaded. */
    WebKitBackForwardListItem *current =
        webkit_back_forward_list_get_current_item(webkit_web_view_get_back_forward_list(v->web));
    if (current)
        webkit_web_view_go_to_back_forward_list_item(v->web, current);
}

/* --- Text encoding and compositions ----------------------------------------- */

/* What a page that declares no encoding is read as; with Shift_JIS, an
   EUC-JP or ISO-2022-JP page is told apart too (hostencoding.c). */
static void request_charset(HostView *v, const char *const *fields, guint count)
{
    g_autofree char *charset = view_text_field(fields, count, 0);
    if (*charset)
        webkit_settings_set_default_charset(webkit_web_view_get_settings(v->web), charset);
}

/* While the page has a composition, the keys belong to the input method:
   the frame's shortcuts leave them alone. */
static void on_preedit_changed(WebKitInputMethodContext *im, HostView *v)
{
    g_autofree char *text = NULL;
    webkit_input_method_context_get_preedit(im, &text, NULL, NULL);
    const gboolean composing = text && *text;
    if (composing == v->composing)
        return;
    v->composing = composing;
    host_send(v->id, VEXEL_VERB_COMPOSING, composing ? VEXEL_YES : VEXEL_NO, NULL);
}

void requests_attach(HostView *v)
{
    /* By number: the find controller may outlive the view's record. */
    WebKitFindController *find = webkit_web_view_get_find_controller(v->web);
    g_signal_connect(find, "found-text", G_CALLBACK(on_found_text), GUINT_TO_POINTER(v->id));
    g_signal_connect(find, "failed-to-find-text", G_CALLBACK(on_failed_to_find), GUINT_TO_POINTER(v->id));
    g_signal_connect(v->web, "load-changed", G_CALLBACK(on_load_changed), v);
    WebKitInputMethodContext *im = webkit_web_view_get_input_method_context(v->web);
    if (im)
        g_signal_connect(im, "preedit-changed", G_CALLBACK(on_preedit_changed), v);
    permissions_attach(v);
    fullscreen_attach(v);
    inspector_attach(v);
    blocking_attach(v);
    rules_attach(v);
}

/* --- The others --------------------------------------------------------------- */

static void request_zoom(HostView *v, const char *const *fields, guint count)
{
    const double factor = count > 0 ? g_ascii_strtod(fields[0], NULL) : 1.0;
    if (factor > 0 && isfinite(factor))
        webkit_web_view_set_zoom_level(v->web, factor);
}

static void request_release(HostView *v, const char *const *fields, guint count)
{
    (void)fields;
    (void)count;
    view_release(v);
}

static const struct {
    const char *verb;
    void (*run)(HostView *v, const char *const *fields, guint count);
} requests[] = {
    {VEXEL_VERB_LOAD, request_load},
    {VEXEL_VERB_FIND, request_find},
    {VEXEL_VERB_ZOOM, request_zoom},
    {VEXEL_VERB_RESTORE, request_restore},
    {VEXEL_VERB_CHARSET, request_charset},
    {VEXEL_VERB_ANSWER, answer_dialog},
    {VEXEL_VERB_CREDENTIALS, answer_credentials},
    {VEXEL_VERB_PERMIT, answer_permission},
    {VEXEL_VERB_SAVE, answer_download},
    {VEXEL_VERB_FETCH, request_fetch},
    {VEXEL_VERB_ALLOWCERT, view_allow_certificate},
    {VEXEL_VERB_PRINTPDF, print_to_pdf},
    {VEXEL_VERB_RELEASE, request_release},
    {VEXEL_VERB_RULEANSWER, rules_answer},
    {VEXEL_VERB_SOURCE, source_request},
    {VEXEL_VERB_SAVEPAGEAS, source_save_page},
    {VEXEL_VERB_INSPECT, inspector_request},
    {VEXEL_VERB_SCROLLWATCH, scroll_watch},
    {VEXEL_VERB_SCROLLTO, scroll_to},
};

/* Requests without fields that WebKit answers by itself. "tryclose" lets the
   page's beforeunload handler ask (a "leave" dialog); "close" follows when
   the window may go, nothing when the user stays. "terminate" ends a page
   that does not answer; "crashed requested" follows. */
static const struct {
    const char *verb;
    void (*run)(WebKitWebView *web);
} web_requests[] = {
    {VEXEL_VERB_BACK, webkit_web_view_go_back},
    {VEXEL_VERB_FORWARD, webkit_web_view_go_forward},
    {VEXEL_VERB_STOP, webkit_web_view_stop_loading},
    {VEXEL_VERB_RELOAD, webkit_web_view_reload},
    {VEXEL_VERB_RELOADFULL, webkit_web_view_reload_bypass_cache},
    {VEXEL_VERB_TRYCLOSE, webkit_web_view_try_close},
    {VEXEL_VERB_TERMINATE, webkit_web_view_terminate_web_process},
    {VEXEL_VERB_EXITFULLSCREEN, fullscreen_exit},
};

gboolean view_request(guint id, const char *verb, const char *const *fields, guint count)
{
    for (guint i = 0; i < G_N_ELEMENTS(web_requests); ++i) {
        if (strcmp(verb, web_requests[i].verb) == 0) {
            HostView *v = view_by_id(id);
            if (v)
                web_requests[i].run(v->web);
            return TRUE;
        }
    }
    for (guint i = 0; i < G_N_ELEMENTS(requests); ++i) {
        if (strcmp(verb, requests[i].verb) == 0) {
            HostView *v = view_by_id(id);
            /* A view already released: nothing to do. */
            if (v)
                requests[i].run(v, fields, count);
            return TRUE;
        }
    }
    return FALSE;
}
