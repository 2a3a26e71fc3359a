// SPDX-License-Identifier: GPL-3.0-or-later
#include "hostdownload.h"

#include "hostask.h"

#include <string.h>

typedef struct {
    guint id;        /* the frame names it by this */
    char number[16]; /* id as a field */
    guint view;      /* whose window hears about it; 0 while none */
    char *name;      /* the file's name as the user chose it */
    gboolean failed;
    gint64 reported; /* when progress was last sent (monotonic, µs) */
} Download;

/* Progress reaches the status bar this often at most: a fast download
   writes thousands of pieces. */
#define PROGRESS_INTERVAL_US 100000

/* Running downloads by id, for the frame to cancel. */
static GHashTable *running;
static guint last_id;

/* Its window, or the host itself once that window has gone: the frame
   keeps the list of downloads either way. */
static guint report_to(const Download *d)
{
    return view_by_id(d->view) ? d->view : 0;
}

static Download *state_of(WebKitDownload *download)
{
    return g_object_get_data(G_OBJECT(download), "vexel-download");
}

static void download_free(gpointer data)
{
    Download *d = data;
    g_free(d->name);
    g_free(d);
}

/* What the status bar calls it before the user chose a name: the last part
   of its address. */
static char *name_from_request(WebKitDownload *download)
{
    WebKitURIRequest *request = webkit_download_get_request(download);
    g_autoptr(GUri) uri = request ? g_uri_parse(webkit_uri_request_get_uri(request), G_URI_FLAGS_NONE, NULL) : NULL;
    char *name = NULL;
    if (uri) {
        g_autofree char *path = g_uri_unescape_string(g_uri_get_path(uri), NULL);
        name = path && *path ? g_path_get_basename(path) : NULL;
        if (name && (strcmp(name, "/") == 0 || strcmp(name, ".") == 0))
            g_clear_pointer(&name, g_free);
    }
    return name ? name : g_strdup("download");
}

static gboolean on_decide_destination(WebKitDownload *download, const char *suggested, gpointer data)
{
    (void)data;
    Download *d = state_of(download);
    WebKitWebView *web = webkit_download_get_web_view(download);
    HostView *v = web ? view_of(web) : NULL;
    if (!v) {
        /* No window left to ask in. */
        webkit_download_cancel(download);
        return TRUE;
    }
    d->view = v->id;
    /* The download waits until the frame answers. */
    char number[16];
    g_snprintf(number, sizeof number, "%u", question_add(v->id, QUESTION_DOWNLOAD, g_object_ref(download)));
    WebKitURIRequest *request = webkit_download_get_request(download);
    const char *source = request ? webkit_uri_request_get_uri(request) : NULL;
    if (!host_send(v->id, VEXEL_VERB_DOWNLOAD, number, host_text(suggested), d->number, host_text(source), NULL))
        give_up_number(v->id, QUESTION_DOWNLOAD, number);
    return TRUE;
}

static void send_progress(WebKitDownload *download, Download *d)
{
    WebKitURIResponse *response = webkit_download_get_response(download);
    char received[24], total[24];
    g_snprintf(received, sizeof received, "%" G_GUINT64_FORMAT, webkit_download_get_received_data_length(download));
    g_snprintf(total, sizeof total, "%" G_GUINT64_FORMAT,
               response ? webkit_uri_response_get_content_length(response) : (guint64)0);
    host_send(report_to(d), VEXEL_VERB_DOWNLOADING, d->name, received, total, d->number, NULL);
}

static void on_received_data(WebKitDownload *download, guint64 length, gpointer data)
{
    (void)length;
    (void)data;
    Download *d = state_of(download);
    if (!d->name)
        return;
    const gint64 now = g_get_monotonic_time();
    if (d->reported && now - d->reported < PROGRESS_INTERVAL_US)
        return;
    d->reported = now;
    send_progress(download, d);
}

static void on_failed(WebKitDownload *download, GError *error, gpointer data)
{
    (void)data;
    Download *d = state_of(download);
    d->failed = TRUE;
    const gboolean cancelled = g_error_matches(error, WEBKIT_DOWNLOAD_ERROR, WEBKIT_DOWNLOAD_ERROR_CANCELLED_BY_USER);
    /* Cancelled before a place was chosen: the user said no (and the frame
       said so), or there was no one to ask. */
    if (!d->view || (cancelled && !d->name))
        return;
    const char *reason = VEXEL_DOWNLOAD_OTHER;
    if (cancelled)
        reason = VEXEL_DOWNLOAD_CANCELLED;
    else if (g_error_matches(error, WEBKIT_DOWNLOAD_ERROR, WEBKIT_DOWNLOAD_ERROR_DESTINATION))
        reason = VEXEL_DOWNLOAD_DESTINATION;
    else if (g_error_matches(error, WEBKIT_DOWNLOAD_ERROR, WEBKIT_DOWNLOAD_ERROR_NETWORK))
        reason = VEXEL_DOWNLOAD_NETWORK;
    g_autofree char *name = d->name ? g_strdup(d->name) : name_from_request(download);
    host_send(report_to(d), VEXEL_VERB_DOWNLOADFAILED, name, reason, d->number, NULL);
}

static void on_finished(WebKitDownload *download, gpointer data)
{
    (void)data;
    Download *d = state_of(download);
    if (!d->failed && d->name) {
        send_progress(download, d);
        host_send(report_to(d), VEXEL_VERB_DOWNLOADED, d->name, d->number, NULL);
    }
    g_hash_table_remove(running, GUINT_TO_POINTER(d->id));
    /* The reference taken when it started. */
    g_object_unref(download);
}

static void on_download_started(WebKitWebContext *context, WebKitDownload *download, gpointer data)
{
    (void)context;
    (void)data;
    Download *d = g_new0(Download, 1);
    d->id = ++last_id;
    g_snprintf(d->number, sizeof d->number, "%u", d->id);
    g_object_set_data_full(G_OBJECT(download), "vexel-download", d, download_free);
    g_hash_table_insert(running, GUINT_TO_POINTER(d->id), download);
    /* Kept until it finishes, whoever else lets go of it. */
    g_object_ref(download);
    g_signal_connect(download, "decide-destination", G_CALLBACK(on_decide_destination), NULL);
    g_signal_connect(download, "received-data", G_CALLBACK(on_received_data), NULL);
    g_signal_connect(download, "failed", G_CALLBACK(on_failed), NULL);
    g_signal_connect(download, "finished", G_CALLBACK(on_finished), NULL);
}

void downloads_init(WebKitWebContext *context)
{
    /* Once for every context: the normal one and each private one. */
    if (!running)
        running = g_hash_table_new(g_direct_hash, g_direct_equal);
    g_signal_connect(context, "download-started", G_CALLBACK(on_download_started), NULL);
}

void request_fetch(HostView *v, const char *const *fields, guint count)
{
    g_autofree char *uri = view_text_field(fields, count, 0);
    /* Only what a link could lead to. */
    g_autoptr(GUri) parsed = g_uri_parse(uri, G_URI_FLAGS_NONE, NULL);
    if (parsed) {
        const char *scheme = g_uri_get_scheme(parsed);
        if (g_ascii_strcasecmp(scheme, "http") == 0 || g_ascii_strcasecmp(scheme, "https") == 0 ||
            g_ascii_strcasecmp(scheme, "file") == 0)
            g_object_unref(webkit_web_view_download_uri(v->web, uri));
    }
}

void download_cancel(const char *const *fields, guint count)
{
    WebKitDownload *download = g_hash_table_lookup(running, GUINT_TO_POINTER(view_number_field(fields, count, 0)));
    if (download)
        webkit_download_cancel(download);
}

gboolean download_decide_policy(WebKitWebView *web, WebKitPolicyDecision *decision, WebKitPolicyDecisionType type,
                                HostView *v)
{
    (void)web;
    (void)v;
    if (type != WEBKIT_POLICY_DECISION_TYPE_RESPONSE)
        return FALSE;
    WebKitResponsePolicyDecision *response = WEBKIT_RESPONSE_POLICY_DECISION(decision);
    /* What the view shows, and the empty answers that leave the page as it
       is, take WebKit's own course (which also downloads attachments). */
    if (webkit_response_policy_decision_is_mime_type_supported(response))
        return FALSE;
    const guint status = webkit_uri_response_get_status_code(webkit_response_policy_decision_get_response(response));
    if (status == 204 || status == 205)
        return FALSE;
    webkit_policy_decision_download(decision);
    return TRUE;
}

void answer_download(HostView *v, const char *const *fields, guint count)
{
    g_autoptr(WebKitDownload) download =
        question_take(view_number_field(fields, count, 0), v->id, QUESTION_DOWNLOAD);
    if (!download)
        return;
    g_autofree char *path = view_text_field(fields, count, 1);
    if (g_path_is_absolute(path)) {
        Download *d = state_of(download);
        d->name = g_path_get_basename(path);
        /* The frame's save dialog has asked before replacing a file. */
        webkit_download_set_allow_overwrite(download, TRUE);
        webkit_download_set_destination(download, path);
    } else {
        webkit_download_cancel(download);
    }
}
