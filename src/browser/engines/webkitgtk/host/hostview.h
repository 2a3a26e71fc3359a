#pragma once
/* The views of the host: each a WebKitWebView in an unembedded GtkPlug
   whose X window the frame embeds. */

#include <glib.h>

/* Writes one message to the frame: the view's number, the verb and the
   fields, which must already be free of spaces and newlines. */
void host_send(guint id, const char *verb, const char *fields);
/* The same with one text field, percent-encoded here. */
void host_send_text(guint id, const char *verb, const char *text);

/* The web context every view shares, with its data in the user's data and
   cache folders under Vexel/webkit. */
void views_init(void);

/* Makes view id and answers "plug <xid>" (or "error <text>"). */
void view_create(guint id);
/* Runs a request for an existing view; returns FALSE for an unknown verb. */
gboolean view_request(guint id, const char *verb, char **fields, guint count);
