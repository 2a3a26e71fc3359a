// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
/* The views of the host: each a WebKitWebView in an unembedded GtkPlug
   whose X window the frame embeds. */

#include "../protocol.h"
#include "../protocolcodec.h"

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

typedef struct {
    guint id;
    GtkWidget *plug;
    WebKitWebView *web;
    char *status;  /* the status text last sent */
    int progress;  /* the progress last sent, -1 when none this load */
    GSimpleActionGroup *menu_actions; /* what the page's context menu offers */
    gint64 probe_sent;   /* when the unanswered script probe went (µs), 0 when none */
    gboolean hung;       /* the frame was told the page does not answer */
    gboolean page_gone;  /* its web process ended, no load since */
    gboolean load_failed; /* this load failed: its end is no visit */
    gboolean error_page;  /* the next load shows a failed load's message */
    char *tls_pem;        /* the certificate a load was refused for, until its failure is sent */
    char *tls_problems;   /* and why, as words of the "failed" message */
    /* A composition WebKit ended itself, while the input method's commit
       of the same text is awaited (see hostcompose.h): */
    char *kept;           /* that text, NULL when none is awaited */
    GArray *held;         /* the page's commit handlers blocked meanwhile */
    gulong commit_watch;  /* our own handler of commits */
    gboolean handing_on;  /* a commit is being handed on to the page */
    /* Find: the match selected (from 1) of find_count, and the search
       under way: for a new text or not, forward (1) or backward (-1). */
    guint find_active, find_count;
    gboolean find_new;
    int find_step;
    gboolean composing; /* the frame was told the page has a composition */
    char *charset_page; /* the page an encoding was chosen for, NULL when none */
    gboolean private_window; /* its data lives in the private context, in memory only */
} HostView;

/* Writes one message to the frame: the view's number, the verb and its
   fields, a NULL-terminated list of texts (pass host_text() for one that
   may be NULL), each escaped by the codec. FALSE when the message could
   not be written (too long for a line); it is logged. */
gboolean host_send(guint id, const char *verb, ...) G_GNUC_NULL_TERMINATED;
static inline const char *host_text(const char *text)
{
    return text ? text : "";
}

void views_init(void);

/* Makes view id and answers "plug <xid>" (or "error <text>"). */
void view_create(guint id, gboolean private_window);
/* Runs a request for an existing view; returns FALSE for an unknown verb. */
gboolean view_request(guint id, const char *verb, const char *const *fields, guint count);
/* The view showing web, NULL when it has been released. */
HostView *view_of(WebKitWebView *web);
/* View id, NULL when there is none (or no longer). */
HostView *view_by_id(guint id);
/* Calls each for every view; it must not make or release one. */
void views_foreach(void (*each)(HostView *v));
/* Ends a view: its page, its plug, what it still waited for. */
void view_release(HostView *v);

/* Connects what the frame keeps of a view: find results, its history to
   save, compositions. */
void requests_attach(HostView *v);

/* Field index of a request: its text (a copy, empty when missing), or a
   number (0 when missing or not one). */
char *view_text_field(const char *const *fields, guint count, guint index);
guint view_number_field(const char *const *fields, guint count, guint index);
