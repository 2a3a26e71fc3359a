// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
/* What a page asks the user, through the frame: its own dialogs (alert,
   confirm, prompt, "leave this page?"), credentials for a site or proxy, and
   where a download goes. Each question waits, numbered, for the frame's
   answer; the page (or the download) waits meanwhile, the host does not. */

#include "hostview.h"

typedef enum { QUESTION_DIALOG, QUESTION_AUTH, QUESTION_DOWNLOAD, QUESTION_PERMISSION } QuestionKind;

/* Files object (whose reference the table takes over) as a question of
   view; returns its number. */
guint question_add(guint view, QuestionKind kind, gpointer object);
/* The object of an unanswered question of view, handed back with its
   reference; NULL when there is no such question (already answered, or
   given up). */
gpointer question_take(guint number, guint view, QuestionKind kind);
/* A question that could not be asked (number as sent) gets "no" now. */
void give_up_number(guint view, QuestionKind kind, const char *number);
/* A view goes: its unanswered questions get the answer "no". */
void questions_drop_view(guint view);

/* The view's signal handlers. */
gboolean ask_script_dialog(WebKitWebView *web, WebKitScriptDialog *dialog, HostView *v);
gboolean ask_credentials(WebKitWebView *web, WebKitAuthenticationRequest *request, HostView *v);

/* The frame's answers: "answer <q> <0|1> <text>" and
   "credentials <q> <0|1> <user> <password>". */
void answer_dialog(HostView *v, const char *const *fields, guint count);
void answer_credentials(HostView *v, const char *const *fields, guint count);
