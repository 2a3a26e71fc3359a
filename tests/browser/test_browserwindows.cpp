// SPDX-License-Identifier: GPL-3.0-or-later
// Browser windows on the scripted engine: what each event does to the
// window and to the frame, for the active window and for one behind it.

#include "app/forms.h"
#include "app/mainform.h"
#include "browser/childie.h"
#include "browser/childmoz.h"
#include "testsupport.h"

#include <QLineEdit>
#include <QMdiArea>
#include <QProgressBar>
#include <QToolButton>

class TestBrowserWindows : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void ieProgressRule();
    void geckoProgressRule();
    void reactivationShowsWhatTheRuleShowed();
    void commandStatesGoToTheRaisingWindow();
    void unknownCommandEnablesReloadOnly();
    void backgroundWindowLeavesFrameAlone();
    void titleBecomesCaptionAndAddress();
    void failedLocationKeepsCaption();
    void newWindowRequests();
    void failedNewWindowLeavesRequestUncancelled();
    void pageOpensInTheOtherEngine_data();
    void pageOpensInTheOtherEngine();
    void closingLastWindowResetsFrame();
    void closingBackgroundWindowKeepsActiveDisplay();
    void newWindowCopiesFrameButtons();
    void controlFillsClientArea();

private:
    TBrowserWindow *open(bool ie, const QString &address = QString()) { return fixture_.open(ie, address); }
    static ScriptedEngine *engineOf(TBrowserWindow *w) { return ScriptedCase::engineOf(w); }

    ScriptedCase fixture_;
};

void TestBrowserWindows::init()
{
    fixture_.begin();
}

void TestBrowserWindows::cleanup()
{
    fixture_.endWithoutErrors();
}

void TestBrowserWindows::ieProgressRule()
{
    TBrowserWindow *w = open(true);
    ScriptedEngine *e = engineOf(w);
    QProgressBar *bar = MainForm->ProgressBar1;
    e->raiseProgress(50, 200);
    QCOMPARE(bar->value(), 25);
    e->raiseProgress(-1, 100);
    QCOMPARE(bar->value(), 0);
    e->raiseProgress(70, 100);
    e->raiseProgress(0, 0);
    QCOMPARE(bar->value(), 0);
    e->raiseProgress(70, 100);
    e->raiseProgress(5, 0);
    QCOMPARE(bar->value(), 70);
    e->raiseProgress(300, 100);
    QCOMPARE(bar->value(), 100);
    // Stop follows the load: on while it runs, off when it is over.
    QToolButton *stop = MainForm->StopCtrl;
    e->raiseProgress(0, 100);
    QVERIFY(stop->isEnabled());
    QVERIFY(w->StopEnabled);
    e->raiseProgress(99, 100);
    QVERIFY(stop->isEnabled());
    e->raiseProgress(100, 100);
    QVERIFY(!stop->isEnabled());
    e->raiseProgress(40, 100);
    e->raiseProgress(-1, 100);
    QVERIFY(!stop->isEnabled());
    e->raiseProgress(40, 100);
    e->raiseProgress(0, 0);
    QVERIFY(!stop->isEnabled());
    QVERIFY(!w->StopEnabled);
}

void TestBrowserWindows::geckoProgressRule()
{
    TBrowserWindow *w = open(false);
    ScriptedEngine *e = engineOf(w);
    QProgressBar *bar = MainForm->ProgressBar1;
    QToolButton *stop = MainForm->StopCtrl;
    e->raiseProgress(30, 60);
    QCOMPARE(bar->value(), 50);
    QVERIFY(stop->isEnabled());
    e->raiseProgress(60, 60);
    QCOMPARE(bar->value(), 0);
    QVERIFY(!stop->isEnabled());
    e->raiseProgress(-1, -1);
    QCOMPARE(bar->value(), 0);
    QVERIFY(!stop->isEnabled());
    e->raiseProgress(40, 100);
    e->raiseProgress(0, 100);  // keeps the bar, enables Stop
    QCOMPARE(bar->value(), 40);
    QVERIFY(stop->isEnabled());
    e->raiseProgress(5, 0);
    QCOMPARE(bar->value(), 40);
    QVERIFY(stop->isEnabled());
    e->raiseProgress(250, 100);  // 100 or more: empty bar, Stop off
    QCOMPARE(bar->value(), 0);
    QVERIFY(!stop->isEnabled());
}

void TestBrowserWindows::reactivationShowsWhatTheRuleShowed()
{
    TBrowserWindow *ie = open(true);
    engineOf(ie)->raiseProgress(5000, 10000);
    QCOMPARE(MainForm->ProgressBar1->value(), 50);
    TBrowserWindow *mz = open(false);
    engineOf(mz)->raiseProgress(100, 100);  // finished: empty bar
    MainForm->MDIClient->setActiveSubWindow(ie);
    QCOMPARE(MainForm->ProgressBar1->value(), 50);
    MainForm->MDIClient->setActiveSubWindow(mz);
    QCOMPARE(MainForm->ProgressBar1->value(), 0);
    QVERIFY(!MainForm->StopCtrl->isEnabled());
}

void TestBrowserWindows::commandStatesGoToTheRaisingWindow()
{
    TBrowserWindow *first = open(true);
    TBrowserWindow *second = open(true);
    QCOMPARE(MainForm->ActiveMDIChild(), second);
    // The window behind gets a back history: its own states change, the
    // frame's and the active window's do not.
    engineOf(first)->raiseCommandState(EngineControl::NavigationCommand::Back, true);
    QVERIFY(first->BackEnabled);
    QVERIFY(first->ReloadEnabled);
    QVERIFY(!second->BackEnabled);
    QVERIFY(!MainForm->BackCtrl->isEnabled());
    MainForm->MDIClient->setActiveSubWindow(first);
    QVERIFY(MainForm->BackCtrl->isEnabled());
    QVERIFY(MainForm->ReLoadCtrl->isEnabled());
    MainForm->MDIClient->setActiveSubWindow(second);
    QVERIFY(!MainForm->BackCtrl->isEnabled());
    QVERIFY(!MainForm->ReLoadCtrl->isEnabled());
    engineOf(second)->raiseCommandState(EngineControl::NavigationCommand::Forward, true);
    QVERIFY(MainForm->FrwrdCtrl->isEnabled());
    QVERIFY(second->ForwardEnabled);
    QVERIFY(!first->ForwardEnabled);
}

void TestBrowserWindows::unknownCommandEnablesReloadOnly()
{
    TBrowserWindow *w = open(true);
    engineOf(w)->raiseProgress(1, 10);  // a load under way: Stop usable
    engineOf(w)->raiseCommandState(EngineControl::NavigationCommand(-1), true);
    QVERIFY(!MainForm->BackCtrl->isEnabled());
    QVERIFY(!MainForm->FrwrdCtrl->isEnabled());
    QVERIFY(MainForm->ReLoadCtrl->isEnabled());
    QVERIFY(MainForm->StopCtrl->isEnabled());  // all four states shown
    QVERIFY(w->ReloadEnabled);
    QVERIFY(w->StopEnabled);
    QVERIFY(!w->BackEnabled);
}

void TestBrowserWindows::backgroundWindowLeavesFrameAlone()
{
    TBrowserWindow *first = open(true);
    engineOf(first)->location = "http://first/";
    TBrowserWindow *second = open(true);
    engineOf(second)->location = "http://second/";
    MainForm->MDIClient->setActiveSubWindow(first);
    MainForm->MDIClient->setActiveSubWindow(second);
    engineOf(second)->raiseStatusText("active text");
    engineOf(first)->raiseStatusText("http://first/link");
    engineOf(first)->raiseProgress(30, 100);
    engineOf(first)->raiseTitle("First page");
    QCOMPARE(MainForm->StatusBar1->panelText(), QString("active text"));
    QCOMPARE(MainForm->ProgressBar1->value(), 0);
    QCOMPARE(MainForm->txtAddress->text(), QString("http://second/"));
    QCOMPARE(first->windowTitle(), QString("First page"));  // its own caption does change
    QCOMPARE(first->LastStatusText, QString("http://first/link"));
    MainForm->MDIClient->setActiveSubWindow(first);
    QCOMPARE(MainForm->StatusBar1->panelText(), QString("http://first/link"));
    QCOMPARE(MainForm->ProgressBar1->value(), 30);
    QCOMPARE(MainForm->txtAddress->text(), QString("http://first/"));
}

void TestBrowserWindows::titleBecomesCaptionAndAddress()
{
    TBrowserWindow *w = open(true, "http://example.com/");
    engineOf(w)->location = "http://example.com/index.html";
    MainForm->txtAddress->setText("typed by the user");
    engineOf(w)->raiseTitle("Example");
    QCOMPARE(w->windowTitle(), QString("Example"));
    QCOMPARE(MainForm->txtAddress->text(), QString("http://example.com/index.html"));
    QCOMPARE(engineOf(w)->calls, QStringList{"Navigate http://example.com/"});
}

void TestBrowserWindows::failedLocationKeepsCaption()
{
    TBrowserWindow *w = open(true);
    MainForm->txtAddress->setText("kept");
    engineOf(w)->failLocation = true;
    engineOf(w)->raiseTitle("New title");
    QCOMPARE(w->windowTitle(), QString("New title"));
    QCOMPARE(MainForm->txtAddress->text(), QString("kept"));
    QCOMPARE(fixture_.errors().messages, QStringList{"LocationURL failed."});
    fixture_.errors().messages.clear();
}

void TestBrowserWindows::newWindowRequests()
{
    TBrowserWindow *ie = open(true);
    engineOf(ie)->raiseStatusText("http://hovered/");
    // The requested address wins over the status text; the caption is the
    // requesting window's kind, the engine the one chosen now.
    MainForm->Moz_ItemClick();
    QVERIFY(engineOf(ie)->raiseNewWindow("http://requested/"));
    TBrowserWindow *child = MainForm->ActiveMDIChild();
    QVERIFY(qobject_cast<Tfrm_MZ *>(child));
    QCOMPARE(child->windowTitle(), QString("Internet Explorer"));
    QCOMPARE(engineOf(child)->calls, QStringList{"Navigate http://requested/"});
    // No address from the engine: the last status text.
    engineOf(child)->raiseStatusText("http://status/");
    MainForm->IE_itemClick();
    QVERIFY(engineOf(child)->raiseNewWindow(QString()));
    TBrowserWindow *grandchild = MainForm->ActiveMDIChild();
    QVERIFY(qobject_cast<Tfrm_IE *>(grandchild));
    QCOMPARE(grandchild->windowTitle(), QString("Mozilla"));
    QCOMPARE(engineOf(grandchild)->calls, QStringList{"Navigate http://status/"});
    QCOMPARE(MainForm->MDIClient->subWindowList().size(), 3);
}

void TestBrowserWindows::failedNewWindowLeavesRequestUncancelled()
{
    TBrowserWindow *w = open(true);
    engines::registerEngine(engines::IE_CLSID, {});
    QVERIFY(!engineOf(w)->raiseNewWindow("http://x/"));
    QCOMPARE(fixture_.errors().messages, QStringList{"クラスが登録されていません。."});
    fixture_.errors().messages.clear();
    QCOMPARE(MainForm->MDIClient->subWindowList().size(), 1);
}

void TestBrowserWindows::pageOpensInTheOtherEngine_data()
{
    QTest::addColumn<bool>("fromIE");
    QTest::addColumn<bool>("byShortcut");
    QTest::newRow("IE, page menu") << true << false;
    QTest::newRow("IE, Ctrl+Shift+E") << true << true;
    QTest::newRow("Gecko, page menu") << false << false;
    QTest::newRow("Gecko, Ctrl+Shift+E") << false << true;
}

void TestBrowserWindows::pageOpensInTheOtherEngine()
{
    QFETCH(bool, fromIE);
    QFETCH(bool, byShortcut);
    TBrowserWindow *w = open(fromIE, "http://page/");
    engineOf(w)->location = "http://page/";
    auto ask = [&] {
        if (byShortcut) {
            MainForm->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(MainForm));
            QTest::keyClick(MainForm, Qt::Key_E, Qt::ControlModifier | Qt::ShiftModifier);
        } else {
            emit engineOf(w)->OtherEngineRequested();
        }
    };
    ask();
    QCOMPARE(MainForm->MDIClient->subWindowList().size(), 2);
    TBrowserWindow *other = MainForm->ActiveMDIChild();
    QCOMPARE(bool(qobject_cast<Tfrm_IE *>(other)), !fromIE);
    QCOMPARE(engineOf(other)->calls, QStringList{"Navigate http://page/"});
    // The engine chosen in the menu stays as it was.
    QCOMPARE(MainForm->IE_item->isChecked(), fromIE);

    // Without the Gecko engine an IE page goes nowhere; a Gecko page still
    // goes to IE.
    MainForm->MDIClient->setActiveSubWindow(w);
    MainForm->Moz_Item->setEnabled(false);
    ask();
    QCOMPARE(MainForm->MDIClient->subWindowList().size(), fromIE ? 2 : 3);
    QVERIFY(engineOf(w)->OtherEngineAvailable == nullptr || engineOf(w)->OtherEngineAvailable() != fromIE);
}

void TestBrowserWindows::closingLastWindowResetsFrame()
{
    TBrowserWindow *w = open(true);
    engineOf(w)->location = "http://page/";
    engineOf(w)->raiseCommandState(EngineControl::NavigationCommand::Back, true);
    engineOf(w)->raiseProgress(40, 100);
    engineOf(w)->raiseStatusText("status");
    engineOf(w)->raiseTitle("t");
    MainForm->StopCtrl->setEnabled(true);
    w->close();
    QTRY_VERIFY(MainForm->MDIClient->subWindowList().isEmpty());
    QCOMPARE(MainForm->ProgressBar1->value(), 0);
    QVERIFY(MainForm->txtAddress->text().isEmpty());
    QVERIFY(MainForm->StatusBar1->panelText().isEmpty());
    QVERIFY(!MainForm->ReLoadCtrl->isEnabled());
    QVERIFY(MainForm->BackCtrl->isEnabled());
    QVERIFY(MainForm->StopCtrl->isEnabled());
    // Back with no window does nothing.
    MainForm->BackCtrl->click();
    QVERIFY(!MainForm->FileClose1->isEnabled());
}

void TestBrowserWindows::closingBackgroundWindowKeepsActiveDisplay()
{
    TBrowserWindow *first = open(true);
    TBrowserWindow *second = open(true);
    engineOf(second)->location = "http://second/";
    engineOf(second)->raiseTitle("Second");
    engineOf(second)->raiseStatusText("second status");
    first->close();
    QTRY_COMPARE(MainForm->MDIClient->subWindowList().size(), 1);
    QCOMPARE(MainForm->ActiveMDIChild(), second);
    QCOMPARE(MainForm->txtAddress->text(), QString("http://second/"));
    QCOMPARE(MainForm->StatusBar1->panelText(), QString("second status"));
}

void TestBrowserWindows::newWindowCopiesFrameButtons()
{
    MainForm->BackCtrl->setEnabled(true);
    MainForm->StopCtrl->setEnabled(true);
    MainForm->ReLoadCtrl->setEnabled(true);
    TBrowserWindow *w = open(false);
    QVERIFY(w->BackEnabled);
    QVERIFY(!w->ForwardEnabled);
    QVERIFY(w->StopEnabled);
    QVERIFY(!w->ReloadEnabled);
    // Activation put the copied states back, Reload disabled.
    QVERIFY(MainForm->BackCtrl->isEnabled());
    QVERIFY(!MainForm->ReLoadCtrl->isEnabled());
}

void TestBrowserWindows::controlFillsClientArea()
{
    for (bool ie : {true, false}) {
        TBrowserWindow *w = open(ie);
        // Where the control lies in its window (the hidden notice bar above
        // it takes no room).
        const auto placed = [w] { return QRect(w->control()->mapTo(w, QPoint()), w->control()->size()); };
        for (QSize size : {QSize(300, 200), QSize(450, 330)}) {
            w->resize(size);
            // The control fills the client area inside the child's real frame.
            QTRY_COMPARE(placed(), w->contentsRect());
            QVERIFY(w->width() - w->control()->width() <= 20);
        }
        MainForm->MDIClient->setActiveSubWindow(nullptr);
        MainForm->MDIClient->setActiveSubWindow(w);
        QCOMPARE(placed(), w->contentsRect());
    }
}

VEXEL_TEST_MAIN(TestBrowserWindows)
#include "test_browserwindows.moc"
