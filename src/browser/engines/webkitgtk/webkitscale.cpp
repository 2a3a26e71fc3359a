// SPDX-License-Identifier: GPL-3.0-or-later
#include "webkitscale.h"

#include "protocol.h"
#include "webkitcontrol.h"

#include <QGuiApplication>
#include <QtMath>

namespace webkitscale {

int hostScale()
{
    return qMax(1, int(std::floor(qGuiApp->devicePixelRatio() + 0.01)));
}

qreal viewZoom(qreal userZoom, qreal windowScale, int hostScale)
{
    return userZoom * (windowScale > 0 ? windowScale : 1.0) / qMax(1, hostScale);
}

}  // namespace webkitscale

QByteArray WebKitControl::zoomField() const
{
    const qreal zoom = webkitscale::viewZoom(zoom_, devicePixelRatioF(), host_ ? host_->scale() : 1);
    return QByteArray::number(zoom);
}

void WebKitControl::followScale()
{
    // Moved to a screen of another scale factor: the page keeps its size.
    if (host_)
        send(VEXEL_VERB_ZOOM, {zoomField()});
}
