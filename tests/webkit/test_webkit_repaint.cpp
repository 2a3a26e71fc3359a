// SPDX-License-Identifier: GPL-3.0-or-later
// A Gecko page shows again where one of the frame's pop-ups (a tool tip, the
// address suggestions) lay over it once that pop-up closes, in both ways
// the engine host can draw.

#include "webkittests.h"

#include <QImage>
#include <QScopeGuard>
#include <QScreen>

#include <csignal>
#include <utility>

namespace {

// Stripes: a grey box left over them can never pass for the page.
const QByteArray kStripes = "<div style=\"position:fixed;inset:0;background:repeating-linear-gradient("
                            "45deg,#d00000 0 12px,#0030c0 12px 24px,#f0f000 24px 36px)\"></div>";

QImage grabRegion(const QRect &global)
{
    return QGuiApplication::primaryScreen()
        ->grabWindow(0, global.x(), global.y(), global.width(), global.height())
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
}

// Whether the stripes' red is on the screen there: the page has drawn.
bool showsStripes(const QImage &image)
{
    for (int y = 0; y < image.height(); y += 4)
        for (int x = 0; x < image.width(); x += 4)
            if (image.pixel(x, y) == qRgb(0xd0, 0, 0))
                return true;
    return false;
}

// Also after a failed check, which QTRY_* would not wait after.
bool stopHost()
{
    if (const qint64 pid = WebKitHost::runningProcessId())
        ::kill(pid_t(pid), SIGKILL);
    return QTest::qWaitFor([] { return WebKitHost::runningProcessId() == 0; }, kWait);
}

}  // namespace

class TestWebKitRepaint : public EngineTest {
    Q_OBJECT
private slots:
    void pageShowsAgainAfterPopup_data();
    void pageShowsAgainAfterPopup();
};

void TestWebKitRepaint::pageShowsAgainAfterPopup_data()
{
    // The engine's own switches, read when the host starts: each row has a
    // host of its own.
    QTest::addColumn<QByteArray>("drawing");
    QTest::newRow("composited") << QByteArray("WEBKIT_FORCE_COMPOSITING_MODE");
    QTest::newRow("not composited") << QByteArray("WEBKIT_DISABLE_COMPOSITING_MODE");
}

void TestWebKitRepaint::pageShowsAgainAfterPopup()
{
    QFETCH(QByteArray, drawing);
    QVERIFY(stopHost());
    qputenv(drawing.constData(), "1");
    auto restore = qScopeGuard([&] {
        qunsetenv(drawing.constData());
        QVERIFY(stopHost());
    });
    // The pointer away from the page: crossing it would repaint it anyway.
    QVERIFY(movePointer(QPoint(0, 0)));

    TBrowserWindow *w = openGecko(fixture_.pages().page("stripes.html", "stripes", kStripes));
    QTRY_COMPARE_WITH_TIMEOUT(w->windowTitle(), QString("stripes"), kWait);
    QWidget *page = w->control();
    const QRect region(onScreen(page, QPoint(20, 20)), QSize(200, 120));
    QImage before;
    QTRY_VERIFY_WITH_TIMEOUT(showsStripes(before = grabRegion(region)), kWait);
    // Drawn and settled: two grabs alike.
    const auto settled = [&] {
        const QImage now = grabRegion(region);
        return std::exchange(before, now) == now;
    };
    QTRY_VERIFY_WITH_TIMEOUT(settled(), kWait);

    QWidget popup(nullptr, Qt::ToolTip);
    popup.setAutoFillBackground(true);
    popup.setPalette(QPalette(Qt::gray));
    popup.setGeometry(region.adjusted(20, 20, -20, -20));
    popup.show();
    QVERIFY(QTest::qWaitForWindowExposed(&popup));
    QTRY_VERIFY(grabRegion(region) != before);
    popup.hide();

    QTRY_VERIFY(grabRegion(region) == before);
}

VEXEL_TEST_MAIN(TestWebKitRepaint)
#include "test_webkit_repaint.moc"
