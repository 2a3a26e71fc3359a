// SPDX-License-Identifier: GPL-3.0-or-later
/* Keyboard focus over X: XEmbed's focus messages, a click in the page
   told to the frame, keys sent back to the frame, Tab leaving the page. */

#include "hostfocus.h"

#include "hostcompose.h"

#include <X11/Xlib.h>
#include <gdk/gdkx.h>
#include <gtk/gtkx.h>
#include <string.h>

/* GDK turns the pointer entering and leaving the plug into focus changes of
   the plug (the frame's window has the X focus, and the plug lies inside
   it), which would blur the page whenever the pointer leaves it. Only the
   frame's XEmbed messages decide; their effect arrives as the synthesized
   events below, which pass. */
static gboolean block_pointer_focus(GtkWidget *widget, GdkEventFocus *event, gpointer data)
{
    (void)widget;
    (void)data;
    return !event->send_event;
}

/* Tells the plug (and the web view, which listens to it) that it has or
   has lost the keyboard focus. */
static void send_focus_change(HostView *v, gboolean in)
{
    if (in && !gtk_window_get_focus(GTK_WINDOW(v->plug)))
        gtk_widget_grab_focus(GTK_WIDGET(v->web));
    g_autoptr(GdkEvent) event = gdk_event_new(GDK_FOCUS_CHANGE);
    event->focus_change.window = g_object_ref(gtk_widget_get_window(v->plug));
    event->focus_change.send_event = TRUE;
    event->focus_change.in = in;
    gtk_widget_event(v->plug, event);
}

/* The frame's XEmbed focus messages set has-toplevel-focus. */
static void on_toplevel_focus(GtkWidget *plug, GParamSpec *property, HostView *v)
{
    (void)property;
    send_focus_change(v, gtk_window_has_toplevel_focus(GTK_WINDOW(plug)));
}

/* A click in the page: the frame, which did not see it, gives the page the
   focus. Told through the X server, as a message on the window the plug sits
   in: the keys typed right after the click reach the frame the same way (see
   on_key), after it, and find the focus already moved. */
static gboolean on_button_press(GtkWidget *widget, GdkEventButton *event, HostView *v)
{
    (void)widget;
    hold_composition(v);
    GdkWindow *socket = gtk_plug_get_socket_window(GTK_PLUG(v->plug));
    if (!socket) {
        host_send(v->id, VEXEL_VERB_PRESS, NULL);
        return FALSE;
    }
    Display *display = GDK_WINDOW_XDISPLAY(socket);
    XEvent xevent;
    memset(&xevent, 0, sizeof xevent);
    xevent.xclient.type = ClientMessage;
    xevent.xclient.display = display;
    xevent.xclient.window = GDK_WINDOW_XID(socket);
    xevent.xclient.message_type = XInternAtom(display, "_VEXEL_PLUG_PRESS", False);
    xevent.xclient.format = 32;
    xevent.xclient.data.l[0] = (long)event->time;
    XSendEvent(display, xevent.xclient.window, False, NoEventMask, &xevent);
    XFlush(display);
    return FALSE;
}

/* A key the X server gave the plug directly (the pointer rests over it)
   goes back to the frame: it decides between its shortcuts, the widget
   that has the focus and the page, and sends the page its keys itself
   (those arrive with send_event set). */
static gboolean on_key(GtkWidget *plug, GdkEventKey *event, HostView *v)
{
    (void)v;
    if (event->send_event)
        return FALSE;
    GdkWindow *socket = gtk_plug_get_socket_window(GTK_PLUG(plug));
    if (!socket)
        return TRUE;
    Display *display = GDK_WINDOW_XDISPLAY(socket);
    XEvent xevent;
    memset(&xevent, 0, sizeof xevent);
    xevent.xkey.type = event->type == GDK_KEY_PRESS ? KeyPress : KeyRelease;
    xevent.xkey.display = display;
    xevent.xkey.window = GDK_WINDOW_XID(socket);
    xevent.xkey.root = GDK_WINDOW_XID(gdk_screen_get_root_window(gdk_window_get_screen(socket)));
    xevent.xkey.subwindow = None;
    xevent.xkey.time = event->time;
    xevent.xkey.state = event->state;
    xevent.xkey.keycode = event->hardware_keycode;
    xevent.xkey.same_screen = True;
    XSendEvent(display, xevent.xkey.window, False, NoEventMask, &xevent);
    XFlush(display);
    return TRUE;
}

/* Tab past the page's last element (or Shift+Tab past its first): the
   focus goes on in the frame. */
static gboolean on_focus_leaves(GtkWidget *plug, GtkDirectionType direction, HostView *v)
{
    (void)plug;
    host_send(v->id, VEXEL_VERB_LEAVE,
              direction == GTK_DIR_TAB_BACKWARD || direction == GTK_DIR_UP || direction == GTK_DIR_LEFT ? VEXEL_LEAVE_PREV
                                                                                                       : VEXEL_LEAVE_NEXT,
              NULL);
    return FALSE;
}

void focus_attach_plug(HostView *v)
{
    g_signal_connect(v->plug, "focus-in-event", G_CALLBACK(block_pointer_focus), NULL);
    g_signal_connect(v->plug, "focus-out-event", G_CALLBACK(block_pointer_focus), NULL);
    g_signal_connect(v->plug, "notify::has-toplevel-focus", G_CALLBACK(on_toplevel_focus), v);
    g_signal_connect(v->plug, "key-press-event", G_CALLBACK(on_key), v);
    g_signal_connect(v->plug, "key-release-event", G_CALLBACK(on_key), v);
    g_signal_connect_after(v->plug, "focus", G_CALLBACK(on_focus_leaves), v);
}

void focus_attach_view(HostView *v)
{
    g_signal_connect(v->web, "button-press-event", G_CALLBACK(on_button_press), v);
}
