// SPDX-License-Identifier: GPL-3.0-or-later
#include "hostdata.h"

#include "hostcontext.h"
#include "hostview.h"

#include <libsoup/soup.h>
#include <string.h>

/* The words the frame names data by. */
#define STORAGE_TYPES                                                                                        \
    (WEBKIT_WEBSITE_DATA_LOCAL_STORAGE | WEBKIT_WEBSITE_DATA_SESSION_STORAGE |                               \
     WEBKIT_WEBSITE_DATA_INDEXEDDB_DATABASES | WEBKIT_WEBSITE_DATA_SERVICE_WORKER_REGISTRATIONS |            \
     WEBKIT_WEBSITE_DATA_DOM_CACHE | WEBKIT_WEBSITE_DATA_OFFLINE_APPLICATION_CACHE |                         \
     WEBKIT_WEBSITE_DATA_WEBSQL_DATABASES)
#define CACHE_TYPES (WEBKIT_WEBSITE_DATA_MEMORY_CACHE | WEBKIT_WEBSITE_DATA_DISK_CACHE)

static const struct {
    WebKitWebsiteDataTypes type;
    const char *word;
} type_words[] = {
    {WEBKIT_WEBSITE_DATA_COOKIES, VEXEL_DATA_COOKIES},
    {WEBKIT_WEBSITE_DATA_LOCAL_STORAGE, VEXEL_DATA_LOCAL_STORAGE},
    {WEBKIT_WEBSITE_DATA_SESSION_STORAGE, VEXEL_DATA_SESSION_STORAGE},
    {WEBKIT_WEBSITE_DATA_INDEXEDDB_DATABASES, VEXEL_DATA_INDEXEDDB},
    {WEBKIT_WEBSITE_DATA_SERVICE_WORKER_REGISTRATIONS, VEXEL_DATA_SERVICE_WORKER},
    {WEBKIT_WEBSITE_DATA_DOM_CACHE, VEXEL_DATA_CACHE_STORAGE},
    {WEBKIT_WEBSITE_DATA_OFFLINE_APPLICATION_CACHE, VEXEL_DATA_APPCACHE},
    {WEBKIT_WEBSITE_DATA_WEBSQL_DATABASES, VEXEL_DATA_WEBSQL},
    {WEBKIT_WEBSITE_DATA_DISK_CACHE, VEXEL_DATA_CACHE},
};

static WebKitWebsiteDataManager *manager(void)
{
    return webkit_web_context_get_website_data_manager(views_context(FALSE));
}

/* "cookies,storage,cache" as WebKit's types. */
static WebKitWebsiteDataTypes types_of(const char *words)
{
    WebKitWebsiteDataTypes types = 0;
    char **list = g_strsplit(words, VEXEL_LIST_SEPARATOR, -1);
    for (char **w = list; *w; ++w) {
        if (strcmp(*w, VEXEL_DATA_COOKIES) == 0)
            types |= WEBKIT_WEBSITE_DATA_COOKIES;
        else if (strcmp(*w, VEXEL_DATA_STORAGE) == 0)
            types |= STORAGE_TYPES;
        else if (strcmp(*w, VEXEL_DATA_CACHE) == 0)
            types |= CACHE_TYPES;
    }
    g_strfreev(list);
    return types;
}

static char *words_of(WebKitWebsiteDataTypes types)
{
    GString *words = g_string_new(NULL);
    for (gsize i = 0; i < G_N_ELEMENTS(type_words); ++i)
        if (types & type_words[i].type)
            g_string_append_printf(words, "%s%s", words->len ? VEXEL_LIST_SEPARATOR : "", type_words[i].word);
    return g_string_free(words, FALSE);
}

/* One request of the frame, answered under its number. */
typedef struct {
    char *number;
    char *site;  /* removedata: the one site */
    WebKitWebsiteDataTypes types;
    GList *records;  /* sitedata: what fetch found, until the cookies come */
} Request;

static Request *request_new(const char *const *fields, guint count, guint types_field)
{
    Request *r = g_new0(Request, 1);
    r->number = view_text_field(fields, count, 0);
    if (types_field) {
        g_autofree char *words = view_text_field(fields, count, types_field);
        r->types = types_of(words);
    }
    return r;
}

static void request_free(Request *r)
{
    g_list_free_full(r->records, (GDestroyNotify)webkit_website_data_unref);
    g_free(r->site);
    g_free(r->number);
    g_free(r);
}

static void answer_cleared(Request *r, GError *error)
{
    host_send(0, VEXEL_VERB_DATACLEARED, r->number, error ? VEXEL_NO : VEXEL_YES, error ? error->message : "", NULL);
    request_free(r);
}

/* Whether a cookie of domain goes to site (set by it or by a domain above). */
static gboolean cookie_goes_to(const char *domain, const char *site)
{
    if (!domain)
        return FALSE;
    if (*domain == '.')
        ++domain;
    const size_t d = strlen(domain), s = strlen(site);
    return g_ascii_strcasecmp(domain, site) == 0 ||
           (s > d && site[s - d - 1] == '.' && g_ascii_strcasecmp(site + s - d, domain) == 0);
}

static void on_cookies(GObject *source, GAsyncResult *result, gpointer data)
{
    Request *r = data;
    GList *cookies = webkit_cookie_manager_get_all_cookies_finish(WEBKIT_COOKIE_MANAGER(source), result, NULL);
    for (GList *l = r->records; l; l = l->next) {
        WebKitWebsiteData *record = l->data;
        const char *name = webkit_website_data_get_name(record);
        const WebKitWebsiteDataTypes types = webkit_website_data_get_types(record);
        guint count = 0;
        for (GList *c = cookies; c; c = c->next) {
            const char *domain = soup_cookie_get_domain(c->data);
            if (domain && g_ascii_strcasecmp(*domain == '.' ? domain + 1 : domain, name) == 0)
                ++count;
        }
        g_autofree char *words = words_of(types);
        g_autofree char *cookies_text = g_strdup_printf("%u", count);
        g_autofree char *bytes = g_strdup_printf("%" G_GUINT64_FORMAT, webkit_website_data_get_size(record, types & ~WEBKIT_WEBSITE_DATA_COOKIES));
        if (types & (WEBKIT_WEBSITE_DATA_COOKIES | STORAGE_TYPES))
            host_send(0, VEXEL_VERB_SITE, r->number, name, words, cookies_text, bytes, NULL);
    }
    g_list_free_full(cookies, (GDestroyNotify)soup_cookie_free);
    host_send(0, VEXEL_VERB_SITEDATAEND, r->number, VEXEL_YES, NULL);
    request_free(r);
}

static void on_fetched_for_list(GObject *source, GAsyncResult *result, gpointer data)
{
    Request *r = data;
    g_autoptr(GError) error = NULL;
    r->records = webkit_website_data_manager_fetch_finish(WEBKIT_WEBSITE_DATA_MANAGER(source), result, &error);
    if (error) {
        host_send(0, VEXEL_VERB_SITEDATAEND, r->number, VEXEL_NO, NULL);
        request_free(r);
        return;
    }
    webkit_cookie_manager_get_all_cookies(webkit_website_data_manager_get_cookie_manager(manager()), NULL,
                                          on_cookies, r);
}

static void on_cleared(GObject *source, GAsyncResult *result, gpointer data)
{
    g_autoptr(GError) error = NULL;
    webkit_website_data_manager_clear_finish(WEBKIT_WEBSITE_DATA_MANAGER(source), result, &error);
    answer_cleared(data, error);
}

static void on_removed(GObject *source, GAsyncResult *result, gpointer data)
{
    g_autoptr(GError) error = NULL;
    webkit_website_data_manager_remove_finish(WEBKIT_WEBSITE_DATA_MANAGER(source), result, &error);
    answer_cleared(data, error);
}

static void on_fetched_for_removal(GObject *source, GAsyncResult *result, gpointer data)
{
    Request *r = data;
    g_autoptr(GError) error = NULL;
    GList *records = webkit_website_data_manager_fetch_finish(WEBKIT_WEBSITE_DATA_MANAGER(source), result, &error);
    if (error) {
        answer_cleared(r, error);
        return;
    }
    /* The site's own records, and those of the domains whose cookies it
       receives. */
    for (GList *l = records; l; l = l->next) {
        WebKitWebsiteData *record = l->data;
        const char *name = webkit_website_data_get_name(record);
        if (g_ascii_strcasecmp(name, r->site) == 0 ||
            ((webkit_website_data_get_types(record) & WEBKIT_WEBSITE_DATA_COOKIES) && cookie_goes_to(name, r->site)))
            r->records = g_list_prepend(r->records, webkit_website_data_ref(record));
    }
    g_list_free_full(records, (GDestroyNotify)webkit_website_data_unref);
    if (!r->records) {
        answer_cleared(r, NULL);
        return;
    }
    webkit_website_data_manager_remove(WEBKIT_WEBSITE_DATA_MANAGER(source), r->types, r->records, NULL, on_removed, r);
}

gboolean data_request(const char *verb, const char *const *fields, guint count)
{
    if (strcmp(verb, VEXEL_VERB_SITEDATA) == 0) {
        Request *r = request_new(fields, count, 0);
        webkit_website_data_manager_fetch(manager(), WEBKIT_WEBSITE_DATA_COOKIES | STORAGE_TYPES, NULL,
                                          on_fetched_for_list, r);
        return TRUE;
    }
    if (strcmp(verb, VEXEL_VERB_CLEARDATA) == 0) {
        Request *r = request_new(fields, count, 1);
        const GTimeSpan seconds = (GTimeSpan)view_number_field(fields, count, 2);
        webkit_website_data_manager_clear(manager(), r->types, seconds * G_TIME_SPAN_SECOND, NULL, on_cleared, r);
        return TRUE;
    }
    if (strcmp(verb, VEXEL_VERB_REMOVEDATA) == 0) {
        Request *r = request_new(fields, count, 1);
        r->site = view_text_field(fields, count, 2);
        webkit_website_data_manager_fetch(manager(), r->types, NULL, on_fetched_for_removal, r);
        return TRUE;
    }
    return FALSE;
}
