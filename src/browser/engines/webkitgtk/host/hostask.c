// SPDX-License-Identifier: GPL-3.0-or-later
#include "hostask.h"

#include <string.h>

typedef struct {
    guint view;
    QuestionKind kind;
    gpointer object;
} Question;

static GHashTable *questions; /* number -> Question */
static guint last_number;

guint question_add(guint view, QuestionKind kind, gpointer object)
{
    if (!questions)
        questions = g_hash_table_new_full(g_direct_hash, g_direct_equal, NULL, g_free);
    Question *q = g_new(Question, 1);
    q->view = view;
    q->kind = kind;
    q->object = object;
    do
        ++last_number;
    while (last_number == 0 || g_hash_table_contains(questions, GUINT_TO_POINTER(last_number)));
    g_hash_table_insert(questions, GUINT_TO_POINTER(last_number), q);
    return last_number;
}

gpointer question_take(guint number, guint view, QuestionKind kind)
{
    Question *q = questions ? g_hash_table_lookup(questions, GUINT_TO_POINTER(number)) : NULL;
    if (!q || q->view != view || q->kind != kind)
        return NULL;
    gpointer object = q->object;
    g_hash_table_remove(questions, GUINT_TO_POINTER(number));
    return object;
}

static void give_up(Question *q)
{
    switch (q->kind) {
    case QUESTION_DIALOG:
        /* Closed unanswered: not confirmed, no text. */
        webkit_script_dialog_close(q->object);
        webkit_script_dialog_unref(q->object);
        break;
    case QUESTION_AUTH:
        webkit_authentication_request_cancel(q->object);
        g_object_unref(q->object);
        break;
    case QUESTION_DOWNLOAD:
        /* Nothing is saved without asking. */
        webkit_download_cancel(q->object);
        g_object_unref(q->object);
        break;
    case QUESTION_PERMISSION:
        /* Nothing is allowed without the user's word. */
        webkit_permission_request_deny(q->object);
        g_object_unref(q->object);
        break;
    }
}

void questions_drop_view(guint view)
{
    if (!questions)
        return;
    /* Out of the table first: giving up runs WebKit's handlers, which may
       ask again. */
    g_autoptr(GPtrArray) dropped = g_ptr_array_new_with_free_func(g_free);
    GHashTableIter it;
    gpointer key, value;
    g_hash_table_iter_init(&it, questions);
    while (g_hash_table_iter_next(&it, &key, &value)) {
        if (((Question *)value)->view == view) {
            g_hash_table_iter_steal(&it);
            g_ptr_array_add(dropped, value);
        }
    }
    for (guint i = 0; i < dropped->len; ++i)
        give_up(g_ptr_array_index(dropped, i));
}

void give_up_number(guint view, QuestionKind kind, const char *number)
{
    char *end = NULL;
    const guint64 n = g_ascii_strtoull(number, &end, 10);
    Question q = {view, kind, question_take((guint)n, view, kind)};
    if (q.object)
        give_up(&q);
}

static gboolean yes_field(const char *const *fields, guint count, guint index)
{
    return index < count && strcmp(fields[index], VEXEL_YES) == 0;
}

/* --- The page's own dialogs ---------------------------------------------- */

gboolean ask_script_dialog(WebKitWebView *web, WebKitScriptDialog *dialog, HostView *v)
{
    (void)web;
    const char *type;
    const char *proposed = "";
    switch (webkit_script_dialog_get_dialog_type(dialog)) {
    case WEBKIT_SCRIPT_DIALOG_ALERT:
        type = VEXEL_DIALOG_ALERT;
        break;
    case WEBKIT_SCRIPT_DIALOG_CONFIRM:
        type = VEXEL_DIALOG_CONFIRM;
        break;
    case WEBKIT_SCRIPT_DIALOG_PROMPT:
        type = VEXEL_DIALOG_PROMPT;
        proposed = webkit_script_dialog_prompt_get_default_text(dialog);
        break;
    case WEBKIT_SCRIPT_DIALOG_BEFORE_UNLOAD_CONFIRM:
        type = VEXEL_DIALOG_LEAVE;
        break;
    default:
        return FALSE;
    }
    /* Answered later: the page waits, the other views go on. */
    char number[16];
    g_snprintf(number, sizeof number, "%u", question_add(v->id, QUESTION_DIALOG, webkit_script_dialog_ref(dialog)));
    if (!host_send(v->id, VEXEL_VERB_DIALOG, number, type, host_text(webkit_script_dialog_get_message(dialog)),
                   host_text(proposed), NULL))
        /* Too long to ask: the page gets "no" at once rather than never. */
        give_up_number(v->id, QUESTION_DIALOG, number);
    return TRUE;
}

void answer_dialog(HostView *v, const char *const *fields, guint count)
{
    WebKitScriptDialog *dialog = question_take(view_number_field(fields, count, 0), v->id, QUESTION_DIALOG);
    if (!dialog)
        return;
    const gboolean ok = yes_field(fields, count, 1);
    switch (webkit_script_dialog_get_dialog_type(dialog)) {
    case WEBKIT_SCRIPT_DIALOG_CONFIRM:
    case WEBKIT_SCRIPT_DIALOG_BEFORE_UNLOAD_CONFIRM:
        webkit_script_dialog_confirm_set_confirmed(dialog, ok);
        break;
    case WEBKIT_SCRIPT_DIALOG_PROMPT:
        /* A prompt left without a text answers null, as cancelled. */
        if (ok) {
            g_autofree char *text = view_text_field(fields, count, 2);
            webkit_script_dialog_prompt_set_text(dialog, text);
        }
        break;
    default:
        break;
    }
    webkit_script_dialog_close(dialog);
    webkit_script_dialog_unref(dialog);
}

/* --- Credentials ---------------------------------------------------------- */

gboolean ask_credentials(WebKitWebView *web, WebKitAuthenticationRequest *request, HostView *v)
{
    (void)web;
    switch (webkit_authentication_request_get_scheme(request)) {
    case WEBKIT_AUTHENTICATION_SCHEME_CLIENT_CERTIFICATE_REQUESTED:
    case WEBKIT_AUTHENTICATION_SCHEME_CLIENT_CERTIFICATE_PIN_REQUESTED:
    case WEBKIT_AUTHENTICATION_SCHEME_SERVER_TRUST_EVALUATION_REQUESTED:
        /* No certificates of the user's to offer: on without one, and the
           server answers as it does to anyone. */
        webkit_authentication_request_authenticate(request, NULL);
        return TRUE;
    default:
        break;
    }
    char number[16];
    g_snprintf(number, sizeof number, "%u", question_add(v->id, QUESTION_AUTH, g_object_ref(request)));
    const char *realm = webkit_authentication_request_get_realm(request);
    if (!host_send(v->id, VEXEL_VERB_AUTH, number, webkit_authentication_request_is_for_proxy(request) ? VEXEL_AUTH_PROXY : VEXEL_AUTH_SITE,
                   host_text(webkit_authentication_request_get_host(request)), host_text(realm), NULL))
        give_up_number(v->id, QUESTION_AUTH, number);
    return TRUE;
}

void answer_credentials(HostView *v, const char *const *fields, guint count)
{
    WebKitAuthenticationRequest *request = question_take(view_number_field(fields, count, 0), v->id, QUESTION_AUTH);
    if (!request)
        return;
    if (yes_field(fields, count, 1)) {
        g_autofree char *user = view_text_field(fields, count, 2);
        g_autofree char *password = view_text_field(fields, count, 3);
        g_autoptr(WebKitCredential) credential =
            webkit_credential_new(user, password, WEBKIT_CREDENTIAL_PERSISTENCE_FOR_SESSION);
        webkit_authentication_request_authenticate(request, credential);
    } else {
        /* Cancelled: on without credentials, so the page shows the server's
           own answer (its 401 page) rather than nothing. */
        webkit_authentication_request_authenticate(request, NULL);
    }
    g_object_unref(request);
}
