// SPDX-License-Identifier: GPL-3.0-or-later
#include "placement.h"

#include <QEventLoop>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>

namespace {

void place(QWidget *window, const QWidget *over);

// A dialog sizes itself once more as it shows (a message box to its text):
// until it is on the screen, each new size is centred again.
class CentreWhileShowing : public QObject {
public:
    CentreWhileShowing(QWidget *window, const QWidget *over) : QObject(window), window_(window), over_(over)
    {
        window->installEventFilter(this);
    }
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == window_ && event->type() == QEvent::Resize && over_)
            place(window_, over_);
        else if (watched == window_ && event->type() == QEvent::Show)
            QTimer::singleShot(0, this, &QObject::deleteLater);
        return false;
    }

private:
    QWidget *window_;
    QPointer<const QWidget> over_;
};

}  // namespace

void centreOver(QWidget *window, const QWidget *over)
{
    if (!window || !over)
        return;
    place(window, over);
    if (!window->isVisible())
        new CentreWhileShowing(window, over);
}

namespace {

void place(QWidget *window, const QWidget *over)
{
    window->ensurePolished();
    const QWidget *top = over->window();
    QRect rect(QPoint(), window->size().expandedTo(window->minimumSizeHint()).expandedTo(window->sizeHint()));
    if (!window->testAttribute(Qt::WA_Resized))
        window->resize(rect.size());
    else
        rect.setSize(window->size());
    rect.moveCenter(top->frameGeometry().center());
    if (const QScreen *screen = top->screen()) {
        const QRect room = screen->availableGeometry();
        rect.moveLeft(qBound(room.left(), rect.left(), qMax(room.left(), room.right() - rect.width())));
        rect.moveTop(qBound(room.top(), rect.top(), qMax(room.top(), room.bottom() - rect.height())));
    }
    window->move(rect.topLeft());
}

}  // namespace

namespace {

// Ends a wait once the window it watches is exposed.
class ExposeWatch : public QObject {
public:
    ExposeWatch(QWindow *window, QEventLoop *loop) : window_(window), loop_(loop) { window->installEventFilter(this); }
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == window_ && event->type() == QEvent::Expose && window_->isExposed())
            loop_->quit();
        return false;
    }

private:
    QWindow *window_;
    QEventLoop *loop_;
};

}  // namespace

void waitUntilPlaced(const QWidget *window)
{
    QWindow *handle = window ? window->window()->windowHandle() : nullptr;
    if (!handle || !window->isVisible() || handle->isExposed())
        return;
    QEventLoop loop;
    ExposeWatch watch(handle, &loop);
    // A desktop that never shows it must not hold the program up.
    QTimer::singleShot(2000, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}
