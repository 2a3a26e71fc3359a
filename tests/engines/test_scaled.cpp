// SPDX-License-Identifier: GPL-3.0-or-later
// At the frame's scale factor 2 (QT_SCALE_FACTOR=2, as the test is run):
// a page in either engine is laid out at the frame's size, with the user's
// zoom on top, and the bookmark editor fits the screen.

#include "webkittests.h"

#include "bookmarks/bmedit.h"

#include <QScreen>

namespace {

// Says in its title how wide the page is laid out, whenever that changes.
const QByteArray kWidthPage = R"html(<!DOCTYPE html><html><head><meta charset="utf-8"><title>-</title></head>
<body><script>
const tell = () => { document.title = 'width ' + window.innerWidth; };
window.addEventListener('resize', tell);
tell();
</script></body></html>)html";

int laidOutWidth(TBrowserWindow *w)
{
    const QString title = w->windowTitle();
    return title.startsWith(QLatin1String("width ")) ? title.mid(6).toInt() : -1;
}

}  // namespace

class TestScaled : public EngineTest {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        EngineTest::initTestCase();
        QCOMPARE(qApp->devicePixelRatio(), 2.0);
    }

    void pageFollowsScale_data();
    void pageFollowsScale();
    void bookmarkEditorFitsScreen();

};

void TestScaled::pageFollowsScale_data()
{
    QTest::addColumn<QString>("engine");
    QTest::addColumn<qreal>("zoom");
    for (const EngineSlot &e : engineSlots())
        for (const qreal zoom : {1.0, 1.5})
            QTest::addRow("%s zoom %g", e.tag, zoom) << e.clsid << zoom;
}

void TestScaled::pageFollowsScale()
{
    QFETCH(QString, engine);
    QFETCH(qreal, zoom);
    TBrowserWindow *w = openOn(engine, fixture_.pages().write("width.html", kWidthPage));
    QTRY_VERIFY_WITH_TIMEOUT(laidOutWidth(w) > 0, kWait);
    w->control()->SetZoomFactor(zoom);
    // As wide as the control in the frame's own units, narrower by the
    // user's zoom; a scroll bar's width either way.
    const auto near = [&] { return qAbs(laidOutWidth(w) - w->control()->width() / zoom) <= 20; };
    QTRY_VERIFY2_WITH_TIMEOUT(near(), qPrintable(QStringLiteral("%1 for a control %2 wide")
                                                     .arg(w->windowTitle())
                                                     .arg(w->control()->width())),
                              kWait);
}

void TestScaled::bookmarkEditorFitsScreen()
{
    Tfrm_BMEdit *editor = frm_BMEdit;
    editor->show();
    QVERIFY(QTest::qWaitForWindowExposed(editor));
    const QRect available = editor->screen()->availableGeometry();
    QVERIFY2(available.contains(editor->frameGeometry()),
             qPrintable(QStringLiteral("%1,%2 %3x%4 in %5x%6")
                            .arg(editor->frameGeometry().x())
                            .arg(editor->frameGeometry().y())
                            .arg(editor->frameGeometry().width())
                            .arg(editor->frameGeometry().height())
                            .arg(available.width())
                            .arg(available.height())));
    editor->hide();
}

int main(int argc, char *argv[])
{
    TestScaled tc;
    return vexelTestMain(argc, argv, &tc);
}

#include "test_scaled.moc"
