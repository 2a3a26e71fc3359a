// SPDX-License-Identifier: GPL-3.0-or-later
// The frame's tools on the page: its source, the developer tools, find and
// zoom.

#include "webenginecontrol.h"

#include "core/placement.h"

#include <QAction>
#include <QPointer>
#include <QWebEngineFindTextResult>

void WebEngineControl::ViewSource()
{
    if (showsErrorPage() || showsCrashNotice() || page_->url().isEmpty())
        return;
    // Through the frame, as the engine's new windows go: the request
    // counts as the user's own.
    page_->triggerAction(QWebEnginePage::ViewSource);
}

void WebEngineControl::ShowInspector()
{
    if (!devTools_) {
        devTools_ = new DevToolsWindow(page_, this);
        centreOver(devTools_, window());
    }
    devTools_->show();
    devTools_->raise();
    devTools_->activateWindow();
}

void WebEngineControl::FindText(const QString &text, bool backward)
{
    const QWebEnginePage::FindFlags flags = backward ? QWebEnginePage::FindBackward : QWebEnginePage::FindFlags();
    // A find the next one overtook reports nothing (the engine answers it
    // with "none found").
    const quint64 generation = ++findGeneration_;
    if (text.isEmpty()) {
        page_->findText(text, flags);
        return;
    }
    page_->findText(text, flags,
                    [self = QPointer<WebEngineControl>(this), generation](const QWebEngineFindTextResult &result) {
                        if (self && self->findGeneration_ == generation)
                            emit self->FindResult(result.numberOfMatches() > 0 ? result.activeMatch() : 0,
                                                  result.numberOfMatches());
                    });
}

qreal WebEngineControl::ZoomFactor() const
{
    return page_->zoomFactor();
}

void WebEngineControl::SetZoomFactor(qreal factor)
{
    page_->setZoomFactor(factor);
    emit ZoomFactorChange(factor);
}
