// SPDX-License-Identifier: GPL-3.0-or-later
/* WebKit reads a page that declares no encoding in its default (Shift_JIS on
   a Japanese system) and detects no other Japanese encoding: an EUC-JP or
   ISO-2022-JP page would show as mojibake. The bytes tell them apart, as
   Japanese browsers have always done. */

#include "hostencoding.h"

#include <libsoup/soup.h>
#include <string.h>

/* An encoding the page states itself: a byte order mark, or "charset" in
   its first kilobyte (a meta tag; WebKit looks no further either). */
static gboolean declares_encoding(const guchar *data, gsize length)
{
    if ((length >= 3 && memcmp(data, "\xEF\xBB\xBF", 3) == 0) ||
        (length >= 2 && (memcmp(data, "\xFE\xFF", 2) == 0 || memcmp(data, "\xFF\xFE", 2) == 0)))
        return TRUE;
    const gsize head = MIN(length, 1024);
    for (gsize i = 0; i + 7 <= head; ++i)
        if (g_ascii_strncasecmp((const char *)data + i, "charset", 7) == 0)
            return TRUE;
    return FALSE;
}

static gboolean decodes_as(const guchar *data, gsize length, const char *charset)
{
    g_autoptr(GError) error = NULL;
    gsize read = 0;
    g_autofree char *text = g_convert((const char *)data, (gssize)length, "UTF-8", charset, &read, NULL, &error);
    return text && !error && read == length;
}

/* The page's encoding where the bytes say it is not Shift_JIS; NULL when
   they do not. ISO-2022-JP is seven-bit with escapes into its character
   sets; EUC-JP never uses the bytes 0x81-0x8D and 0x90-0x9F that begin most
   of Shift_JIS's characters (kana among them). */
static const char *detect(const guchar *data, gsize length)
{
    gboolean high = FALSE, escapes = FALSE, shift_jis_leads = FALSE;
    for (gsize i = 0; i < length; ++i) {
        const guchar c = data[i];
        if (c >= 0x80)
            high = TRUE;
        if ((c >= 0x81 && c <= 0x8D) || (c >= 0x90 && c <= 0x9F))
            shift_jis_leads = TRUE;
        if (c == 0x1B && i + 2 < length && (data[i + 1] == '$' || data[i + 1] == '('))
            escapes = TRUE;
    }
    if (!high)
        return escapes ? "ISO-2022-JP" : NULL;
    if (!shift_jis_leads && decodes_as(data, length, "EUC-JP"))
        return "EUC-JP";
    return NULL;
}

/* The response says nothing of the encoding (a local file never does). */
static gboolean response_undeclared(WebKitWebResource *resource)
{
    WebKitURIResponse *response = webkit_web_resource_get_response(resource);
    if (!response)
        return FALSE;
    const char *type = webkit_uri_response_get_mime_type(response);
    if (g_strcmp0(type, "text/html") != 0 && g_strcmp0(type, "text/plain") != 0)
        return FALSE;
    SoupMessageHeaders *headers = webkit_uri_response_get_http_headers(response);
    GHashTable *params = NULL;
    gboolean undeclared = TRUE;
    if (headers && soup_message_headers_get_content_type(headers, &params) && params)
        undeclared = !g_hash_table_contains(params, "charset");
    if (params)
        g_hash_table_destroy(params);
    return undeclared;
}

static void send_loaded(HostView *v)
{
    host_send(v->id, VEXEL_VERB_LOADED, VEXEL_YES, NULL);
}

static void on_data(GObject *source, GAsyncResult *result, gpointer data)
{
    gsize length = 0;
    g_autofree guchar *bytes = webkit_web_resource_get_data_finish(WEBKIT_WEB_RESOURCE(source), result, &length, NULL);
    HostView *v = view_by_id(GPOINTER_TO_UINT(data));
    /* The view went, or is on another page by now: that load says for itself. */
    if (!v || webkit_web_view_get_main_resource(v->web) != WEBKIT_WEB_RESOURCE(source))
        return;
    const char *charset = bytes && !declares_encoding(bytes, length) ? detect(bytes, length) : NULL;
    if (!charset) {
        send_loaded(v);
        return;
    }
    /* For this page only (on_load_changed); its end is the visit. */
    g_free(v->charset_page);
    v->charset_page = g_strdup(webkit_web_view_get_uri(v->web));
    webkit_web_view_set_custom_charset(v->web, charset);
}

gboolean encoding_check_loaded(HostView *v)
{
    const char *fallback = webkit_settings_get_default_charset(webkit_web_view_get_settings(v->web));
    WebKitWebResource *page = webkit_web_view_get_main_resource(v->web);
    if (!page || webkit_web_view_get_custom_charset(v->web) || g_ascii_strcasecmp(fallback, "Shift_JIS") != 0 ||
        !response_undeclared(page))
        return FALSE;
    webkit_web_resource_get_data(page, NULL, on_data, GUINT_TO_POINTER(v->id));
    return TRUE;
}
