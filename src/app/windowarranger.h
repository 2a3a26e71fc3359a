// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The Window menu's commands on the frame's MDI client: cascade, tile,
// minimize all, arrange icons, and the numbered list of open windows.

#include <QList>
#include <Qt>

class QAction;
class QMdiArea;
class QMenu;

class TWindowArranger {
public:
    TWindowArranger(QMdiArea *area, QMenu *windowMenu);

    void cascade();
    // One above the other, each the full width of the client area.
    void tileHorizontally();
    // Side by side, each the full height of the client area.
    void tileVertically();
    // From the last window to the first.
    void minimizeAll();
    // Minimized windows in a row along the bottom edge, wrapping upwards.
    void arrangeIcons();

    // Renews the list of windows at the end of the menu (before it shows).
    void rebuildWindowList();

private:
    // Side by side along the orientation given.
    void tile(Qt::Orientation along);

    QMdiArea *area_;
    QMenu *menu_;
    QList<QAction *> listItems_;
};
