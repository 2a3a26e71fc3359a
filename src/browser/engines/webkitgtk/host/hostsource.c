// SPDX-License-Identifier: GPL-3.0-or-later
#include "hostsource.h"

typedef struct {
    guint view;
    char *path;
    char *charset;
} SourceJob;

static void job_free(SourceJob *job)
{
    g_free(job->path);
    g_free(job->charset);
    g_free(job);
}

static void on_source_data(GObject *source, GAsyncResult *result, gpointer data)
{
    SourceJob *job = data;
    /* The reference taken when the data was asked for. */
    g_autoptr(WebKitWebResource) resource = WEBKIT_WEB_RESOURCE(source);
    gsize length = 0;
    g_autoptr(GError) error = NULL;
    g_autofree guchar *bytes = webkit_web_resource_get_data_finish(resource, result, &length, &error);
    /* An empty document has no bytes, and that is no failure. */
    const gboolean ok =
        !error && g_file_set_contents(job->path, bytes ? (const char *)bytes : "", (gssize)length, NULL);
    if (view_by_id(job->view))
        host_send(job->view, VEXEL_VERB_SOURCEREADY, job->path, ok ? VEXEL_YES : VEXEL_NO, job->charset,
                  host_text(webkit_web_resource_get_uri(resource)), NULL);
    job_free(job);
}

static void send_failure(SourceJob *job)
{
    if (view_by_id(job->view))
        host_send(job->view, VEXEL_VERB_SOURCEREADY, job->path, VEXEL_NO, "", "", NULL);
    job_free(job);
}

/* The encoding first: the frame decodes the bytes as the page was read. */
static void on_charset(GObject *source, GAsyncResult *result, gpointer data)
{
    SourceJob *job = data;
    g_autoptr(JSCValue) value = webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(source), result, NULL);
    job->charset = value && jsc_value_is_string(value) ? jsc_value_to_string(value) : g_strdup("");
    HostView *v = view_by_id(job->view);
    WebKitWebResource *resource = v ? webkit_web_view_get_main_resource(v->web) : NULL;
    if (!resource) {
        send_failure(job);
        return;
    }
    webkit_web_resource_get_data(g_object_ref(resource), NULL, on_source_data, job);
}

void source_request(HostView *v, const char *const *fields, guint count)
{
    SourceJob *job = g_new0(SourceJob, 1);
    job->view = v->id;
    job->path = view_text_field(fields, count, 0);
    if (!g_path_is_absolute(job->path)) {
        send_failure(job);
        return;
    }
    /* In a world of its own: the page's scripts cannot answer for it. */
    webkit_web_view_evaluate_javascript(v->web, "document.characterSet", -1, "vexel", NULL, NULL, on_charset, job);
}

typedef struct {
    guint view;
    char *path;
} SaveJob;

static void on_page_saved(GObject *source, GAsyncResult *result, gpointer data)
{
    SaveJob *job = data;
    const gboolean ok = webkit_web_view_save_to_file_finish(WEBKIT_WEB_VIEW(source), result, NULL);
    if (view_by_id(job->view))
        host_send(job->view, VEXEL_VERB_PAGESAVED, job->path, ok ? VEXEL_YES : VEXEL_NO, NULL);
    g_free(job->path);
    g_free(job);
}

void source_save_page(HostView *v, const char *const *fields, guint count)
{
    g_autofree char *path = view_text_field(fields, count, 0);
    if (!g_path_is_absolute(path))
        return;
    g_autoptr(GFile) file = g_file_new_for_path(path);
    SaveJob *job = g_new0(SaveJob, 1);
    job->view = v->id;
    job->path = g_steal_pointer(&path);
    webkit_web_view_save_to_file(v->web, file, WEBKIT_SAVE_MODE_MHTML, NULL, on_page_saved, job);
}
