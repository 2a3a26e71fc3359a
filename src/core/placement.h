// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where the frame's own windows open: centred over the window they belong
// to, as the desktop's own dialogs do, kept on that window's screen.

class QWidget;

// Moves window (sized as it will show) so that its centre is over's centre,
// pulled onto over's screen where it would stick out.
void centreOver(QWidget *window, const QWidget *over);

// Waits (at most a moment) until a window just shown is on the screen: only
// then has the desktop placed it, and a window centred over it lands there.
void waitUntilPlaced(const QWidget *window);
