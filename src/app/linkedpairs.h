// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One page in both engines side by side: the page opens in a window of the
// other engine too, the two tile next to each other, and while linked a
// scroll, a navigation or a zoom in one follows in the other. The link ends
// when either window closes, or when Ctrl+Shift+B is pressed again in
// either (both windows stay open).

#include <QList>
#include <QObject>
#include <QPointer>

class QImage;
class TBrowserWindow;
class TMainForm;

class TLinkedPairs : public QObject {
    Q_OBJECT
public:
    explicit TLinkedPairs(TMainForm *frame);

    // Ctrl+Shift+B and the page's menu: opens window's page in the other
    // engine beside it, linked; on a linked window, ends its link. Nothing
    // but a status text when a Gecko window cannot be opened.
    void OpenSideBySide(TBrowserWindow *window);
    // Links two windows already open (of the two engines) and ends a link.
    void link(TBrowserWindow *first, TBrowserWindow *second);
    void unlink(TBrowserWindow *window);
    TBrowserWindow *partnerOf(TBrowserWindow *window) const;

    // Ctrl+Shift+S: while window is linked, saves one PNG of both pages and
    // their differences where the user chooses; nothing otherwise.
    void SaveSnapshot(TBrowserWindow *window);
    // Both pages as they show now: the Internet Explorer one first.
    QImage snapshot(TBrowserWindow *window) const;

private:
    class Pair;
    Pair *pairOf(TBrowserWindow *window) const;

    TMainForm *frame_;
    QList<Pair *> pairs_;
};
