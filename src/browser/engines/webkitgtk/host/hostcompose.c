// SPDX-License-Identifier: GPL-3.0-or-later
/* An input method's composition that WebKit ended itself, held until the
   input method's commit of the same text comes. */

#include "hostcompose.h"

/* WebKit ends a composition itself when the page is clicked or loses the
   focus: it keeps the text being composed, then resets the input method.
   One that commits that text on reset or on focus-out would put it in a
   second time (IBus with Mozc does it at once, Fcitx 5 with Mozc a moment
   later). So from there until the input method's commit comes, the page's
   own commit handlers are blocked and on_committed decides: that same text
   is dropped, anything else is handed on. A new composition ends the wait,
   for an input method that drops its text instead. */
static void stop_holding(HostView *v)
{
    if (!v->held)
        return;
    WebKitInputMethodContext *im = webkit_web_view_get_input_method_context(v->web);
    for (guint i = 0; i < v->held->len; ++i)
        g_signal_handler_unblock(im, g_array_index(v->held, gulong, i));
    g_array_free(v->held, TRUE);
    v->held = NULL;
    g_clear_pointer(&v->kept, g_free);
}

/* The text being composed; NULL when there is none. */
static char *preedit_of(WebKitInputMethodContext *im)
{
    char *text = NULL;
    if (im)
        webkit_input_method_context_get_preedit(im, &text, NULL, NULL);
    if (text && !*text)
        g_clear_pointer(&text, g_free);
    return text;
}

void hold_composition(HostView *v)
{
    WebKitInputMethodContext *im = webkit_web_view_get_input_method_context(v->web);
    char *preedit = preedit_of(im);
    if (!preedit)
        return;
    stop_holding(v);
    v->kept = preedit;
    v->held = g_array_new(FALSE, FALSE, sizeof(gulong));
    /* All handlers but ours: ours is set aside while the others are found. */
    const guint committed = g_signal_lookup("committed", WEBKIT_TYPE_INPUT_METHOD_CONTEXT);
    g_signal_handler_block(im, v->commit_watch);
    gulong handler;
    while ((handler = g_signal_handler_find(im, G_SIGNAL_MATCH_ID | G_SIGNAL_MATCH_UNBLOCKED, committed, 0, NULL,
                                            NULL, NULL))) {
        g_signal_handler_block(im, handler);
        g_array_append_val(v->held, handler);
    }
    g_signal_handler_unblock(im, v->commit_watch);
}

static void on_committed(WebKitInputMethodContext *im, const char *text, HostView *v)
{
    if (!v->held || v->handing_on)
        return;
    const gboolean again = g_strcmp0(text, v->kept) == 0;
    stop_holding(v);
    if (again)
        return;
    v->handing_on = TRUE;
    g_signal_emit_by_name(im, "committed", text);
    v->handing_on = FALSE;
}

static void on_preedit_changed(WebKitInputMethodContext *im, HostView *v)
{
    if (!v->held)
        return;
    g_autofree char *preedit = preedit_of(im);
    if (preedit)
        stop_holding(v);
}

/* Before WebKit's own handler, which ends the composition. */
static gboolean on_view_focus_out(GtkWidget *web, GdkEventFocus *event, HostView *v)
{
    (void)web;
    (void)event;
    hold_composition(v);
    return FALSE;
}

void compose_attach(HostView *v)
{
    g_signal_connect(v->web, "focus-out-event", G_CALLBACK(on_view_focus_out), v);
    WebKitInputMethodContext *im = webkit_web_view_get_input_method_context(v->web);
    if (im) {
        v->commit_watch = g_signal_connect(im, "committed", G_CALLBACK(on_committed), v);
        g_signal_connect(im, "preedit-changed", G_CALLBACK(on_preedit_changed), v);
    }
}

void compose_detach(HostView *v)
{
    stop_holding(v);
    WebKitInputMethodContext *im = webkit_web_view_get_input_method_context(v->web);
    if (im)
        g_signal_handlers_disconnect_by_data(im, v);
}
