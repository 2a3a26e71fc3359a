// SPDX-License-Identifier: GPL-3.0-or-later
// An Internet Explorer window linked with one of the other engine: the
// engine says when the page scrolled, the linking script (in a world the
// page's scripts cannot reach) says where to.

#include "webenginecontrol.h"

#include "browser/engines/scrollsync.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QPointer>
#include <QWebEngineScript>
#include <QWebEngineView>

namespace {

const QString linkScript = QStringLiteral(VEXEL_SCROLL_SCRIPT);

}  // namespace

void WebEngineControl::WatchScrolling(bool on)
{
    disconnect(scrollWatch_);
    if (!on)
        return;
    scrollWatch_ = connect(page_, &QWebEnginePage::scrollPositionChanged, this, [this] {
        page_->runJavaScript(linkScript + QStringLiteral("window.__vexelLink.state()"),
                             QWebEngineScript::ApplicationWorld,
                             [self = QPointer<WebEngineControl>(this)](const QVariant &result) {
                                 const QVariantList place = result.toList();
                                 if (!self || !self->scrollWatch_ || place.size() != 3)
                                     return;
                                 emit self->ScrollPositionChange(place.at(0).toString(),
                                                                 qBound(0.0, place.at(1).toDouble(), 1.0),
                                                                 qBound(0.0, place.at(2).toDouble(), 1.0));
                             });
    });
}

void WebEngineControl::ScrollTo(const QString &anchor, qreal within, qreal fraction)
{
    // The place goes in as JSON, never as script text.
    const QJsonArray place{anchor, qBound(0.0, within, 1.0), qBound(0.0, fraction, 1.0)};
    page_->runJavaScript(linkScript + QStringLiteral("window.__vexelLink.scrollTo(...%1)")
                                          .arg(QString::fromUtf8(QJsonDocument(place).toJson(QJsonDocument::Compact))),
                         QWebEngineScript::ApplicationWorld);
}

QImage WebEngineControl::PageSnapshot()
{
    // Our own pages (an error, a crash) stand in the view's place.
    if (showsErrorPage() || showsCrashNotice())
        return grab().toImage();
    return view_->grab().toImage();
}
