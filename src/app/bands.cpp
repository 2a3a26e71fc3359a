// SPDX-License-Identifier: GPL-3.0-or-later
// The two tool-bar bands' order, rows and widths, kept in [Bar] of the
// settings file from one run to the next.

#include "app/mainform.h"
#include "core/programdir.h"
#include "settings/config.h"

#include <QLineEdit>
#include <QPushButton>
#include <algorithm>

QList<TBandToolBar *> TMainForm::bandOrder() const
{
    // The area lays bands out row by row, left to right: that is their order.
    QList<TBandToolBar *> order{ToolBar2, ToolBar3};
    std::stable_sort(order.begin(), order.end(), [this](TBandToolBar *a, TBandToolBar *b) {
        const int rowA = toolBarArea(a) == Qt::TopToolBarArea ? a->y() : a->y() + 100000;
        const int rowB = toolBarArea(b) == Qt::TopToolBarArea ? b->y() : b->y() + 100000;
        if (rowA != rowB)
            return rowA < rowB;
        return a->x() < b->x();
    });
    return order;
}

bool TMainForm::secondBandBreaks() const
{
    const QList<TBandToolBar *> order = bandOrder();
    return order[1]->y() != order[0]->y() || toolBarBreak(order[1]);
}

void TMainForm::applyBandOrder(const QList<TBandToolBar *> &order, bool secondBreaks)
{
    removeToolBarBreak(ToolBar2);
    removeToolBarBreak(ToolBar3);
    removeToolBar(ToolBar2);
    removeToolBar(ToolBar3);
    addToolBar(Qt::TopToolBarArea, order[0]);
    if (secondBreaks)
        addToolBarBreak(Qt::TopToolBarArea);
    addToolBar(Qt::TopToolBarArea, order[1]);
    order[0]->show();
    order[1]->show();
}

void TMainForm::BandPositionRead()
{
    const QString ini = iniPath();
    const config::Band stored[2] = {config::band(ini, 0), config::band(ini, 1)};

    struct Band {
        TBandToolBar *bar;
        bool brk;
        int width;  // 0: as designed
    };
    QList<Band> bands;
    const QList<TBandToolBar *> current = bandOrder();
    for (TBandToolBar *bar : current)
        bands.append({bar, bar == current.first() ? firstBandBreak_ : secondBandBreaks(), 0});
    for (int n = 0; n < 2; ++n) {
        const auto it = std::find_if(bands.begin(), bands.end(),
                                     [&](const Band &b) { return b.bar->identity() == stored[n].id; });
        if (it == bands.end())
            continue;  // an identity that names no band leaves the position as it is
        const Band band = *it;
        bands.erase(it);
        bands.insert(n, band);
        bands[n].brk = stored[n].breaks;
        bands[n].width = stored[n].width;
    }

    // One relayout with the new order, rows and widths.
    setUpdatesEnabled(false);
    for (const Band &b : bands)
        b.bar->setBandWidth(b.width);
    firstBandBreak_ = bands[0].brk;
    applyBandOrder({bands[0].bar, bands[1].bar}, bands[1].brk);
    setUpdatesEnabled(true);
}

void TMainForm::BandPositionWrite()
{
    const QString ini = iniPath();
    const QList<TBandToolBar *> order = bandOrder();
    const bool breaks[2] = {firstBandBreak_, secondBandBreaks()};
    for (int n = 0; n < 2; ++n)
        config::writeBand(ini, n, {order[n]->identity(), order[n]->width(), breaks[n]});
}

void TMainForm::CoolBar1MouseUp()
{
    // After a band has been dragged the address field fills what the
    // address bar has now. Nothing is written until the window closes.
    fitAddressField();
}
