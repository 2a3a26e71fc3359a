// SPDX-License-Identifier: GPL-3.0-or-later
#include "hostcontext.h"

#include "hostblocking.h"
#include "hostdownload.h"
#include "hostpermission.h"

/* The normal context is made at its first use, so that a run with only
   private windows never creates or touches its folders; the private one
   lives while a private view does, and its data goes with it. */
static WebKitWebContext *normal_context;
static WebKitWebContext *private_context;
static guint private_views;

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
        g_autofree char *data = g_build_filename(g_get_user_data_dir(), "Vexel", "webkit", NULL);
        g_autofree char *cache = g_build_filename(g_get_user_cache_dir(), "Vexel", "webkit", NULL);
        g_autoptr(WebKitWebsiteDataManager) manager =
            webkit_website_data_manager_new("base-data-directory", data, "base-cache-directory", cache, NULL);
        /* Cookies too, so a login survives a restart. */
        g_autofree char *cookies = g_build_filename(data, "cookies.sqlite", NULL);
        g_mkdir_with_parents(data, 0700);
        webkit_cookie_manager_set_persistent_storage(webkit_website_data_manager_get_cookie_manager(manager), cookies,
                                                     WEBKIT_COOKIE_PERSISTENT_STORAGE_SQLITE);
        normal_context = webkit_web_context_new_with_website_data_manager(manager);
        configure_context(normal_context);
    }
    return normal_context;
}

void views_context_hold(gboolean private_window)
{
    private_views += private_window ? 1 : 0;
}

void views_context_release(gboolean private_window)
{
    /* The last private view takes the private cookies, storage and cache
       with it. */
    if (private_window && --private_views == 0)
        g_clear_object(&private_context);
}
