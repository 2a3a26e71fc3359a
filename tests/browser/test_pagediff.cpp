// SPDX-License-Identifier: GPL-3.0-or-later
// The third panel of a picture of both engines: where two pages' pixels
// differ, and nowhere else.

#include "browser/pagediff.h"

#include <QTest>

namespace {

int marks(const QImage &panel)
{
    int n = 0;
    for (int y = 0; y < panel.height(); ++y)
        for (int x = 0; x < panel.width(); ++x)
            n += panel.pixel(x, y) == pagediff::Mark.rgb();
    return n;
}

}  // namespace

class TestPageDiff : public QObject {
    Q_OBJECT
private slots:
    void marksDifferences_data();
    void marksDifferences();
    void panelsSideBySide();
};

void TestPageDiff::marksDifferences_data()
{
    QTest::addColumn<QImage>("second");
    QTest::addColumn<int>("expected");
    QTest::addColumn<QPoint>("marked");  // one pixel that must be marked, if any
    // A pure red page must not pass for marks, nor an alpha difference for one.
    QImage page(20, 10, QImage::Format_ARGB32);
    page.fill(pagediff::Mark);
    page.setPixel(3, 4, qRgb(10, 200, 30));
    QImage same = page.convertToFormat(QImage::Format_RGB32);
    QImage onePixel = page.copy();
    onePixel.setPixel(19, 9, qRgb(254, 0, 0));
    QImage wider(21, 10, QImage::Format_ARGB32);
    wider.fill(pagediff::Mark);
    wider.setPixel(3, 4, qRgb(10, 200, 30));
    QTest::newRow("equal") << same << 0 << QPoint(-1, -1);
    QTest::newRow("one pixel") << onePixel << 1 << QPoint(19, 9);
    QTest::newRow("one page wider") << wider << 10 << QPoint(20, 0);
    QTest::newRow("empty") << QImage() << 200 << QPoint(0, 0);
}

void TestPageDiff::marksDifferences()
{
    QFETCH(QImage, second);
    QFETCH(int, expected);
    QFETCH(QPoint, marked);
    QImage first(20, 10, QImage::Format_ARGB32);
    first.fill(pagediff::Mark);
    first.setPixel(3, 4, qRgb(10, 200, 30));
    const QImage panel = pagediff::differences(first, second);
    QCOMPARE(panel.size(), first.size().expandedTo(second.size()));
    QCOMPARE(marks(panel), expected);
    if (marked.x() >= 0)
        QCOMPARE(panel.pixel(marked), pagediff::Mark.rgb());
    if (second.rect().contains(3, 4))
        QVERIFY(panel.pixel(3, 4) != pagediff::Mark.rgb());
}

void TestPageDiff::panelsSideBySide()
{
    QImage first(30, 20, QImage::Format_RGB32), second(30, 24, QImage::Format_RGB32);
    first.fill(Qt::blue);
    second.fill(Qt::blue);
    const QImage shot = pagediff::sideBySide(first, second);
    // Each page whole, then the panel as tall as the taller: only the four
    // rows the first page lacks are marked.
    QVERIFY(shot.width() >= 3 * 30 && shot.height() >= 24);
    QCOMPARE(marks(shot), 30 * 4);
}

QTEST_GUILESS_MAIN(TestPageDiff)
#include "test_pagediff.moc"
