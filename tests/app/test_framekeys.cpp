// SPDX-License-Identifier: GPL-3.0-or-later
// The keys every browser has, on the scripted engine: what each does to the
// active window, the fields that keep Esc for themselves, the windows kept
// for reopening, the find bar's counts, and where the frame's own windows
// open.

#include "app/findbar.h"
#include "app/forms.h"
#include "app/framekeys.h"
#include "app/browsinghistory.h"
#include "app/keylistform.h"
#include "app/mainform.h"
#include "bookmarks/bmedit.h"
#include "browser/childie.h"
#include "browser/childmoz.h"
#include "browser/pagedialogs.h"
#include "history/historyform.h"
#include "testsupport.h"
#include "whenopen.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMessageBox>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>

class TestFrameKeys : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void keysActOnTheActivePage_data();
    void keysActOnTheActivePage();
    void escapeStopsOnlyALoad();
    void fieldsKeepEscape();
    void nextAndPreviousWindowInOpeningOrder();
    void closedWindowsComeBack();
    void findBarSaysWhatItFound();
    void keyListShowsEveryKey();
    void ownWindowsOpenCentredAndCloseWithEscape();

private:
    TBrowserWindow *open(bool ie, const QString &address = QStringLiteral("http://example.com/"))
    {
        return fixture_.open(ie, address);
    }
    static ScriptedEngine *engineOf(TBrowserWindow *w) { return ScriptedCase::engineOf(w); }
    void activate();

    ScriptedCase fixture_;
};

void TestFrameKeys::init()
{
    fixture_.begin();
}

void TestFrameKeys::cleanup()
{
    fixture_.endWithoutErrors();
}

void TestFrameKeys::activate()
{
    MainForm->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(MainForm));
}

void TestFrameKeys::keysActOnTheActivePage_data()
{
    QTest::addColumn<QKeyCombination>("key");
    QTest::addColumn<QString>("call");
    QTest::newRow("F5") << QKeyCombination(Qt::Key_F5) << "Refresh";
    QTest::newRow("Ctrl+R") << QKeyCombination(Qt::CTRL, Qt::Key_R) << "Refresh";
    QTest::newRow("Shift+F5") << QKeyCombination(Qt::SHIFT, Qt::Key_F5) << "RefreshBypassingCache";
    QTest::newRow("Ctrl+F5") << QKeyCombination(Qt::CTRL, Qt::Key_F5) << "RefreshBypassingCache";
    QTest::newRow("Alt+Left") << QKeyCombination(Qt::ALT, Qt::Key_Left) << "GoBack";
    QTest::newRow("Alt+Right") << QKeyCombination(Qt::ALT, Qt::Key_Right) << "GoForward";
}

void TestFrameKeys::keysActOnTheActivePage()
{
    QFETCH(QKeyCombination, key);
    QFETCH(QString, call);
    TBrowserWindow *behind = open(true);
    TBrowserWindow *w = open(false);
    activate();
    engineOf(w)->calls.clear();
    engineOf(behind)->calls.clear();
    // From the page and from the address field alike.
    w->control()->setFocus();
    QTest::keyClick(w->control(), key.key(), key.keyboardModifiers());
    MainForm->txtAddress->setFocus();
    QTest::keyClick(MainForm->txtAddress, key.key(), key.keyboardModifiers());
    QCOMPARE(engineOf(w)->calls, QStringList({call, call}));
    QVERIFY(engineOf(behind)->calls.isEmpty());
}

void TestFrameKeys::escapeStopsOnlyALoad()
{
    TBrowserWindow *w = open(true);
    activate();
    w->control()->setFocus();
    engineOf(w)->calls.clear();
    // A page that has loaded keeps Esc for itself.
    engineOf(w)->raiseProgress(0, 0);
    QVERIFY(!MainForm->StopCtrl->isEnabled());
    QTest::keyClick(w->control(), Qt::Key_Escape);
    QVERIFY(engineOf(w)->calls.isEmpty());
    engineOf(w)->raiseProgress(10, 100);
    QVERIFY(MainForm->StopCtrl->isEnabled());
    QTest::keyClick(w->control(), Qt::Key_Escape);
    QCOMPARE(engineOf(w)->calls, QStringList{"Stop"});
}

void TestFrameKeys::fieldsKeepEscape()
{
    TBrowserWindow *w = open(true);
    engineOf(w)->location = "http://example.com/";
    engineOf(w)->raiseTitle("Example");
    engineOf(w)->raiseProgress(10, 100);  // loading: Esc would stop it
    activate();
    engineOf(w)->calls.clear();

    // Ctrl+L selects the address; Esc takes typed text back, selected.
    QTest::keyClick(w->control(), Qt::Key_L, Qt::ControlModifier);
    QCOMPARE(QApplication::focusWidget(), MainForm->txtAddress);
    QCOMPARE(MainForm->txtAddress->selectedText(), QString("http://example.com/"));
    QTest::keyClicks(MainForm->txtAddress, "typed");
    QTest::keyClick(MainForm->txtAddress, Qt::Key_Escape);
    QCOMPARE(MainForm->txtAddress->text(), QString("http://example.com/"));
    QCOMPARE(MainForm->txtAddress->selectedText(), QString("http://example.com/"));
    QVERIFY(engineOf(w)->calls.isEmpty());

    // Esc in the find field closes the bar and gives the page the focus.
    auto *bar = MainForm->findChild<TFindBar *>();
    QTest::keyClick(MainForm->txtAddress, Qt::Key_F, Qt::ControlModifier);
    QVERIFY(bar->isVisible());
    QTest::keyClick(bar->txtFind, Qt::Key_Escape);
    QVERIFY(!bar->isVisible());
    QVERIFY(!engineOf(w)->calls.contains("Stop"));
}

void TestFrameKeys::nextAndPreviousWindowInOpeningOrder()
{
    TBrowserWindow *a = open(true);
    TBrowserWindow *b = open(true);
    TBrowserWindow *c = open(true);
    activate();
    MainForm->MDIClient->setActiveSubWindow(a);
    const QList<QPair<QKeyCombination, TBrowserWindow *>> steps = {
        {QKeyCombination(Qt::CTRL, Qt::Key_Tab), b},
        {QKeyCombination(Qt::CTRL, Qt::Key_F6), c},
        {QKeyCombination(Qt::CTRL, Qt::Key_Tab), a},  // round again
        {QKeyCombination(Qt::CTRL | Qt::SHIFT, Qt::Key_Backtab), c},
        {QKeyCombination(Qt::CTRL | Qt::SHIFT, Qt::Key_F6), b},
    };
    for (const auto &[key, expected] : steps) {
        QTest::keyClick(MainForm->ActiveMDIChild()->control(), key.key(), key.keyboardModifiers());
        QCOMPARE(MainForm->ActiveMDIChild(), expected);
    }
    QTest::keyClick(b->control(), Qt::Key_W, Qt::ControlModifier);
    QTRY_COMPARE(MainForm->browserWindows().size(), 2);
}

void TestFrameKeys::closedWindowsComeBack()
{
    // A blank window is not kept; a page is, with its engine, caption and
    // history.
    open(true, QString())->close();
    QCOMPARE(MainForm->Keys->closedCount(), 0);
    TBrowserWindow *gecko = open(false, "http://gecko.example/");
    engineOf(gecko)->location = "http://gecko.example/";
    engineOf(gecko)->savedHistory = "gecko-history";
    gecko->setWindowTitle("Gecko page");
    gecko->close();
    TBrowserWindow *ie = open(true, "http://ie.example/");
    engineOf(ie)->location = "http://ie.example/";
    ie->close();
    QTRY_VERIFY(MainForm->browserWindows().isEmpty());

    activate();
    QTest::keyClick(MainForm, Qt::Key_T, Qt::ControlModifier | Qt::ShiftModifier);
    TBrowserWindow *back = MainForm->ActiveMDIChild();
    QVERIFY(qobject_cast<Tfrm_IE *>(back));
    QCOMPARE(engineOf(back)->calls, QStringList{"Navigate http://ie.example/"});
    MainForm->Keys->ReopenClosedWindow();
    back = MainForm->ActiveMDIChild();
    QVERIFY(qobject_cast<Tfrm_MZ *>(back));
    QCOMPARE(back->windowTitle(), QString("Gecko page"));
    QCOMPARE(engineOf(back)->calls, QStringList{"RestoreHistory gecko-history"});
    MainForm->Keys->ReopenClosedWindow();  // nothing left
    QCOMPARE(MainForm->browserWindows().size(), 2);

    // Only the last ten are kept.
    for (int i = 0; i < TFrameKeys::kKeptClosed + 3; ++i) {
        TBrowserWindow *w = open(true, "http://example.com/");
        engineOf(w)->location = QString("http://example.com/%1").arg(i);
        w->close();
        QTRY_COMPARE(MainForm->browserWindows().size(), 2);
    }
    QCOMPARE(MainForm->Keys->closedCount(), TFrameKeys::kKeptClosed);
}

void TestFrameKeys::findBarSaysWhatItFound()
{
    TBrowserWindow *w = open(true);
    auto *bar = MainForm->findChild<TFindBar *>();
    bar->openBar();
    // Above the status strip, not below it.
    QTRY_VERIFY(bar->isVisible() && MainForm->ToolBar1->isVisible());
    QVERIFY(bar->geometry().bottom() <= MainForm->ToolBar1->geometry().top());

    bar->txtFind->setText("apple");
    QCOMPARE(engineOf(w)->calls.last(), QString("Find apple"));
    const QList<std::tuple<int, int, QString, bool>> results = {
        {3, 17, "3 / 17 件", false},
        {0, 4, "4 件", false},
        {0, 0, "見つかりません", true},
        {1, 1, "1 / 1 件", false},
    };
    const QColor plain = bar->txtFind->palette().color(QPalette::Base);
    for (const auto &[active, count, text, marked] : results) {
        engineOf(w)->raiseFindResult(active, count);
        QCOMPARE(bar->lblFindCount->text(), text);
        QCOMPARE(bar->txtFind->palette().color(QPalette::Base) != plain, marked);
    }
    // A window behind does not speak for the one in front.
    TBrowserWindow *front = open(true);
    engineOf(w)->raiseFindResult(0, 0);
    QCOMPARE(bar->lblFindCount->text(), QString("1 / 1 件"));
    Q_UNUSED(front);
    bar->txtFind->clear();
    QCOMPARE(bar->lblFindCount->text(), QString());
}

void TestFrameKeys::keyListShowsEveryKey()
{
    activate();
    QTest::keyClick(MainForm, Qt::Key_F1);
    TKeyListForm *list = MainForm->Keys->keyListForm();
    QVERIFY(list && list->isVisible());
    QStringList shown;
    for (int i = 0; i < list->lstKeys->topLevelItemCount(); ++i)
        shown << list->lstKeys->topLevelItem(i)->text(0);
    const QString all = shown.join('\n');
    // Every shortcut of the frame is listed, the keys of this list and the
    // menus' ones alike.
    for (QAction *action : MainForm->findChildren<QAction *>()) {
        // The frame's own: not a field's, not one of another window, not
        // one that does nothing.
        auto *owner = qobject_cast<QWidget *>(action->parent());
        if (action->shortcutContext() == Qt::WidgetShortcut || !action->isEnabled() ||
            (owner && owner->window() != MainForm))
            continue;
        for (const QKeySequence &key : action->shortcuts())
            QVERIFY2(all.contains(key.toString(QKeySequence::NativeText).replace("Backtab", "Tab")),
                     qPrintable(action->objectName()));
    }
    QApplication::setActiveWindow(list);
    QTRY_COMPARE(QApplication::activeWindow(), list);
    QTest::keyClick(list->lstKeys, Qt::Key_Escape);
    QVERIFY(!list->isVisible());
}

void TestFrameKeys::ownWindowsOpenCentredAndCloseWithEscape()
{
    MainForm->setGeometry(50, 40, 700, 520);
    activate();
    auto centredOnFrame = [](QWidget *w) {
        const QPoint off = w->frameGeometry().center() - MainForm->frameGeometry().center();
        return off.manhattanLength() <= 8;
    };
    // The history window (Ctrl+H); Esc closes it.
    QTest::keyClick(MainForm, Qt::Key_H, Qt::ControlModifier);
    THistoryForm *history = MainForm->browsingHistory()->historyForm();
    QVERIFY(history && history->isVisible());
    QVERIFY(centredOnFrame(history));
    QApplication::setActiveWindow(history);
    QTRY_COMPARE(QApplication::activeWindow(), history);
    QTest::keyClick(history, Qt::Key_Escape);
    QVERIFY(!history->isVisible());

    // Ctrl+D opens the bookmark editor on the active page.
    TBrowserWindow *w = open(true);
    engineOf(w)->location = "http://example.com/";
    engineOf(w)->raiseTitle("Example");
    activate();
    QTest::keyClick(w->control(), Qt::Key_D, Qt::ControlModifier);
    QVERIFY(frm_BMEdit->isVisible());
    QCOMPARE(frm_BMEdit->txtURL->text(), QString("http://example.com/"));
    frm_BMEdit->close();

    // A page's message box is wide enough for its whole title.
    int width = 0, title = 0;
    WhenOpen box([&](QMessageBox *b) {
        width = b->width();
        title = b->fontMetrics().horizontalAdvance(b->windowTitle());
    });
    pagedialogs::alert(w->control(), "OK");
    QVERIFY2(width >= title + 100, qPrintable(QString("%1 %2").arg(width).arg(title)));
}

VEXEL_TEST_MAIN(TestFrameKeys)
#include "test_framekeys.moc"
