// SPDX-License-Identifier: GPL-3.0-or-later
/* Scroll linking: a script in a world of its own reports each scroll of the
   page through a message handler; the frame's "scrollto" calls the same
   script to go to a partner's place. The page's own scripts see neither. */

#include "hostscroll.h"

#include "../../scrollsync.h"

#include <math.h>
#include <string.h>

#define HANDLER "vexelScroll"
#define SCRIPT_KEY "vexel-scroll-script"
/* What a reported place may hold; anything longer is no anchor of ours. */
#define MAX_ANCHOR 2048

/* Reports every scroll but the one scrollTo made. */
static const char listener[] =
    "(function () {\n"
    "const link = window.__vexelLink;\n"
    "if (!link || link.watching) return;\n"
    "link.watching = true;\n"
    "addEventListener('scroll', () => {\n"
    "  const s = link.state();\n"
    "  if (s) try { window.webkit.messageHandlers." HANDLER ".postMessage(s); } catch (e) {}\n"
    "}, { passive: true });\n"
    "})();\n";

static double unit_number(JSCValue *value)
{
    const double d = jsc_value_is_number(value) ? jsc_value_to_double(value) : 0;
    return isfinite(d) ? fmin(1, fmax(0, d)) : 0;
}

static void on_scrolled(WebKitUserContentManager *manager, WebKitJavascriptResult *result, gpointer id)
{
    (void)manager;
    HostView *v = view_by_id(GPOINTER_TO_UINT(id));
    JSCValue *place = webkit_javascript_result_get_js_value(result);
    if (!v || !jsc_value_is_array(place))
        return;
    g_autoptr(JSCValue) anchor = jsc_value_object_get_property_at_index(place, 0);
    g_autoptr(JSCValue) within = jsc_value_object_get_property_at_index(place, 1);
    g_autoptr(JSCValue) fraction = jsc_value_object_get_property_at_index(place, 2);
    g_autofree char *text = jsc_value_is_string(anchor) ? jsc_value_to_string(anchor) : g_strdup("");
    if (strlen(text) > MAX_ANCHOR)
        text[0] = '\0';
    char w[G_ASCII_DTOSTR_BUF_SIZE], f[G_ASCII_DTOSTR_BUF_SIZE];
    g_ascii_dtostr(w, sizeof w, unit_number(within));
    g_ascii_dtostr(f, sizeof f, unit_number(fraction));
    host_send(v->id, VEXEL_VERB_SCROLLED, text, w, f, NULL);
}

void scroll_watch(HostView *v, const char *const *fields, guint count)
{
    const gboolean on = view_number_field(fields, count, 0) == 1;
    WebKitUserContentManager *manager = webkit_web_view_get_user_content_manager(v->web);
    WebKitUserScript *script = g_object_get_data(G_OBJECT(v->web), SCRIPT_KEY);
    if (on == (script != NULL))
        return;
    if (!on) {
        webkit_user_content_manager_remove_script(manager, script);
        webkit_user_content_manager_unregister_script_message_handler_in_world(manager, HANDLER, VEXEL_SCROLL_WORLD);
        g_signal_handlers_disconnect_by_func(manager, G_CALLBACK(on_scrolled), GUINT_TO_POINTER(v->id));
        g_object_set_data(G_OBJECT(v->web), SCRIPT_KEY, NULL);
        return;
    }
    g_autofree char *source = g_strconcat(VEXEL_SCROLL_SCRIPT, listener, NULL);
    script = webkit_user_script_new_for_world(source, WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
                                              WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_END, VEXEL_SCROLL_WORLD, NULL,
                                              NULL);
    g_object_set_data_full(G_OBJECT(v->web), SCRIPT_KEY, script, (GDestroyNotify)webkit_user_script_unref);
    g_signal_connect(manager, "script-message-received::" HANDLER, G_CALLBACK(on_scrolled), GUINT_TO_POINTER(v->id));
    webkit_user_content_manager_register_script_message_handler_in_world(manager, HANDLER, VEXEL_SCROLL_WORLD);
    webkit_user_content_manager_add_script(manager, script);
    /* The page shown now gets it too; later ones get it as they load. */
    webkit_web_view_evaluate_javascript(v->web, source, -1, VEXEL_SCROLL_WORLD, NULL, NULL, NULL, NULL);
}

void scroll_to(HostView *v, const char *const *fields, guint count)
{
    g_autofree char *anchor = view_text_field(fields, count, 0);
    const double within = count > 1 ? g_ascii_strtod(fields[1], NULL) : 0;
    const double fraction = count > 2 ? g_ascii_strtod(fields[2], NULL) : 0;
    GVariantDict args;
    g_variant_dict_init(&args, NULL);
    g_variant_dict_insert(&args, "anchor", "s", strlen(anchor) <= MAX_ANCHOR ? anchor : "");
    g_variant_dict_insert(&args, "within", "d", isfinite(within) ? fmin(1, fmax(0, within)) : 0.0);
    g_variant_dict_insert(&args, "fraction", "d", isfinite(fraction) ? fmin(1, fmax(0, fraction)) : 0.0);
    webkit_web_view_call_async_javascript_function(
        v->web, "return window.__vexelLink ? window.__vexelLink.scrollTo(anchor, within, fraction) : null;", -1,
        g_variant_dict_end(&args), VEXEL_SCROLL_WORLD, NULL, NULL, NULL, NULL);
}
