// SPDX-License-Identifier: GPL-3.0-or-later
#include "fullscreen.h"

#include "app/mainform.h"
#include "browser/browserwindow.h"

#include <QEvent>
#include <QMdiArea>
#include <QMenuBar>
#include <QScreen>
#include <QToolBar>

TFullScreen::TFullScreen(TMainForm *frame) : QObject(frame), frame_(frame)
{
    setObjectName(QStringLiteral("FullScreen"));
    // Another window made active ends a page's full screen: the screen
    // shows the page that asked for it, or the frame as it was.
    connect(frame_->MDIClient, &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow *window) {
        if (page_ && window && window != page_ && !rearranging_)
            LeavePage();
    });
    frame_->installEventFilter(this);
}

void TFullScreen::ToggleFrame()
{
    if (page_) {
        LeavePage();
        return;
    }
    if (frame_->isFullScreen()) {
        putFrame(beforeF11_ & ~Qt::WindowFullScreen, f11Geometry_);
    } else {
        beforeF11_ = frame_->windowState();
        f11Geometry_ = frame_->geometry();
        putFrame(beforeF11_ | Qt::WindowFullScreen, {});
    }
}

void TFullScreen::putFrame(Qt::WindowStates state, const QRect &geometry)
{
    // Without a window manager the state alone changes nothing on screen;
    // a geometry given after it would take the state away again.
    if (state & Qt::WindowFullScreen) {
        frame_->setGeometry(frame_->screen()->geometry());
    } else if (!(state & Qt::WindowMaximized) && geometry.isValid()) {
        frame_->setWindowState(state);
        frame_->setGeometry(geometry);
    }
    frame_->setWindowState(state);
}

void TFullScreen::PageFullScreen(TBrowserWindow *window, bool on)
{
    if (!on) {
        if (window == page_)
            restore();
        return;
    }
    if (window == page_)
        return;
    if (page_)
        LeavePage();
    page_ = window;
    // A window that goes takes nothing of the frame with it.
    closing_ = connect(window, &TBrowserWindow::closing, this, [this] {
        page_ = nullptr;
        restore();
    });
    frameState_ = frame_->windowState();
    frameGeometry_ = frame_->geometry();
    windowState_ = window->windowState();
    windowGeometry_ = window->geometry();
    hidden_.clear();
    QList<QWidget *> bars{frame_->menuWidget()};
    for (QToolBar *bar : frame_->findChildren<QToolBar *>(Qt::FindDirectChildrenOnly))
        bars << bar;
    for (QWidget *bar : bars) {
        if (bar && bar->isVisible()) {
            hidden_ << bar;
            bar->hide();
        }
    }
    mdiFrame_ = frame_->MDIClient->frameShape();
    frame_->MDIClient->setFrameShape(QFrame::NoFrame);
    // A frameless, maximized window: the page alone, edge to edge. Its
    // flags hide it a moment, which activates another window meanwhile.
    rearranging_ = true;
    window->setWindowFlag(Qt::FramelessWindowHint, true);
    window->showMaximized();
    frame_->MDIClient->setActiveSubWindow(window);
    rearranging_ = false;
    putFrame(frameState_ | Qt::WindowFullScreen, {});
    emit pageChanged(true);
}

void TFullScreen::LeavePage()
{
    if (!page_)
        return;
    // The page hears that it has left (its own controls change back).
    page_->control()->ExitFullScreen();
    restore();
}

void TFullScreen::restore()
{
    TBrowserWindow *window = page_;
    page_ = nullptr;
    disconnect(closing_);
    for (const QPointer<QWidget> &bar : std::as_const(hidden_))
        if (bar)
            bar->show();
    hidden_.clear();
    frame_->MDIClient->setFrameShape(QFrame::Shape(mdiFrame_));
    putFrame(frameState_, frameGeometry_);
    if (window) {
        rearranging_ = true;
        window->setWindowFlag(Qt::FramelessWindowHint, false);
        if (windowState_ & Qt::WindowMaximized) {
            window->showMaximized();
        } else {
            window->showNormal();
            window->setGeometry(windowGeometry_);
        }
        frame_->MDIClient->setActiveSubWindow(window);
        rearranging_ = false;
    }
    emit pageChanged(false);
}

bool TFullScreen::eventFilter(QObject *watched, QEvent *event)
{
    // The frame closes as the user left it, not as the page made it.
    if (watched == frame_ && event->type() == QEvent::Close && page_)
        restore();
    return QObject::eventFilter(watched, event);
}
