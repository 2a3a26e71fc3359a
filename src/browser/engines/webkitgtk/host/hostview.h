#pragma once
/* The views of the host: each a WebKitWebView in an unembedded GtkPlug
   whose X window the frame embeds. */

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

typedef struct {
    guint id;
    GtkWidget *plug;
    WebKitWebView *web;
    char *status;  /* the status text last sent */
    int progress;  /* the progress last sent, -1 when none this load */
    GSimpleActionGroup *menu_actions; /* what the page's context menu offers */
} HostView;

/* Writes one message to the frame: the view's number, the verb and the
   fields, which must already be free of spaces and newlines. */
void host_send(guint id, const char *verb, const char *fields);
/* The same with one text field, percent-encoded here. */
void host_send_text(guint id, const char *verb, const char *text);
/* The same with several fields (NULL-terminated), each encoded: numbers
   and plain words come through unchanged. */
void host_send_texts(guint id, const char *verb, ...) G_GNUC_NULL_TERMINATED;

/* The web context every view shares, with its data in the user's data and
   cache folders under Vexel/webkit. */
void views_init(void);

/* Makes view id and answers "plug <xid>" (or "error <text>"). */
void view_create(guint id);
/* Runs a request for an existing view; returns FALSE for an unknown verb. */
gboolean view_request(guint id, const char *verb, char **fields, guint count);
/* The view showing web, NULL when it has been released. */
HostView *view_of(WebKitWebView *web);

/* Field index of a request: decoded text (empty when missing), or a
   number (0 when missing or not one). */
char *view_text_field(char **fields, guint count, guint index);
guint view_number_field(char **fields, guint count, guint index);
