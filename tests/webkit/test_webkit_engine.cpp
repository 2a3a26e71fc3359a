// SPDX-License-Identifier: GPL-3.0-or-later
// The Gecko slot's real engine beside the other one: a page opened in the
// other engine, commands acting on the active window only, and where the
// engine keeps its data. What both engines share is in the engine contract
// test.

#include "webkittests.h"

#include <QLineEdit>
#include <QToolButton>

class TestWebKitEngine : public EngineTest {
    Q_OBJECT
private slots:
    void pageOpensInTheOtherEngine_data();
    void pageOpensInTheOtherEngine();
    void commandsActOnTheActiveWindowOnly();
    void engineDataStaysInTheDataFolders();
};

void TestWebKitEngine::pageOpensInTheOtherEngine_data()
{
    boolRows("fromGecko", "Internet Explorer to Gecko", "Gecko to Internet Explorer");
}

void TestWebKitEngine::pageOpensInTheOtherEngine()
{
    QFETCH(bool, fromGecko);
    const Pages &pages = fixture_.pages();
    const QString url = pages.page("both.html", "両方のエンジン");
    TBrowserWindow *first = fromGecko ? openGecko(url) : openIE(url);
    QTRY_COMPARE(first->windowTitle(), QString("両方のエンジン"));
    MainForm->OtherEngineAction->trigger();
    QTRY_COMPARE(MainForm->MDIClient->subWindowList().size(), 2);
    TBrowserWindow *second = MainForm->ActiveMDIChild();
    QCOMPARE(second->objectName(), fromGecko ? QString("frm_IE") : QString("frm_MZ"));
    QTRY_COMPARE(second->windowTitle(), QString("両方のエンジン"));
    QCOMPARE(second->control()->LocationURL(), url);
    QCOMPARE(MainForm->Moz_Item->isChecked(), fromGecko);
}

void TestWebKitEngine::commandsActOnTheActiveWindowOnly()
{
    const Pages &pages = fixture_.pages();
    const QString ie1 = pages.page("ie1.html", "ie1"), ie2 = pages.page("ie2.html", "ie2");
    const QString mz1 = pages.page("mz1.html", "mz1"), mz2 = pages.page("mz2.html", "mz2");

    TBrowserWindow *ie = openIE(ie1);
    QTRY_COMPARE(ie->windowTitle(), QString("ie1"));
    ie->control()->Navigate(ie2);
    QTRY_COMPARE(ie->windowTitle(), QString("ie2"));
    TBrowserWindow *mz = openGecko(mz1);
    QTRY_COMPARE(mz->windowTitle(), QString("mz1"));
    MainForm->txtAddress->setText(mz2);
    MainForm->btnMoveClick();  // acts on the active window: the Gecko one
    QTRY_COMPARE(mz->windowTitle(), QString("mz2"));
    QCOMPARE(ie->control()->LocationURL(), ie2);
    MainForm->WindowTileVertical1Execute();

    QTRY_VERIFY(MainForm->BackCtrl->isEnabled());
    MainForm->BackCtrlClick();
    QTRY_COMPARE(mz->windowTitle(), QString("mz1"));
    QCOMPARE(ie->windowTitle(), QString("ie2"));

    MainForm->MDIClient->setActiveSubWindow(ie);
    QCOMPARE(MainForm->txtAddress->text(), ie2);
    QVERIFY(MainForm->BackCtrl->isEnabled());
    MainForm->BackCtrlClick();
    QTRY_COMPARE(ie->windowTitle(), QString("ie1"));
    QCOMPARE(mz->control()->LocationURL(), mz1);

    MainForm->MDIClient->setActiveSubWindow(mz);
    QCOMPARE(MainForm->txtAddress->text(), mz1);
    QVERIFY(MainForm->FrwrdCtrl->isEnabled());
    MainForm->FrwrdCtrlClick();
    QTRY_COMPARE(mz->windowTitle(), QString("mz2"));
    QCOMPARE(ie->control()->LocationURL(), ie1);

    // Both kinds of window cascade alike: neither shrinks to nothing.
    const QSize before = mz->size();
    MainForm->WindowCascade1Execute();
    QCOMPARE(mz->size(), before);
}

void TestWebKitEngine::engineDataStaysInTheDataFolders()
{
    const Pages &pages = fixture_.pages();
    const QString url = pages.page("store.html", "store",
                                   "<script>localStorage.setItem('k','v');document.title='stored'</script>");
    TBrowserWindow *w = openGecko(url);
    QTRY_COMPARE(w->windowTitle(), QString("stored"));
    const QString data = qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/Vexel/webkit");
    QTRY_VERIFY(QFileInfo::exists(data + QStringLiteral("/cookies.sqlite")) || QDir(data).count() > 2);
    // Nothing in the program's or the current directory.
    QCOMPARE(QDir(fixture_.dirs().currentDir()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
}

VEXEL_TEST_MAIN(TestWebKitEngine)
#include "test_webkit_engine.moc"
