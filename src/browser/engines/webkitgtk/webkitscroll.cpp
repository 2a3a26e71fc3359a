// SPDX-License-Identifier: GPL-3.0-or-later
// A Gecko window linked with one of the other engine: its page's scrolls go
// out as ScrollPositionChange, a partner's place comes in through the host,
// and its pixels are read from the embedded window itself.

#include "webkitcontrol.h"
#include "protocol.h"

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

void WebKitControl::WatchScrolling(bool on)
{
    send(VEXEL_VERB_SCROLLWATCH, {yesNo(on)});
}

void WebKitControl::ScrollTo(const QString &anchor, qreal within, qreal fraction)
{
    send(VEXEL_VERB_SCROLLTO, {anchor.toUtf8(), QByteArray::number(qBound(0.0, within, 1.0)),
                               QByteArray::number(qBound(0.0, fraction, 1.0))});
}

QImage WebKitControl::PageSnapshot()
{
    // The page is drawn by another process into its own X window: only the
    // screen has its pixels. What shows instead of it (a crash, an error
    // page, a view on its way) is ours to grab.
    QScreen *screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (plug_ && screen && state_ == State::Live && !showsErrorPage()) {
        const QImage shot = screen->grabWindow(plug_).toImage();
        if (!shot.isNull())
            return shot;
    }
    return grab().toImage();
}

void WebKitControl::onScrolled(const QList<QByteArray> &fields)
{
    bool ok = false;
    const qreal within = fields.value(1).toDouble(&ok);
    const qreal fraction = ok ? fields.value(2).toDouble(&ok) : 0;
    if (ok)
        emit ScrollPositionChange(textField(fields, 0), qBound(0.0, within, 1.0), qBound(0.0, fraction, 1.0));
}

void WebKitControl::onSideBySide(const QList<QByteArray> &)
{
    emit SideBySideRequested();
}
