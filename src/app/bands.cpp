// The two tool-bar bands' order, rows and widths, kept in [Bar] of the
// settings file from one run to the next.

#include "app/errors.h"
#include "app/mainform.h"
#include "app/programdir.h"
#include "settings/profile.h"

#include <QLineEdit>
#include <QPushButton>
#include <algorithm>

namespace {

QString bandKey(int position, const char *suffix)
{
    return QStringLiteral("Band%1%2").arg(position).arg(QLatin1String(suffix));
}

const QString kBar = QStringLiteral("Bar");

}  // namespace

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
    const QString ini = configPath(ProgramDir);
    int ids[2], widths[2];
    bool breaks[2];
    for (int n = 0; n < 2; ++n) {
        ids[n] = profile::readInteger(ini, kBar, bandKey(n, "ID"), n);
        widths[n] = profile::readInteger(ini, kBar, bandKey(n, "Width"), 200);
        breaks[n] = profile::readFlag(ini, kBar, bandKey(n, "Break"), true);
    }

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
                                     [&](const Band &b) { return b.bar->identity() == ids[n]; });
        if (it == bands.end())
            continue;  // an identity that names no band leaves the position as it is
        const Band band = *it;
        bands.erase(it);
        bands.insert(n, band);
        bands[n].brk = breaks[n];
        bands[n].width = widths[n];
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
    const QString ini = configPath(ProgramDir);
    const QList<TBandToolBar *> order = bandOrder();
    const bool breaks[2] = {firstBandBreak_, secondBandBreaks()};
    for (int n = 0; n < 2; ++n) {
        profile::writeInteger(ini, kBar, bandKey(n, "ID"), order[n]->identity());
        profile::writeInteger(ini, kBar, bandKey(n, "Width"), order[n]->width());
        profile::writeFlag(ini, kBar, bandKey(n, "Break"), breaks[n]);
    }
}

void TMainForm::CoolBar1MouseUp()
{
    // After a band has been dragged the address field fills what the
    // address bar has now. Nothing is written until the window closes.
    fitAddressField();
}
