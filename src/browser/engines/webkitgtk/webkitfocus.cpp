// SPDX-License-Identifier: GPL-3.0-or-later
// The keyboard and focus of a Gecko page: its plug lives in another
// process, so keys, clicks and focus changes cross over X (XEmbed messages
// and forwarded key events) rather than through Qt.

#include "webkitcontrol.h"

#include "core/errors.h"
#include "xembed.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMdiSubWindow>

namespace {

QMdiSubWindow *subWindowOf(const QWidget *widget)
{
    for (QWidget *w = widget->parentWidget(); w; w = w->parentWidget())
        if (auto *sub = qobject_cast<QMdiSubWindow *>(w))
            return sub;
    return nullptr;
}

bool inMdiArea(const QWidget *widget)
{
    for (const QWidget *w = widget; w; w = w->parentWidget())
        if (qobject_cast<const QMdiArea *>(w))
            return true;
    return false;
}

}  // namespace

void WebKitControl::onPress(const QList<QByteArray> &)
{
    // The click went to the plug's window; the frame did not see it. A
    // modal dialog keeps the focus, as it would against any other click.
    if (QWidget *modal = QApplication::activeModalWidget(); modal && modal != window())
        return;
    if (QMdiSubWindow *sub = subWindowOf(this))
        if (QMdiArea *area = sub->mdiArea(); area && area->activeSubWindow() != sub)
            area->setActiveSubWindow(sub);
    if (!isActiveWindow())
        activateWindow();
    setFocus(Qt::MouseFocusReason);
}

void WebKitControl::pressedIn(quint32 window)
{
    for (QWidget *w = QWidget::find(window); w; w = w->parentWidget()) {
        if (auto *control = qobject_cast<WebKitControl *>(w)) {
            runGuarded([control] { control->onPress({}); });
            return;
        }
    }
}

bool WebKitControl::event(QEvent *event)
{
    // Every key the frame hands this control goes to the page, Tab included
    // (the page moves among its own elements and says when it runs out).
    // The frame's shortcuts have had their turn before the key got here.
    // Keys typed into an input method's composition (Enter, Esc, the
    // arrows, F5…) are the input method's: the frame's shortcuts stand
    // back and the key comes here, for the page.
    if (event->type() == QEvent::ShortcutOverride && composing_ && state_ == State::Live) {
        event->accept();
        return true;
    }
    if ((event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) && state_ == State::Live) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->nativeScanCode() != 0) {
            xembed::sendKey(plug_, event->type() == QEvent::KeyPress, key->nativeScanCode(), key->nativeModifiers(),
                            quint32(key->timestamp()));
            return true;
        }
    }
    if (event->type() == QEvent::ScreenChangeInternal)
        followScale();
    return EngineControl::event(event);
}

void WebKitControl::tellFocus(Qt::FocusReason reason)
{
    if (state_ != State::Live)
        return;
    // A plug's page has the focus only in an active window; the control may
    // have come into this one after it was activated.
    if (isActiveWindow())
        xembed::send(plug_, xembed::WindowActivate);
    xembed::send(plug_, xembed::FocusIn,
                 reason == Qt::TabFocusReason       ? xembed::FocusFirst
                 : reason == Qt::BacktabFocusReason ? xembed::FocusLast
                                                    : xembed::FocusCurrent);
}

void WebKitControl::focusInEvent(QFocusEvent *event)
{
    EngineControl::focusInEvent(event);
    tellFocus(event->reason());
}

void WebKitControl::focusOutEvent(QFocusEvent *event)
{
    EngineControl::focusOutEvent(event);
    if (state_ == State::Live)
        xembed::send(plug_, xembed::FocusOut);
}

void WebKitControl::changeEvent(QEvent *event)
{
    EngineControl::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && state_ == State::Live)
        xembed::send(plug_, isActiveWindow() ? xembed::WindowActivate : xembed::WindowDeactivate);
}

void WebKitControl::leaveToFrame(bool next)
{
    // To the frame's own controls (the address bar), as the focus chain
    // orders them: within the MDI child alone, Tab would only come back here.
    QWidget *w = this;
    for (;;) {
        w = next ? w->nextInFocusChain() : w->previousInFocusChain();
        if (!w || w == this)
            break;
        if ((w->focusPolicy() & Qt::TabFocus) && w->isVisible() && w->isEnabled() && w->window() == window() &&
            !inMdiArea(w)) {
            w->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
            return;
        }
    }
    focusNextPrevChild(next);
}
