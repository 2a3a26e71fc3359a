// SPDX-License-Identifier: GPL-3.0-or-later
/* A view's loads as the frame hears of them: address, title, progress,
   history, the end of each load, and why one failed. */

#include "hostload.h"

#include "hostdocument.h"
#include "hostencoding.h"

#include <math.h>

static void send_progress(HostView *v, int percent)
{
    if (percent == v->progress)
        return;
    v->progress = percent;
    char number[16];
    g_snprintf(number, sizeof number, "%d", percent);
    host_send(v->id, VEXEL_VERB_PROGRESS, number, NULL);
}

static void on_uri(WebKitWebView *web, GParamSpec *property, HostView *v)
{
    (void)property;
    host_send(v->id, VEXEL_VERB_URI, host_text(webkit_web_view_get_uri(web)), NULL);
}

static void on_title(WebKitWebView *web, GParamSpec *property, HostView *v)
{
    (void)property;
    g_autofree char *title = document_title(web);
    host_send(v->id, VEXEL_VERB_TITLE, title, NULL);
}

static void on_progress(WebKitWebView *web, GParamSpec *property, HostView *v)
{
    (void)property;
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
    g_autofree char *pem = g_steal_pointer(&v->tls_pem);
    g_autofree char *problems = g_steal_pointer(&v->tls_problems);
    /* What shows no page (a stopped load, a download). */
    if (g_error_matches(error, WEBKIT_NETWORK_ERROR, WEBKIT_NETWORK_ERROR_CANCELLED) ||
        g_error_matches(error, WEBKIT_POLICY_ERROR, WEBKIT_POLICY_ERROR_FRAME_LOAD_INTERRUPTED_BY_POLICY_CHANGE) ||
        g_error_matches(error, WEBKIT_PLUGIN_ERROR, WEBKIT_PLUGIN_ERROR_WILL_HANDLE_LOAD))
        return FALSE;
    /* The engine's words come from the network process, which runs in the
       C locale; as this process translates them where it can. */
    static const char *const domains[] = {"WebKitGTK-4.1", "libsoup-3.0", "glib-networking", "glib20"};
    const char *message = error->message;
    for (guint i = 0; i < G_N_ELEMENTS(domains) && message == error->message; ++i)
        message = g_dgettext(domains[i], error->message);
    const gboolean tls = problems != NULL;
    host_send(v->id, VEXEL_VERB_FAILED, tls ? VEXEL_FAILED_TLS : failure_kind(error), host_text(uri), message,
              host_text(problems), host_text(pem), NULL);
    /* The empty page loads next; its end too is no visit. */
    v->error_page = TRUE;
    webkit_web_view_load_alternate_html(
        web, "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title></title></head><body></body></html>", uri,
        NULL);
    return TRUE;
}

void view_allow_certificate(HostView *v, const char *const *fields, guint count)
{
    g_autofree char *host = view_text_field(fields, count, 0);
    g_autofree char *pem = view_text_field(fields, count, 1);
    g_autoptr(GTlsCertificate) certificate = *host ? g_tls_certificate_new_from_pem(pem, -1, NULL) : NULL;
    if (certificate)
        webkit_web_context_allow_tls_certificate_for_host(webkit_web_view_get_context(v->web), certificate, host);
}

void load_attach(HostView *v)
{
    g_signal_connect(v->web, "notify::uri", G_CALLBACK(on_uri), v);
    g_signal_connect(v->web, "notify::title", G_CALLBACK(on_title), v);
    g_signal_connect(v->web, "notify::estimated-load-progress", G_CALLBACK(on_progress), v);
    g_signal_connect(v->web, "load-changed", G_CALLBACK(on_load_changed), v);
    g_signal_connect(v->web, "load-failed-with-tls-errors", G_CALLBACK(on_tls_errors), v);
    g_signal_connect(v->web, "load-failed", G_CALLBACK(on_load_failed), v);
    g_signal_connect(webkit_web_view_get_back_forward_list(v->web), "changed", G_CALLBACK(on_history), v);
}
