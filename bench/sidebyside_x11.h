// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Sees top-level windows being mapped on the X display: with no window
// manager under Xvfb a frame is shown when its window is mapped on the root,
// so a MapNotify under SubstructureNotify on the root is the moment.

#include <QSocketNotifier>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <xcb/xcb.h>

class MapWatcher {
public:
    // Called with the window's _NET_WM_PID, 0 when it has none.
    std::function<void(std::uint32_t pid)> onTopLevelMapped;

    bool open()
    {
        connection_ = xcb_connect(nullptr, nullptr);
        if (!connection_ || xcb_connection_has_error(connection_))
            return false;
        xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
        root_ = screen->root;
        const char name[] = "_NET_WM_PID";
        xcb_intern_atom_reply_t *atom =
            xcb_intern_atom_reply(connection_, xcb_intern_atom(connection_, 0, sizeof name - 1, name), nullptr);
        if (!atom)
            return false;
        pidAtom_ = atom->atom;
        std::free(atom);
        const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(connection_, root_, XCB_CW_EVENT_MASK, &mask);
        xcb_flush(connection_);
        notifier_ = std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(connection_), QSocketNotifier::Read);
        QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(), [this] { drain(); });
        return true;
    }

    ~MapWatcher()
    {
        notifier_.reset();
        if (connection_)
            xcb_disconnect(connection_);
    }

private:
    void drain()
    {
        while (xcb_generic_event_t *event = xcb_poll_for_event(connection_)) {
            if ((event->response_type & 0x7f) == XCB_MAP_NOTIFY) {
                const auto *map = reinterpret_cast<xcb_map_notify_event_t *>(event);
                // Menus and tooltips map themselves unmanaged; they are no frame.
                if (map->event == root_ && !map->override_redirect && onTopLevelMapped)
                    onTopLevelMapped(pidOf(map->window));
            }
            std::free(event);
        }
    }

    std::uint32_t pidOf(xcb_window_t window)
    {
        xcb_get_property_reply_t *reply = xcb_get_property_reply(
            connection_, xcb_get_property(connection_, 0, window, pidAtom_, XCB_ATOM_CARDINAL, 0, 1), nullptr);
        std::uint32_t pid = 0;
        if (reply && reply->format == 32 && xcb_get_property_value_length(reply) == 4)
            pid = *static_cast<std::uint32_t *>(xcb_get_property_value(reply));
        std::free(reply);
        return pid;
    }

    xcb_connection_t *connection_ = nullptr;
    xcb_window_t root_ = 0;
    xcb_atom_t pidAtom_ = 0;
    std::unique_ptr<QSocketNotifier> notifier_;
};
