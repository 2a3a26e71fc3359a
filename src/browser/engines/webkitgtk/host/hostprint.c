// SPDX-License-Identifier: GPL-3.0-or-later
#include "hostprint.h"

typedef struct {
    guint id;
    char *path;
    gboolean failed;
} PrintJob;

static void on_print_failed(WebKitPrintOperation *operation, GError *error, PrintJob *job)
{
    (void)operation;
    g_warning("printing to %s failed: %s", job->path, error ? error->message : "");
    job->failed = TRUE;
}

/* Comes after a failure too; the view may have gone meanwhile, and then
   so has the frame's interest. */
static void on_print_finished(WebKitPrintOperation *operation, PrintJob *job)
{
    /* A file the print could not fill is no page. */
    const gboolean ok = !job->failed && g_file_test(job->path, G_FILE_TEST_IS_REGULAR);
    host_send(job->id, VEXEL_VERB_PRINTED, job->path, ok ? VEXEL_YES : VEXEL_NO, NULL);
    g_free(job->path);
    g_free(job);
    g_object_unref(operation);
}

void print_to_pdf(HostView *v, const char *const *fields, guint count)
{
    g_autofree char *path = view_text_field(fields, count, 0);
    g_autofree char *uri = g_path_is_absolute(path) ? g_filename_to_uri(path, NULL, NULL) : NULL;
    if (!uri) {
        host_send(v->id, VEXEL_VERB_PRINTED, path, VEXEL_NO, NULL);
        return;
    }
    /* GTK's own file printer, set as its print dialog would set it; the
       printer goes by its name in the user's language. */
    g_autoptr(GtkPrintSettings) settings = gtk_print_settings_new();
    gtk_print_settings_set_printer(settings, g_dgettext("gtk30", "Print to File"));
    gtk_print_settings_set(settings, GTK_PRINT_SETTINGS_OUTPUT_FILE_FORMAT, "pdf");
    gtk_print_settings_set(settings, GTK_PRINT_SETTINGS_OUTPUT_URI, uri);
    /* A4 with a printer's margins, as the other engine prints. */
    g_autoptr(GtkPageSetup) setup = gtk_page_setup_new();
    g_autoptr(GtkPaperSize) a4 = gtk_paper_size_new(GTK_PAPER_NAME_A4);
    gtk_page_setup_set_paper_size(setup, a4);
    gtk_page_setup_set_top_margin(setup, 10, GTK_UNIT_MM);
    gtk_page_setup_set_bottom_margin(setup, 10, GTK_UNIT_MM);
    gtk_page_setup_set_left_margin(setup, 10, GTK_UNIT_MM);
    gtk_page_setup_set_right_margin(setup, 10, GTK_UNIT_MM);

    PrintJob *job = g_new0(PrintJob, 1);
    job->id = v->id;
    job->path = g_steal_pointer(&path);
    WebKitPrintOperation *operation = webkit_print_operation_new(v->web);
    webkit_print_operation_set_print_settings(operation, settings);
    webkit_print_operation_set_page_setup(operation, setup);
    g_signal_connect(operation, "failed", G_CALLBACK(on_print_failed), job);
    g_signal_connect(operation, "finished", G_CALLBACK(on_print_finished), job);
    /* A page that does not answer is not laid out: the frame's watch says
       so meanwhile, and stopping the page ends the print as failed. */
    webkit_print_operation_print(operation);
}

gboolean print_requested(WebKitWebView *web, WebKitPrintOperation *operation, HostView *v)
{
    (void)web;
    (void)operation;
    host_send(v->id, VEXEL_VERB_PRINT, NULL);
    return TRUE;
}
