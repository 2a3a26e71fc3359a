// SPDX-License-Identifier: GPL-3.0-or-later
/* vexel-webkit: the process that runs the WebKitGTK views of Vexel's Gecko
   windows. It reads requests from the frame on stdin and writes events to
   stdout, one line each (see ../protocol.h, ../protocolcodec.h), and ends
   when stdin closes. */

#include "hostblocking.h"
#include "hostdata.h"
#include "hostdownload.h"
#include "hostrules.h"
#include "hoststart.h"
#include "hostview.h"

#include <errno.h>
#include <fcntl.h>
#include <locale.h>
#include <gdk/gdkx.h>
#include <glib-unix.h>
#include <gtk/gtk.h>
#include <signal.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

static int protocol_out = -1;
static VexelProtoReader reader;

static void write_all(const char *line, size_t length)
{
    size_t written = 0;
    while (written < length) {
        const ssize_t n = write(protocol_out, line + written, length - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            /* The frame is gone; so are its windows. */
            _exit(0);
        written += (size_t)n;
    }
}

gboolean host_send(guint id, const char *verb, ...)
{
    const char *fields[VEXEL_PROTO_MAX_FIELDS + 1];
    size_t count = 0;
    va_list args;
    va_start(args, verb);
    for (const char *text = va_arg(args, const char *); text; text = va_arg(args, const char *)) {
        if (count == G_N_ELEMENTS(fields))
            break;
        fields[count++] = text;
    }
    va_end(args);
    char *line = NULL;
    size_t length = 0;
    const int error = vexel_proto_encode_line(id, verb, fields, NULL, count, &line, &length);
    if (error != VEXEL_PROTO_OK) {
        g_printerr("vexel-webkit: \"%s\" for view %u not sent: %s\n", verb, id, vexel_proto_error_text(error));
        return FALSE;
    }
    write_all(line, length);
    free(line);
    return TRUE;
}

static void handle_line(const char *line, size_t length)
{
    VexelProtoMessage message;
    const int error = vexel_proto_decode_line(line, length, &message);
    if (error != VEXEL_PROTO_OK) {
        g_printerr("vexel-webkit: request dropped: %s\n", vexel_proto_error_text(error));
        return;
    }
    /* A download outlives its view: stopped by its own number. */
    if (message.view == 0 && strcmp(message.verb, VEXEL_VERB_CANCELDOWNLOAD) == 0)
        download_cancel(message.fields, (guint)message.count);
    else if (message.view == 0 && strcmp(message.verb, VEXEL_VERB_BLOCKING) == 0)
        blocking_request(message.fields, (guint)message.count);
    else if (message.view == 0 && strcmp(message.verb, VEXEL_VERB_RULES) == 0)
        rules_request(message.fields, (guint)message.count);
    else if (message.view == 0 && strcmp(message.verb, VEXEL_VERB_PREWARM) == 0)
        start_prewarm();
    else if (message.view == 0)
        (void)data_request(message.verb, message.fields, (guint)message.count);
    if (message.view > 0) {
        if (strcmp(message.verb, VEXEL_VERB_CREATE) == 0)
            view_create(message.view, view_number_field(message.fields, (guint)message.count, 0) == 1);
        else if (!view_request(message.view, message.verb, message.fields, (guint)message.count))
            g_printerr("vexel-webkit: unknown request \"%s\"\n", message.verb);
    }
    vexel_proto_message_clear(&message);
}

static gboolean on_input(gint fd, GIOCondition condition, gpointer data)
{
    (void)condition;
    (void)data;
    char chunk[65536];
    for (;;) {
        const ssize_t n = read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return G_SOURCE_CONTINUE;
        if (n <= 0 || vexel_proto_reader_feed(&reader, chunk, (size_t)n) != VEXEL_PROTO_OK) {
            /* End of input or a broken pipe: the frame has let go of us. */
            gtk_main_quit();
            return G_SOURCE_REMOVE;
        }
        const char *line = NULL;
        size_t length = 0;
        int got;
        while ((got = vexel_proto_reader_next(&reader, &line, &length)) != 0) {
            if (got == 1)
                handle_line(line, length);
            else
                g_printerr("vexel-webkit: request dropped: %s\n", vexel_proto_error_text(got));
        }
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
       engine's own messages (the words its failures come with, the print
       dialog), here and in the engine's processes. */
    g_setenv("LANGUAGE", "ja", TRUE);

    follow_input_method();
    start_read_arguments(argc, argv);

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

    vexel_proto_reader_init(&reader);
    g_unix_set_fd_nonblocking(in, TRUE, NULL);
    g_unix_fd_add(in, G_IO_IN | G_IO_HUP | G_IO_ERR, on_input, NULL);

    host_send(0, VEXEL_VERB_READY, VEXEL_PROTO_VERSION, NULL);
    gtk_main();
    return 0;
}
