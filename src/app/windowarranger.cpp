// SPDX-License-Identifier: GPL-3.0-or-later
#include "windowarranger.h"

#include <QAction>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>

TWindowArranger::TWindowArranger(QMdiArea *area, QMenu *windowMenu) : area_(area), menu_(windowMenu)
{
}

void TWindowArranger::cascade()
{
    area_->cascadeSubWindows();
}

namespace {

// Windows that take part in tiling: every child not minimized.
QList<QMdiSubWindow *> tileable(QMdiArea *area)
{
    QList<QMdiSubWindow *> list;
    for (QMdiSubWindow *w : area->subWindowList(QMdiArea::CreationOrder))
        if (!w->isMinimized() && w->isVisible())
            list.append(w);
    return list;
}

}  // namespace

void TWindowArranger::tileHorizontally()
{
    tile(Qt::Vertical);
}

void TWindowArranger::tileVertically()
{
    tile(Qt::Horizontal);
}

void TWindowArranger::tile(Qt::Orientation along)
{
    // Equal shares of the client area along one direction, each the full
    // extent of the other; the last takes what division leaves over.
    const QList<QMdiSubWindow *> list = tileable(area_);
    if (list.isEmpty())
        return;
    const QRect area = area_->viewport()->rect();
    const bool across = along == Qt::Horizontal;
    const int total = across ? area.width() : area.height();
    const int share = total / int(list.size());
    for (int i = 0; i < list.size(); ++i) {
        list[i]->showNormal();
        const int start = share * i;
        const int length = i == list.size() - 1 ? total - start : share;
        if (across)
            list[i]->setGeometry(start, 0, length, area.height());
        else
            list[i]->setGeometry(0, start, area.width(), length);
    }
}

void TWindowArranger::minimizeAll()
{
    const QList<QMdiSubWindow *> list = area_->subWindowList(QMdiArea::CreationOrder);
    for (auto it = list.crbegin(); it != list.crend(); ++it)
        (*it)->showMinimized();
}

void TWindowArranger::arrangeIcons()
{
    const QRect area = area_->viewport()->rect();
    int x = 0, y = area.height();
    for (QMdiSubWindow *w : area_->subWindowList(QMdiArea::CreationOrder)) {
        if (!w->isMinimized())
            continue;
        const QSize s = w->size();
        if (x > 0 && x + s.width() > area.width()) {
            x = 0;
            y -= s.height();
        }
        if (x == 0 && y == area.height())
            y -= s.height();
        w->move(x, y);
        x += s.width();
    }
}

void TWindowArranger::rebuildWindowList()
{
    for (QAction *a : listItems_) {
        menu_->removeAction(a);
        delete a;
    }
    listItems_.clear();
    const QList<QMdiSubWindow *> windows = area_->subWindowList(QMdiArea::CreationOrder);
    if (windows.isEmpty())
        return;
    listItems_.append(menu_->addSeparator());
    int number = 1;
    for (QMdiSubWindow *w : windows) {
        QString caption = w->windowTitle();
        caption.replace(QLatin1Char('&'), QStringLiteral("&&"));
        const QString text = number < 10 ? QStringLiteral("&%1 %2").arg(number).arg(caption)
                                         : QStringLiteral("%1 %2").arg(number).arg(caption);
        QAction *a = menu_->addAction(text);
        a->setCheckable(true);
        a->setChecked(w == area_->currentSubWindow());
        QObject::connect(a, &QAction::triggered, area_, [this, w](bool) {
            if (area_->subWindowList().contains(w)) {
                if (w->isMinimized())
                    w->showNormal();
                area_->setActiveSubWindow(w);
            }
        });
        listItems_.append(a);
        ++number;
    }
}
