/* vexel-webkit: the process that runs the WebKitGTK views of Vexel's Gecko
   windows. It reads requests from the frame on stdin and writes events to
   stdout, one line each (see ../protocol.h), and ends when stdin closes. */

#include "hostview.h"

#include <errno.h>
#include <fcntl.h>
#include <locale.h>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>
#include <signal.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

static int protocol_out = -1;

void host_send(guint id, const char *verb, const char *fields)
{
    char *line = fields ? g_strdup_printf("%u %s %s\n", id, verb, fields) : g_strdup_printf("%u %s\n", id, verb);
    const size_t length = strlen(line);
    size_t written = 0;
    while (written < length) {
        const ssize_t n = write(protocol_out, line + written, length - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            /* The frame is gone; so are its windows. */
            g_free(line);
            _exit(0);
        }
        written += (size_t)n;
    }
    g_free(line);
}

void host_send_text(guint id, const char *verb, const char *text)
{
    char *escaped = g_uri_escape_string(text ? text : "", NULL, FALSE);
    host_send(id, verb, escaped);
    g_free(escaped);
}

void host_send_texts(guint id, const char *verb, ...)
{
    GString *fields = g_string_new(NULL);
    va_list args;
    va_start(args, verb);
    for (const char *text = va_arg(args, const char *); text; text = va_arg(args, const char *)) {
        if (fields->len)
            g_string_append_c(fields, ' ');
        g_string_append_uri_escaped(fields, text, NULL, FALSE);
    }
    va_end(args);
    host_send(id, verb, fields->str);
    g_string_free(fields, TRUE);
}

static void handle_line(char *line)
{
    g_strchomp(line);
    char **fields = g_strsplit(line, " ", -1);
    const guint count = g_strv_length(fields);
    if (count >= 2) {
        char *end = NULL;
        const guint64 id = g_ascii_strtoull(fields[0], &end, 10);
        if (end && *end == '\0' && id > 0 && id <= G_MAXUINT) {
            if (strcmp(fields[1], "create") == 0)
                view_create((guint)id);
            else if (!view_request((guint)id, fields[1], fields + 2, count - 2))
                g_printerr("vexel-webkit: unknown request \"%s\"\n", fields[1]);
        }
    }
    g_strfreev(fields);
}

static gboolean on_input(GIOChannel *channel, GIOCondition condition, gpointer data)
{
    (void)condition;
    (void)data;
    for (;;) {
        char *line = NULL;
        gsize length = 0;
        GError *error = NULL;
        const GIOStatus status = g_io_channel_read_line(channel, &line, &length, NULL, &error);
        if (status == G_IO_STATUS_NORMAL) {
            handle_line(line);
            g_free(line);
            continue;
        }
        g_clear_error(&error);
        g_free(line);
        if (status == G_IO_STATUS_AGAIN)
            return G_SOURCE_CONTINUE;
        /* End of input or a broken pipe: the frame has let go of us. */
        gtk_main_quit();
        return G_SOURCE_REMOVE;
    }
}

/* Moves the protocol off descriptors 0 and 1: WebKit's own processes inherit
   those, and must neither hold the frame's pipes open nor write into them. */
static gboolean take_protocol_descriptors(int *in)
{
    *in = fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 3);
    protocol_out = fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
    const int null_in = open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (*in < 0 || protocol_out < 0 || null_in < 0)
        return FALSE;
    if (dup2(null_in, STDIN_FILENO) < 0 || dup2(STDERR_FILENO, STDOUT_FILENO) < 0)
        return FALSE;
    close(null_in);
    return TRUE;
}

/* The input method the frame's desktop chose, for GTK too. A desktop may
   name it to Qt (QT_IM_MODULE) or to X (XMODIFIERS) alone; GTK would then
   guess one by the locale, not necessarily the one running. */
static void follow_input_method(void)
{
    const char *gtk = g_getenv("GTK_IM_MODULE");
    if (gtk && *gtk)
        return;
    const char *qt = g_getenv("QT_IM_MODULE");
    const char *x = g_getenv("XMODIFIERS");
    const char *module = NULL;
    if (qt && (strcmp(qt, "ibus") == 0 || strcmp(qt, "fcitx") == 0 || strcmp(qt, "fcitx5") == 0))
        module = qt;
    else if (x && strcmp(x, "@im=ibus") == 0)
        module = "ibus";
    else if (x && (strcmp(x, "@im=fcitx") == 0 || strcmp(x, "@im=fcitx5") == 0))
        module = "fcitx";
    if (module)
        g_setenv("GTK_IM_MODULE", module, TRUE);
}

int main(int argc, char *argv[])
{
    int in = -1;
    if (!take_protocol_descriptors(&in)) {
        perror("vexel-webkit");
        return 1;
    }
    signal(SIGPIPE, SIG_IGN);
    /* The frame speaks Japanese whatever the desktop's language; so do the
       engine's own pages and messages (error pages), here and in the
       engine's processes. */
    g_setenv("LANGUAGE", "ja", TRUE);

    follow_input_method();

    /* The views are embedded as X windows, also in a Wayland session. */
    gdk_set_allowed_backends("x11");
    if (!gtk_init_check(&argc, &argv)) {
        g_printerr("vexel-webkit: cannot open the X display\n");
        return 1;
    }
    /* gettext ignores LANGUAGE in the plain C locale (GTK has just set the
       environment's); C.UTF-8 does not. */
    const char *messages = setlocale(LC_MESSAGES, NULL);
    if ((!messages || strcmp(messages, "C") == 0 || strcmp(messages, "POSIX") == 0) &&
        setlocale(LC_MESSAGES, "C.UTF-8"))
        g_setenv("LC_MESSAGES", "C.UTF-8", TRUE);
    views_init();

    GIOChannel *channel = g_io_channel_unix_new(in);
    g_io_channel_set_encoding(channel, NULL, NULL);
    g_io_channel_set_flags(channel, G_IO_FLAG_NONBLOCK, NULL);
    g_io_add_watch(channel, G_IO_IN | G_IO_HUP | G_IO_ERR, on_input, NULL);

    host_send(0, "ready", NULL);
    gtk_main();
    return 0;
}
