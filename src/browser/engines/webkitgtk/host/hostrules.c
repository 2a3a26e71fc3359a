// SPDX-License-Identifier: GPL-3.0-or-later
#include "hostrules.h"

#include <string.h>

/* As the frame sent them: host, engine word, host, engine word ... */
static GStrv rules;

typedef struct {
    guint id;
    WebKitPolicyDecision *held; /* a navigation awaiting the frame's answer */
    GSimpleAction *gecko, *ie, *remove;
} ViewRules;

void rules_request(const char *const *fields, guint count)
{
    g_strfreev(rules);
    g_autofree char *text = view_text_field(fields, count, 0);
    g_autofree char *lower = g_ascii_strdown(g_strstrip(text), -1);
    rules = *lower ? g_strsplit(lower, " ", -1) : NULL;
}

/* The engine word of the rule for uri's host, NULL when none: an exact host
   beats a subdomain rule, the longest subdomain rule wins, as the frame
   matches them. */
static const char *rule_for(const char *uri)
{
    if (!uri || !rules || g_str_has_prefix(uri, "file:"))
        return NULL;
    g_autoptr(GUri) parsed = g_uri_parse(uri, G_URI_FLAGS_NONE, NULL);
    const char *raw = parsed ? g_uri_get_host(parsed) : NULL;
    g_autofree char *ascii = raw && *raw ? g_hostname_to_ascii(raw) : NULL;
    g_autofree char *host = ascii ? g_ascii_strdown(ascii, -1) : NULL;
    const char *engine = NULL;
    gsize best = 0;
    for (guint i = 0; host && rules[i] && rules[i + 1]; i += 2) {
        const char *name = rules[i];
        if (strcmp(name, host) == 0) {
            engine = rules[i + 1];
            break;
        }
        if (*name != VEXEL_SUBDOMAINS_MARK[0] || strlen(name) <= best)
            continue;
        const gsize hl = strlen(host), nl = strlen(name);
        if (strcmp(name + 1, host) == 0 || (hl > nl && strcmp(host + hl - nl, name) == 0)) {
            engine = rules[i + 1];
            best = nl;
        }
    }
    return engine;
}

static ViewRules *rules_of(HostView *v)
{
    return g_object_get_data(G_OBJECT(v->web), "vexel-rules");
}

static gboolean on_decide_policy(WebKitWebView *web, WebKitPolicyDecision *decision, WebKitPolicyDecisionType type,
                                 ViewRules *r)
{
    (void)web;
    if (type != WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION)
        return FALSE;
    WebKitNavigationAction *action =
        webkit_navigation_policy_decision_get_navigation_action(WEBKIT_NAVIGATION_POLICY_DECISION(decision));
    /* The frame's own loads come as "other"; only links and forms are the
       page's. A frame inside the page is named by the link's target. */
    const WebKitNavigationType kind = webkit_navigation_action_get_navigation_type(action);
    if ((kind != WEBKIT_NAVIGATION_TYPE_LINK_CLICKED && kind != WEBKIT_NAVIGATION_TYPE_FORM_SUBMITTED) ||
        webkit_navigation_action_get_frame_name(action))
        return FALSE;
    WebKitURIRequest *request = webkit_navigation_action_get_request(action);
    const char *uri = webkit_uri_request_get_uri(request);
    if (g_strcmp0(rule_for(uri), VEXEL_ENGINE_IE) != 0)
        return FALSE;
    /* One navigation waits at a time; a newer one supersedes it. */
    if (r->held) {
        webkit_policy_decision_use(r->held);
        g_object_unref(r->held);
    }
    r->held = g_object_ref(decision);
    host_send(r->id, VEXEL_VERB_RULENAVIGATION, uri, NULL);
    return TRUE;
}

void rules_answer(HostView *v, const char *const *fields, guint count)
{
    ViewRules *r = rules_of(v);
    if (!r || !r->held)
        return;
    if (count > 0 && strcmp(fields[0], VEXEL_YES) == 0)
        webkit_policy_decision_ignore(r->held);
    else
        webkit_policy_decision_use(r->held);
    g_clear_object(&r->held);
}

static void choose(GSimpleAction *action, GVariant *parameter, gpointer data)
{
    (void)parameter;
    HostView *v = view_by_id(GPOINTER_TO_UINT(data));
    ViewRules *r = v ? rules_of(v) : NULL;
    if (!r)
        return;
    /* Choosing the rule already chosen takes it away. */
    const char *word = action == r->remove ? "" : action == r->ie ? VEXEL_ENGINE_IE : VEXEL_ENGINE_GECKO;
    g_autoptr(GVariant) state = g_action_get_state(G_ACTION(action));
    if (state && g_variant_get_boolean(state))
        word = "";
    host_send(r->id, VEXEL_VERB_SITEENGINE, word, NULL);
}

static void view_rules_free(gpointer data)
{
    ViewRules *r = data;
    if (r->held) {
        webkit_policy_decision_use(r->held);
        g_object_unref(r->held);
    }
    /* A menu still open keeps its actions; they no longer reach a view. */
    GSimpleAction *actions[] = {r->gecko, r->ie, r->remove};
    for (guint i = 0; i < G_N_ELEMENTS(actions); ++i) {
        g_simple_action_set_enabled(actions[i], FALSE);
        g_object_unref(actions[i]);
    }
    g_free(r);
}

void rules_attach(HostView *v)
{
    ViewRules *r = g_new0(ViewRules, 1);
    r->id = v->id;
    r->gecko = g_simple_action_new_stateful("rule-gecko", NULL, g_variant_new_boolean(FALSE));
    r->ie = g_simple_action_new_stateful("rule-ie", NULL, g_variant_new_boolean(FALSE));
    r->remove = g_simple_action_new("rule-remove", NULL);
    GSimpleAction *actions[] = {r->gecko, r->ie, r->remove};
    for (guint i = 0; i < G_N_ELEMENTS(actions); ++i)
        g_signal_connect(actions[i], "activate", G_CALLBACK(choose), GUINT_TO_POINTER(v->id));
    g_object_set_data_full(G_OBJECT(v->web), "vexel-rules", r, view_rules_free);
    g_signal_connect(v->web, "decide-policy", G_CALLBACK(on_decide_policy), r);
}

void rules_menu(WebKitContextMenu *menu, HostView *v)
{
    ViewRules *r = rules_of(v);
    if (!r)
        return;
    const char *uri = webkit_web_view_get_uri(v->web);
    g_autoptr(GUri) parsed = uri ? g_uri_parse(uri, G_URI_FLAGS_NONE, NULL) : NULL;
    const gboolean named = parsed && g_uri_get_host(parsed) && *g_uri_get_host(parsed) &&
                           g_strcmp0(g_uri_get_scheme(parsed), "file") != 0;
    const char *engine = named ? rule_for(uri) : NULL;
    g_simple_action_set_enabled(r->gecko, named);
    g_simple_action_set_enabled(r->ie, named);
    g_simple_action_set_enabled(r->remove, engine != NULL);
    g_simple_action_set_state(r->gecko, g_variant_new_boolean(g_strcmp0(engine, VEXEL_ENGINE_GECKO) == 0));
    g_simple_action_set_state(r->ie, g_variant_new_boolean(g_strcmp0(engine, VEXEL_ENGINE_IE) == 0));
    webkit_context_menu_append(menu, webkit_context_menu_item_new_from_gaction(G_ACTION(r->gecko),
                                                                               "このサイトを常に Gecko で開く", NULL));
    webkit_context_menu_append(menu, webkit_context_menu_item_new_from_gaction(
                                         G_ACTION(r->ie), "このサイトを常に Internet Explorer で開く", NULL));
    webkit_context_menu_append(menu,
                               webkit_context_menu_item_new_from_gaction(G_ACTION(r->remove), "ルールを削除", NULL));
}
