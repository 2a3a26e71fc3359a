// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The frame's side of embedding a GtkPlug: the XEmbed messages that move
// keyboard focus, the keys handed to the plug, and letting go of its window.
// Plain X requests over Qt's own xcb connection; nothing of GTK here.

#include <QtGlobal>
#include <functional>

namespace xembed {

enum Message : quint32 { WindowActivate = 1, WindowDeactivate = 2, FocusIn = 4, FocusOut = 5 };
enum Detail : quint32 { FocusCurrent = 0, FocusFirst = 1, FocusLast = 2 };

// Whether the application runs on X (the xcb platform).
bool available();

void send(quint32 window, Message message, Detail detail = FocusCurrent);

// Hands a key to the plug as the X server would have: keycode and modifier
// state as X reported them to the frame.
void sendKey(quint32 window, bool press, quint32 keycode, quint32 state, quint32 time);

// A click in a plug's page is reported by the plug's owner as a client
// message on the window the plug sits in: through the X server, it reaches
// the frame before the keys typed right after the click, which come the same
// way. Calls handler with that window.
void onPlugPress(std::function<void(quint32 window)> handler);

// Unmaps the window and moves it to the root window, so that destroying the
// frame's windows around it does not destroy it under its owner; returns
// once the X server has done so.
void detach(quint32 window);

// Repaints what X exposes of the frame's native windows instead of showing
// what was last painted there. With plugs embedded, the MDI children are
// native windows; Qt (6.4, flushing through RHI) only copies its backing
// store on an expose, and parts of a child that another child's window had
// covered were never painted there: stale title bars and frames.
void repaintExposedWidgets();

// The window went with its owner: X errors about it (the frame's widgets
// letting go of it) are expected and not reported.
void forget(quint32 window);

}  // namespace xembed
