/* What the frame asks of a view: load, navigate, find, zoom, close, the
   answers to the page's questions, release. */

#include "hostask.h"
#include "hostdownload.h"
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
    char *uri = view_text_field(fields, count, 0);
    webkit_web_view_load_uri(v->web, *uri ? uri : "about:blank");
    g_free(uri);
}

static void request_find(HostView *v, const char *const *fields, guint count)
{
    char *text = view_text_field(fields, count, 1);
    WebKitFindController *find = webkit_web_view_get_find_controller(v->web);
    const gboolean backward = count > 0 && strcmp(fields[0], "b") == 0;
    const char *current = webkit_find_controller_get_search_text(find);
    if (!*text) {
        webkit_find_controller_search_finish(find);
    } else if (current && strcmp(current, text) == 0) {
        /* The same text again goes on from the current match. */
        if (backward)
            webkit_find_controller_search_previous(find);
        else
            webkit_find_controller_search_next(find);
    } else {
        guint32 options = WEBKIT_FIND_OPTIONS_CASE_INSENSITIVE | WEBKIT_FIND_OPTIONS_WRAP_AROUND;
        if (backward)
            options |= WEBKIT_FIND_OPTIONS_BACKWARDS;
        webkit_find_controller_search(find, text, options, G_MAXUINT);
    }
    g_free(text);
}

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
    {VEXEL_VERB_ANSWER, answer_dialog},
    {VEXEL_VERB_CREDENTIALS, answer_credentials},
    {VEXEL_VERB_SAVE, answer_download},
    {VEXEL_VERB_RELEASE, request_release},
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
    {VEXEL_VERB_TRYCLOSE, webkit_web_view_try_close},
    {VEXEL_VERB_TERMINATE, webkit_web_view_terminate_web_process},
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
