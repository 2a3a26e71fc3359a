// SPDX-License-Identifier: GPL-3.0-or-later
#include "hostexpose.h"

#include <gdk/gdkx.h>

/* A composited view paints from its backing store flipped upside down, and
   clips that flip to the area asked for: only a paint of the whole view
   lands where it belongs. Asked for a part of it (a pop-up of the frame
   closed over that part), it paints the mirrored band, and the part stays
   grey. So whatever the X server exposes, the whole view is painted, in
   the same frame as the exposed part. */
static GdkFilterReturn on_xevent(GdkXEvent *xevent, GdkEvent *event, gpointer web)
{
    (void)event;
    if (((XEvent *)xevent)->type == Expose)
        gtk_widget_queue_draw(web);
    return GDK_FILTER_CONTINUE;
}

void expose_attach(HostView *v)
{
    gtk_widget_realize(v->plug);
    /* Goes with the plug's window, which goes before the view. */
    gdk_window_add_filter(gtk_widget_get_window(v->plug), on_xevent, v->web);
}
