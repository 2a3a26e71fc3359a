// SPDX-License-Identifier: GPL-3.0-or-later
#include "xembed.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QRectF>
#include <QSet>
#include <QWidget>
#include <cstdlib>
#include <cstring>
#include <xcb/xcb.h>

namespace xembed {

namespace {

xcb_connection_t *connection()
{
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

xcb_window_t rootWindow(xcb_connection_t *c)
{
    return xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
}

xcb_atom_t internAtom(xcb_connection_t *c, const char *name)
{
    xcb_intern_atom_reply_t *reply =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr);
    const xcb_atom_t a = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return a;
}

xcb_atom_t xembedAtom(xcb_connection_t *c)
{
    static xcb_atom_t atom = internAtom(c, "_XEMBED");
    return atom;
}

class PressFilter : public QAbstractNativeEventFilter {
public:
    PressFilter(xcb_atom_t atom, std::function<void(quint32)> handler) : atom_(atom), handler_(std::move(handler)) {}

    bool nativeEventFilter(const QByteArray &type, void *message, qintptr *) override
    {
        if (type != "xcb_generic_event_t")
            return false;
        const auto *event = static_cast<const xcb_generic_event_t *>(message);
        if ((event->response_type & 0x7f) != XCB_CLIENT_MESSAGE)
            return false;
        const auto *client = static_cast<const xcb_client_message_event_t *>(message);
        if (client->type != atom_ || atom_ == XCB_ATOM_NONE)
            return false;
        handler_(client->window);
        return true;
    }

private:
    xcb_atom_t atom_;
    std::function<void(quint32)> handler_;
};

// Swallows the X errors about plug windows whose host has gone: Qt still
// unmaps its foreign window when the container goes, and the window is no
// longer there.
class GoneWindowFilter : public QAbstractNativeEventFilter {
public:
    QSet<quint32> gone;

    bool nativeEventFilter(const QByteArray &type, void *message, qintptr *) override
    {
        if (type != "xcb_generic_event_t")
            return false;
        const auto *event = static_cast<const xcb_generic_event_t *>(message);
        if (event->response_type != 0)
            return false;
        const auto *error = static_cast<const xcb_generic_error_t *>(message);
        return gone.contains(error->resource_id);
    }
};

class ExposeFilter : public QAbstractNativeEventFilter {
public:
    bool nativeEventFilter(const QByteArray &type, void *message, qintptr *) override
    {
        if (type != "xcb_generic_event_t")
            return false;
        const auto *event = static_cast<const xcb_generic_event_t *>(message);
        if ((event->response_type & 0x7f) != XCB_EXPOSE)
            return false;
        const auto *expose = static_cast<const xcb_expose_event_t *>(message);
        if (QWidget *widget = QWidget::find(expose->window)) {
            const qreal ratio = widget->devicePixelRatioF();
            widget->update(QRectF(expose->x / ratio, expose->y / ratio, expose->width / ratio,
                                  expose->height / ratio)
                               .toAlignedRect());
        }
        return false;  // Qt handles it as well
    }
};

GoneWindowFilter *goneFilter()
{
    static GoneWindowFilter *filter = [] {
        auto *f = new GoneWindowFilter;
        QCoreApplication::instance()->installNativeEventFilter(f);
        return f;
    }();
    return filter;
}

}  // namespace

bool available()
{
    return connection() != nullptr;
}

void send(quint32 window, Message message, Detail detail)
{
    xcb_connection_t *c = connection();
    if (!c || !window)
        return;
    xcb_client_message_event_t event;
    std::memset(&event, 0, sizeof event);
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = xembedAtom(c);
    event.data.data32[0] = XCB_CURRENT_TIME;
    event.data.data32[1] = message;
    event.data.data32[2] = detail;
    xcb_send_event(c, 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char *>(&event));
    xcb_flush(c);
}

void sendKey(quint32 window, bool press, quint32 keycode, quint32 state, quint32 time)
{
    xcb_connection_t *c = connection();
    if (!c || !window || keycode == 0)
        return;
    xcb_key_press_event_t event;
    std::memset(&event, 0, sizeof event);
    event.response_type = press ? XCB_KEY_PRESS : XCB_KEY_RELEASE;
    event.detail = xcb_keycode_t(keycode);
    event.time = time;
    event.root = rootWindow(c);
    event.event = window;
    event.child = XCB_NONE;
    event.state = uint16_t(state);
    event.same_screen = 1;
    xcb_send_event(c, 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char *>(&event));
    xcb_flush(c);
}

void onPlugPress(std::function<void(quint32 window)> handler)
{
    static bool installed = false;
    xcb_connection_t *c = connection();
    if (installed || !c)
        return;
    installed = true;
    QCoreApplication::instance()->installNativeEventFilter(
        new PressFilter(internAtom(c, "_VEXEL_PLUG_PRESS"), std::move(handler)));
}

void detach(quint32 window)
{
    xcb_connection_t *c = connection();
    if (!c || !window)
        return;
    xcb_unmap_window(c, window);
    xcb_reparent_window(c, window, rootWindow(c), 0, 0);
    // A round trip: the server has carried both out before the plug's owner
    // hears that it may destroy the window.
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
}

void repaintExposedWidgets()
{
    static bool installed = false;
    if (installed || !connection())
        return;
    installed = true;
    QCoreApplication::instance()->installNativeEventFilter(new ExposeFilter);
}

void forget(quint32 window)
{
    if (window && connection())
        goneFilter()->gone.insert(window);
}

}  // namespace xembed
