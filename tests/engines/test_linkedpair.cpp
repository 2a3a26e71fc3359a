// SPDX-License-Identifier: GPL-3.0-or-later
// A page in both engines side by side: the pair follows a scroll and a
// navigation from either side, both captions show the link while it lasts,
// and one window closing sets the other free.

#include "webkittests.h"

#include "app/framekeys.h"
#include "app/linkedpairs.h"

namespace {

// Blocks of one height without ids (the anchor is a path of child indexes);
// the title tells how far the page is scrolled.
QByteArray longPage()
{
    QByteArray blocks;
    for (int i = 0; i < 200; ++i)
        blocks += "<div style=\"height:37px;white-space:nowrap\">" + QByteArray::number(i) + "</div>";
    return "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>long 0</title></head>"
           "<body style=\"margin:0\"><section>" +
           blocks +
           "</section><script>addEventListener('scroll', () => "
           "{ document.title = 'long ' + Math.round(scrollY); });</script></body></html>";
}

}  // namespace

class TestLinkedPair : public EngineTest {
    Q_OBJECT
private slots:
    void followsBothWays_data() { engineRows(); }
    void followsBothWays();
};

void TestLinkedPair::followsBothWays()
{
#ifndef VEXEL_GECKO_ROWS
    QSKIP("the Gecko slot's engine host is not built");
#endif
    QFETCH(QString, engine);
    const QString mark = TBrowserWindow::LinkedMark;
    const QString longUrl = fixture_.pages().write(QStringLiteral("long.html"), longPage());
    const QString secondUrl = fixture_.pages().page(QStringLiteral("second.html"), "second");
    MainForm->Moz_Item->setEnabled(true);
    TBrowserWindow *first = openOn(engine, longUrl);
    QVERIFY(first);
    QTRY_COMPARE_WITH_TIMEOUT(first->windowTitle(), QString("long 0"), kWait);

    MainForm->Keys->SideBySideAction->trigger();
    TBrowserWindow *second = MainForm->Keys->LinkedPairs->partnerOf(first);
    QVERIFY(second);
    QVERIFY(isGecko(engine) == !geckoOf(second));
    QTRY_COMPARE_WITH_TIMEOUT(second->windowTitle(), mark + "long 0", kWait);
    QCOMPARE(first->windowTitle(), mark + "long 0");
    QCOMPARE(first->pageCaption(), QString("long 0"));
    QVERIFY(!first->control()->followsEngineRules() && !second->control()->followsEngineRules());
    // Side by side, the first on the left.
    QCOMPARE(first->geometry().top(), second->geometry().top());
    QVERIFY(first->geometry().right() < second->geometry().left());

    // The wheel over the first page: the second comes to the same place,
    // and no echo moves the first on.
    QVERIFY(movePointer(onScreen(first->control(), first->control()->rect().center())));
    QVERIFY(xdotool({"click", "--repeat", "3", "5"}));
    QTRY_VERIFY_WITH_TIMEOUT(first->windowTitle() != mark + "long 0" &&
                                 second->windowTitle() == first->windowTitle(),
                             kWait);

    // A navigation of the second's page follows in the first, and going
    // back in the first follows in the second.
    second->control()->Navigate(secondUrl);
    QTRY_COMPARE_WITH_TIMEOUT(first->windowTitle(), mark + "second", kWait);
    QTRY_COMPARE_WITH_TIMEOUT(first->control()->LocationURL(), secondUrl, kWait);
    first->control()->GoBack();
    QTRY_VERIFY_WITH_TIMEOUT(second->windowTitle().startsWith(mark + "long"), kWait);
    QCOMPARE(second->control()->LocationURL(), longUrl);

    // Closing one ends the link.
    second->close();
    QTRY_VERIFY_WITH_TIMEOUT(MainForm->browserWindows().size() == 1, kWait);
    QVERIFY(!first->windowTitle().startsWith(mark));
    QVERIFY(first->control()->followsEngineRules());
    first->close();
    QTRY_VERIFY_WITH_TIMEOUT(MainForm->browserWindows().isEmpty(), kWait);
}

VEXEL_TEST_MAIN(TestLinkedPair)
#include "test_linkedpair.moc"
