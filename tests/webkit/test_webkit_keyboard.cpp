// SPDX-License-Identifier: GPL-3.0-or-later
// Keyboard and focus with a Gecko page embedded in the frame, driven by real
// X input: keys go where the user clicked last, wherever the pointer rests.

#include "webkittests.h"
#include "settings/option.h"

#include <QLineEdit>

class TestWebKitKeyboard : public EngineTest {
    Q_OBJECT
private slots:
    void typingGoesIntoTheClickedInput();
    void typingGoesIntoTheAddressBarWhilePointerRestsOnPage();
    void frameShortcutsWorkWhilePageHasFocus();
    void tabLeavesThePage();
    void switchingChildrenMovesFocus();
    void keysGoToTheIEWindowBesideAGeckoPage();
    void keysRightAfterAClickReachThePage_data();
    void keysRightAfterAClickReachThePage();

private:
    // A page whose input sits at a known place and shows what it holds in
    // the title.
    QString inputPage(const QString &name);
    // Clicks into the input of a window's page.
    bool clickInput(TBrowserWindow *w);
    bool clickEmptyInput(TBrowserWindow *w);
};

QString TestWebKitKeyboard::inputPage(const QString &name)
{
    // Titled last: "empty" says the inputs are there.
    return fixture_.pages().page(name, "",
                        "<input id=\"first\" style=\"position:absolute;left:10px;top:10px;width:200px;height:30px\""
                        " oninput=\"document.title='v:'+this.value\""
                        " onfocus=\"if (!this.value) document.title='focus'\">"
                        "<input id=\"second\" style=\"position:absolute;left:10px;top:60px;width:200px;height:30px\""
                        " oninput=\"document.title='second:'+this.value\">"
                        "<script>document.title = 'empty';</script>");
}

bool TestWebKitKeyboard::clickInput(TBrowserWindow *w)
{
    return clickAt(onScreen(w->control(), QPoint(60, 25)));
}

// Clicks the page's empty first input and waits until the page has seen the
// click (its title says so), so the keys typed next cannot overtake it.
bool TestWebKitKeyboard::clickEmptyInput(TBrowserWindow *w)
{
    return clickInput(w) && QTest::qWaitFor([w] { return w->windowTitle() == QLatin1String("focus"); }, 10000);
}

void TestWebKitKeyboard::typingGoesIntoTheClickedInput()
{
    TBrowserWindow *w = openGecko(inputPage("input.html"));
    QTRY_COMPARE(w->windowTitle(), QString("empty"));
    const QString address = MainForm->txtAddress->text();

    QVERIFY(clickEmptyInput(w));
    QTRY_VERIFY(w->control()->hasFocus());
    QVERIFY(typeText("abc"));
    QTRY_COMPARE(w->windowTitle(), QString("v:abc"));

    // The pointer leaves the page (over the frame's status bar): the page
    // keeps the keys.
    QVERIFY(movePointer(onScreen(MainForm->StatusBar1, QPoint(10, 5))));
    QVERIFY(typeText("def"));
    QTRY_COMPARE(w->windowTitle(), QString("v:abcdef"));
    // And out of the frame altogether.
    QVERIFY(movePointer(onScreen(MainForm, QPoint(MainForm->width() + 50, 10))));
    QVERIFY(typeText("g"));
    QTRY_COMPARE(w->windowTitle(), QString("v:abcdefg"));
    QCOMPARE(MainForm->txtAddress->text(), address);
}

void TestWebKitKeyboard::typingGoesIntoTheAddressBarWhilePointerRestsOnPage()
{
    TBrowserWindow *w = openGecko(inputPage("input.html"));
    QTRY_COMPARE(w->windowTitle(), QString("empty"));
    QVERIFY(clickEmptyInput(w));
    QVERIFY(typeText("a"));
    QTRY_COMPARE(w->windowTitle(), QString("v:a"));

    QVERIFY(clickAt(onScreen(MainForm->txtAddress, MainForm->txtAddress->rect().center())));
    QTRY_VERIFY(MainForm->txtAddress->hasFocus());
    MainForm->txtAddress->clear();
    QVERIFY(movePointer(onScreen(w->control(), QPoint(60, 25))));  // over the input itself
    QVERIFY(typeText("xyz"));
    QTRY_COMPARE(MainForm->txtAddress->text(), QString("xyz"));
    QCOMPARE(w->windowTitle(), QString("v:a"));

    // Clicking the page again gives it the keys back. (Elsewhere in the
    // input than before: two clicks on one spot in quick succession would
    // be a double click selecting the word.)
    QVERIFY(clickAt(onScreen(w->control(), QPoint(150, 25))));
    QTRY_VERIFY(w->control()->hasFocus());
    QVERIFY(movePointer(onScreen(MainForm->txtAddress, QPoint(5, 5))));
    QVERIFY(typeText("b"));
    QTRY_COMPARE(w->windowTitle(), QString("v:ab"));
}

static int visibleOptionDialogs()
{
    int n = 0;
    for (QWidget *w : QApplication::topLevelWidgets())
        n += qobject_cast<Tfrm_Option *>(w) && w->isVisible();
    return n;
}

void TestWebKitKeyboard::frameShortcutsWorkWhilePageHasFocus()
{
    TBrowserWindow *w = openGecko(inputPage("input.html"));
    QTRY_COMPARE(w->windowTitle(), QString("empty"));
    QVERIFY(clickEmptyInput(w));
    QVERIFY(typeText("a"));
    QTRY_COMPARE(w->windowTitle(), QString("v:a"));

    // The pointer over the page, which has the focus.
    QVERIFY(pressKeys("ctrl+n"));
    QTRY_COMPARE(MainForm->MDIClient->subWindowList().size(), 2);
    QCOMPARE(w->windowTitle(), QString("v:a"));

    MainForm->MDIClient->setActiveSubWindow(w);
    QVERIFY(clickInput(w));
    QTRY_VERIFY(w->control()->hasFocus());
    const int dialogs = visibleOptionDialogs();
    QVERIFY(pressKeys("F12"));
    QTRY_COMPARE(visibleOptionDialogs(), dialogs + 1);
    QCOMPARE(w->windowTitle(), QString("v:a"));
}

void TestWebKitKeyboard::tabLeavesThePage()
{
    TBrowserWindow *w = openGecko(inputPage("input.html"));
    QTRY_COMPARE(w->windowTitle(), QString("empty"));
    QVERIFY(clickEmptyInput(w));
    QVERIFY(typeText("a"));
    QTRY_COMPARE(w->windowTitle(), QString("v:a"));

    // Tab moves within the page first ...
    QVERIFY(pressKeys("Tab"));
    QVERIFY(typeText("b"));
    QTRY_COMPARE(w->windowTitle(), QString("second:b"));
    // ... and past its last element out of it, into the frame.
    QVERIFY(pressKeys("Tab"));
    QTRY_VERIFY(!w->control()->hasFocus());
    QWidget *focus = QApplication::focusWidget();
    QVERIFY(focus);
    QVERIFY(!w->isAncestorOf(focus));
    QCOMPARE(focus, static_cast<QWidget *>(MainForm->txtAddress));
    MainForm->txtAddress->clear();
    QVERIFY(typeText("q"));  // the pointer still rests on the page
    QTRY_COMPARE(MainForm->txtAddress->text(), QString("q"));
    QCOMPARE(w->windowTitle(), QString("second:b"));
}

void TestWebKitKeyboard::switchingChildrenMovesFocus()
{
    TBrowserWindow *one = openGecko(inputPage("one.html"));
    QTRY_COMPARE(one->windowTitle(), QString("empty"));
    TBrowserWindow *two = openGecko(inputPage("two.html"));
    QTRY_COMPARE(two->windowTitle(), QString("empty"));
    MainForm->WindowTileVertical1Execute();

    QVERIFY(clickEmptyInput(one));
    QTRY_COMPARE(MainForm->ActiveMDIChild(), one);  // the click activates its window
    QVERIFY(typeText("a"));
    QTRY_COMPARE(one->windowTitle(), QString("v:a"));
    QVERIFY(clickEmptyInput(two));
    QTRY_COMPARE(MainForm->ActiveMDIChild(), two);
    QVERIFY(typeText("b"));
    QTRY_COMPARE(two->windowTitle(), QString("v:b"));
    QCOMPARE(one->windowTitle(), QString("v:a"));

    // Switched from the frame, with the pointer resting on the other page.
    MainForm->MDIClient->setActiveSubWindow(one);
    QTRY_VERIFY(one->control()->hasFocus());
    QVERIFY(typeText("c"));
    QTRY_COMPARE(one->windowTitle(), QString("v:ac"));
    QCOMPARE(two->windowTitle(), QString("v:b"));

    MainForm->MDIClient->setActiveSubWindow(two);
    QTRY_VERIFY(two->control()->hasFocus());
    QVERIFY(typeText("d"));
    QTRY_COMPARE(two->windowTitle(), QString("v:bd"));
    QCOMPARE(one->windowTitle(), QString("v:ac"));
}

void TestWebKitKeyboard::keysGoToTheIEWindowBesideAGeckoPage()
{
    TBrowserWindow *ie = openIE(inputPage("ie.html"));
    QTRY_COMPARE(ie->windowTitle(), QString("empty"));
    TBrowserWindow *mz = openGecko(inputPage("mz.html"));
    QTRY_COMPARE(mz->windowTitle(), QString("empty"));
    MainForm->WindowTileVertical1Execute();

    QVERIFY(clickEmptyInput(mz));
    QVERIFY(typeText("g"));
    QTRY_COMPARE(mz->windowTitle(), QString("v:g"));

    // Into the IE page, then back over the Gecko page to type.
    QVERIFY(clickEmptyInput(ie));
    QTRY_COMPARE(MainForm->ActiveMDIChild(), ie);
    QTRY_VERIFY(!mz->control()->hasFocus());
    QVERIFY(movePointer(onScreen(mz->control(), QPoint(60, 25))));
    QVERIFY(typeText("i"));
    QTRY_COMPARE(ie->windowTitle(), QString("v:i"));
    QCOMPARE(mz->windowTitle(), QString("v:g"));

    // And the Gecko page again, by a click.
    QVERIFY(clickAt(onScreen(mz->control(), QPoint(150, 25))));
    QTRY_COMPARE(MainForm->ActiveMDIChild(), mz);
    QVERIFY(movePointer(onScreen(ie->control(), QPoint(60, 25))));
    QVERIFY(typeText("h"));
    QTRY_COMPARE(mz->windowTitle(), QString("v:gh"));
    QCOMPARE(ie->windowTitle(), QString("v:i"));
}

void TestWebKitKeyboard::keysRightAfterAClickReachThePage_data()
{
    boolRows("gecko", "IE", "Gecko");
}

// A person clicks into a page that has just loaded and types at once: the
// first keys must not be lost while the page is taking the focus.
void TestWebKitKeyboard::keysRightAfterAClickReachThePage()
{
    QFETCH(bool, gecko);
    TBrowserWindow *w = gecko ? openGecko(inputPage("quick.html")) : openIE(inputPage("quick.html"));
    QTRY_COMPARE(w->windowTitle(), QString("empty"));
    MainForm->txtAddress->setFocus();
    QTRY_VERIFY(MainForm->txtAddress->hasFocus());
    const QString address = MainForm->txtAddress->text();
    const QPoint input = onScreen(w->control(), QPoint(60, 25));
    QVERIFY(movePointer(input));
    // One command: the keys follow the click with no pause at all.
    QVERIFY(xdotool({"click", "1", "type", "--delay", "30", "abc"}));
    QTRY_COMPARE(w->windowTitle(), QString("v:abc"));
    QCOMPARE(MainForm->txtAddress->text(), address);
}

VEXEL_TEST_MAIN(TestWebKitKeyboard)
#include "test_webkit_keyboard.moc"
