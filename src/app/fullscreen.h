// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Full screen: F11 gives the frame the whole screen and back; a page's own
// request (a video's button) gives its window the screen alone, without the
// frame's bars, until the page, Esc, F11 or another window ends it.

#include <QList>
#include <QObject>
#include <QPointer>
#include <QRect>

class QWidget;
class TBrowserWindow;
class TMainForm;

class TFullScreen : public QObject {
    Q_OBJECT
public:
    explicit TFullScreen(TMainForm *frame);

    void ToggleFrame();
    // The page of window enters (on) or leaves full screen.
    void PageFullScreen(TBrowserWindow *window, bool on);
    // Esc: the page leaves full screen.
    void LeavePage();
    // The window whose page has the screen, or null.
    TBrowserWindow *pageWindow() const { return page_; }

signals:
    // A page entered or left full screen.
    void pageChanged(bool on);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Puts the frame and the window back as they were before the page's
    // full screen.
    void restore();
    // Gives the frame a state, and the geometry it goes with.
    void putFrame(Qt::WindowStates state, const QRect &geometry);

    TMainForm *frame_;
    QPointer<TBrowserWindow> page_;
    QMetaObject::Connection closing_;  // the page's window closing
    bool rearranging_ = false;  // windows activated by our own changes
    // What the page's full screen changed, to put back.
    Qt::WindowStates frameState_;
    QRect frameGeometry_;
    QList<QPointer<QWidget>> hidden_;
    Qt::WindowStates windowState_;
    QRect windowGeometry_;
    int mdiFrame_ = 0;
    // The frame's state before F11.
    Qt::WindowStates beforeF11_;
    QRect f11Geometry_;
};
