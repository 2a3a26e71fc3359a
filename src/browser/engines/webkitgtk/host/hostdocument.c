// SPDX-License-Identifier: GPL-3.0-or-later
#include "hostdocument.h"

#include <string.h>

static gboolean is_page(const char *mime)
{
    return !mime || !*mime || strcmp(mime, "text/html") == 0 || strcmp(mime, "application/xhtml+xml") == 0 ||
           strcmp(mime, "image/svg+xml") == 0;
}

/* The address's last part, unescaped; NULL when it has none. */
static char *file_name(const char *uri)
{
    g_autoptr(GUri) parsed = uri ? g_uri_parse(uri, G_URI_FLAGS_NONE, NULL) : NULL;
    if (!parsed)
        return NULL;
    const char *path = g_uri_get_path(parsed);
    const char *slash = strrchr(path, '/');
    const char *last = slash ? slash + 1 : path;
    g_autofree char *name = *last ? g_uri_unescape_string(last, NULL) : NULL;
    /* A name made of what no title may hold is no name. */
    if (name && (!g_utf8_validate(name, -1, NULL) || strpbrk(name, "\r\n")))
        return NULL;
    return g_steal_pointer(&name);
}

char *document_title(WebKitWebView *web)
{
    const char *title = webkit_web_view_get_title(web);
    if (title && *title)
        return g_strdup(title);
    WebKitWebResource *resource = webkit_web_view_get_main_resource(web);
    WebKitURIResponse *response = resource ? webkit_web_resource_get_response(resource) : NULL;
    if (!response || is_page(webkit_uri_response_get_mime_type(response)))
        return g_strdup("");
    char *name = file_name(webkit_web_view_get_uri(web));
    return name ? name : g_strdup("");
}
