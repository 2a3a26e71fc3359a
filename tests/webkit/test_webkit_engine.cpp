// The Gecko slot's real engine on local pages, through the frame: what a
// page reports (title, address, progress, history, links, new windows), and
// a Gecko window beside an IE window.

#include "webkittests.h"

#include <QLineEdit>
#include <QProgressBar>
#include <QToolButton>

class TestWebKitEngine : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init() { failOnXErrors(); }
    void titleBecomesCaptionAndAddress();
    void finishedLoadLeavesEmptyBarAndStopDisabled();
    void backAndForwardStates();
    void addressesAsTyped();
    void hoveringALinkShowsItsAddress();
    void pageAsksForNewWindow_data();
    void pageAsksForNewWindow();
    void pageOpensInTheOtherEngine_data();
    void pageOpensInTheOtherEngine();
    void commandsActOnTheActiveWindowOnly();
    void findAndZoom();
    void pageClosesItsWindow();
    void engineDataStaysInTheDataFolders();
};

void TestWebKitEngine::initTestCase()
{
    engines::registerBuiltInEngines();
}

void TestWebKitEngine::titleBecomesCaptionAndAddress()
{
    TestDirs dirs;
    prepareFrame(dirs);
    ErrorRecorder errors;
    Forms forms;
    Pages pages;
    const QString url = pages.page("a.html", "ページ A");

    TBrowserWindow *w = openGecko(url);
    QVERIFY(geckoOf(w));
    QCOMPARE(w->objectName(), QString("frm_MZ"));
    QTRY_COMPARE(w->windowTitle(), QString("ページ A"));
    QCOMPARE(w->control()->LocationURL(), url);
    QCOMPARE(MainForm->txtAddress->text(), url);
    QVERIFY(errors.messages.isEmpty());
}

void TestWebKitEngine::finishedLoadLeavesEmptyBarAndStopDisabled()
{
    TestDirs dirs;
    prepareFrame(dirs);
    Forms forms;
    Pages pages;
    const QString url = pages.page("a.html", "A", "<p>text</p>");

    // Recorded from the start: the window connects to the control when it
    // is made, the spy right after.
    MainForm->Moz_Item->setEnabled(true);
    MainForm->Moz_ItemClick();
    MainForm->OpenBrowserWindow(QString(), QStringLiteral("about:blank"));
    TBrowserWindow *w = MainForm->ActiveMDIChild();
    QTRY_COMPARE(w->control()->LocationURL(), QString("about:blank"));
    QTRY_VERIFY(!MainForm->StopCtrl->isEnabled());

    QSignalSpy progress(w->control(), &EngineControl::ProgressChange);
    // Runs after the window's own handler, which was connected first.
    bool stopSeenEnabled = false;
    connect(w->control(), &EngineControl::ProgressChange, this, [&](int p, int) {
        if (p < 100)
            stopSeenEnabled = stopSeenEnabled || MainForm->StopCtrl->isEnabled();
    });
    w->control()->Navigate(url);
    QTRY_COMPARE(w->windowTitle(), QString("A"));
    QTRY_VERIFY(!progress.isEmpty() && progress.last().at(0).toInt() == 100);
    QCOMPARE(progress.last().at(1).toInt(), 100);
    QVERIFY(progress.size() >= 2);  // something before the end
    QCOMPARE(MainForm->ProgressBar1->value(), 0);
    QVERIFY(!MainForm->StopCtrl->isEnabled());
    QVERIFY(stopSeenEnabled);
    QCOMPARE(w->ShownProgress, 0);
}

void TestWebKitEngine::backAndForwardStates()
{
    TestDirs dirs;
    prepareFrame(dirs);
    Forms forms;
    Pages pages;
    const QString one = pages.page("one.html", "one");
    const QString two = pages.page("two.html", "two");

    TBrowserWindow *w = openGecko(one);
    QTRY_COMPARE(w->windowTitle(), QString("one"));
    QTRY_VERIFY(MainForm->ReLoadCtrl->isEnabled());
    QVERIFY(!MainForm->BackCtrl->isEnabled());
    QVERIFY(!MainForm->FrwrdCtrl->isEnabled());

    MainForm->txtAddress->setText(two);
    MainForm->btnMoveClick();
    QTRY_COMPARE(w->windowTitle(), QString("two"));
    QTRY_VERIFY(MainForm->BackCtrl->isEnabled());
    QVERIFY(!MainForm->FrwrdCtrl->isEnabled());
    QCOMPARE(MainForm->MDIClient->subWindowList().size(), 1);

    MainForm->BackCtrlClick();
    QTRY_COMPARE(w->windowTitle(), QString("one"));
    QTRY_VERIFY(!MainForm->BackCtrl->isEnabled());
    QTRY_VERIFY(MainForm->FrwrdCtrl->isEnabled());
    QCOMPARE(w->control()->LocationURL(), one);
    QCOMPARE(MainForm->txtAddress->text(), one);

    MainForm->FrwrdCtrlClick();
    QTRY_COMPARE(w->windowTitle(), QString("two"));
    QTRY_VERIFY(MainForm->BackCtrl->isEnabled());
    QTRY_VERIFY(!MainForm->FrwrdCtrl->isEnabled());
    QVERIFY(w->BackEnabled);
    QVERIFY(!w->ForwardEnabled);
}

void TestWebKitEngine::addressesAsTyped()
{
    TestDirs dirs;
    prepareFrame(dirs);
    Forms forms;
    Pages pages;
    const QString url = pages.page("typed.html", "typed");

    // An absolute path is a local file; an empty address a blank page.
    TBrowserWindow *w = openGecko(QUrl(url).toLocalFile());
    QTRY_COMPARE(w->windowTitle(), QString("typed"));
    QCOMPARE(w->control()->LocationURL(), url);
    w->control()->Navigate(QString());
    QTRY_COMPARE(w->control()->LocationURL(), QString("about:blank"));
}

void TestWebKitEngine::hoveringALinkShowsItsAddress()
{
    TestDirs dirs;
    prepareFrame(dirs);
    Forms forms;
    QVERIFY(activateFrame());
    Pages pages;
    const QString target = pages.page("target.html", "target");
    const QString url = pages.page(
        "links.html", "links",
        "<a href=\"target.html\" style=\"position:absolute;left:20px;top:20px;width:200px;height:40px;"
        "display:block;background:#ccf\">link</a>");

    TBrowserWindow *w = openGecko(url);
    QTRY_COMPARE(w->windowTitle(), QString("links"));
    QWidget *page = w->control();
    QVERIFY(movePointer(onScreen(page, QPoint(60, 40))));
    QTRY_COMPARE(MainForm->StatusBar1->panelText(), target);
    QCOMPARE(w->LastStatusText, target);
    QVERIFY(movePointer(onScreen(page, QPoint(60, 150))));
    QTRY_COMPARE(MainForm->StatusBar1->panelText(), QString());

    // Leaving the page straight from the link clears it too.
    QVERIFY(movePointer(onScreen(page, QPoint(60, 40))));
    QTRY_COMPARE(MainForm->StatusBar1->panelText(), target);
    QVERIFY(movePointer(onScreen(page, QPoint(60, -10))));  // the window's title bar
    QTRY_COMPARE(MainForm->StatusBar1->panelText(), QString());
}

void TestWebKitEngine::pageOpensInTheOtherEngine_data()
{
    QTest::addColumn<bool>("fromGecko");
    QTest::newRow("Gecko to Internet Explorer") << true;
    QTest::newRow("Internet Explorer to Gecko") << false;
}

void TestWebKitEngine::pageOpensInTheOtherEngine()
{
    QFETCH(bool, fromGecko);
    TestDirs dirs;
    prepareFrame(dirs);
    ErrorRecorder errors;
    Forms forms;
    QVERIFY(activateFrame());
    Pages pages;
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
    QVERIFY(errors.messages.isEmpty());
}

void TestWebKitEngine::pageAsksForNewWindow_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("ieChosen");
    const QByteArray blank = "<a href=\"opened.html\" target=\"_blank\" style=\"position:absolute;left:20px;"
                             "top:20px;width:200px;height:40px;display:block;background:#ccf\">new</a>";
    const QByteArray script = "<button onclick=\"window.open('opened.html')\" style=\"position:absolute;"
                              "left:20px;top:20px;width:200px;height:40px\">open</button>";
    QTest::newRow("target=_blank, Gecko chosen") << blank << false;
    QTest::newRow("target=_blank, IE chosen") << blank << true;
    QTest::newRow("window.open, Gecko chosen") << script << false;
    QTest::newRow("window.open, IE chosen") << script << true;
}

void TestWebKitEngine::pageAsksForNewWindow()
{
    QFETCH(QByteArray, body);
    QFETCH(bool, ieChosen);
    TestDirs dirs;
    prepareFrame(dirs);
    ErrorRecorder errors;
    Forms forms;
    QVERIFY(activateFrame());
    Pages pages;
    const QString opened = pages.page("opened.html", "opened");
    const QString url = pages.page("opener.html", "opener", body);

    TBrowserWindow *opener = openGecko(url);
    QTRY_COMPARE(opener->windowTitle(), QString("opener"));
    if (ieChosen)
        MainForm->IE_itemClick();
    // Every caption a new window takes, in order.
    QStringList captions;
    connect(MainForm->MDIClient, &QMdiArea::subWindowActivated, this, [&](QMdiSubWindow *sub) {
        if (sub && sub != opener && captions.isEmpty()) {
            captions << sub->windowTitle();
            connect(sub, &QWidget::windowTitleChanged, this, [&](const QString &t) { captions << t; });
        }
    });
    QVERIFY(clickAt(onScreen(opener->control(), QPoint(60, 40))));
    QTRY_COMPARE(MainForm->MDIClient->subWindowList().size(), 2);
    TBrowserWindow *child = MainForm->ActiveMDIChild();
    QVERIFY(child != opener);
    QCOMPARE(child->objectName(), ieChosen ? QString("frm_IE") : QString("frm_MZ"));
    QTRY_COMPARE(child->windowTitle(), QString("opened"));
    QVERIFY2(captions.contains("Mozilla"), qPrintable(captions.join('|')));
    QVERIFY(captions.indexOf("Mozilla") < captions.lastIndexOf("opened"));
    QTRY_COMPARE(child->control()->LocationURL(), opened);
    // The opener stays as it was.
    QCOMPARE(opener->control()->LocationURL(), url);
    QVERIFY(errors.messages.isEmpty());
}

void TestWebKitEngine::commandsActOnTheActiveWindowOnly()
{
    TestDirs dirs;
    prepareFrame(dirs);
    ErrorRecorder errors;
    Forms forms;
    QVERIFY(activateFrame());
    Pages pages;
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
    QVERIFY(errors.messages.isEmpty());
}

void TestWebKitEngine::findAndZoom()
{
    TestDirs dirs;
    prepareFrame(dirs);
    Forms forms;
    Pages pages;
    const QString url = pages.page("find.html", "find",
                                   "<p>alpha beta alpha</p><script>"
                                   "document.addEventListener('selectionchange',"
                                   "  () => { if (getSelection().toString()) document.title = 'sel:' + getSelection() });"
                                   "addEventListener('resize', () => { document.title = 'w:' + innerWidth });"
                                   "</script>");
    TBrowserWindow *w = openGecko(url);
    QTRY_COMPARE(w->windowTitle(), QString("find"));
    w->control()->FindText(QStringLiteral("BETA"), false);
    QTRY_COMPARE(w->windowTitle(), QString("sel:beta"));

    // Zoom lays the page out on fewer CSS pixels.
    QCOMPARE(w->control()->ZoomFactor(), 1.0);
    MainForm->WindowTileVertical1Execute();  // a known width, a resize report
    QTRY_VERIFY(w->windowTitle().startsWith("w:"));
    QTRY_COMPARE(w->windowTitle(), QString("w:%1").arg(w->control()->width()));
    w->control()->SetZoomFactor(2.0);
    QCOMPARE(w->control()->ZoomFactor(), 2.0);
    QTRY_COMPARE(w->windowTitle(), QString("w:%1").arg(w->control()->width() / 2));
}

void TestWebKitEngine::pageClosesItsWindow()
{
    TestDirs dirs;
    prepareFrame(dirs);
    Forms forms;
    QVERIFY(activateFrame());
    Pages pages;
    TBrowserWindow *w = openGecko(pages.page(
        "close.html", "close",
        "<button onclick=\"window.close()\" style=\"position:absolute;left:20px;top:20px;width:200px;"
        "height:40px\">close</button>"));
    QTRY_COMPARE(w->windowTitle(), QString("close"));
    QSignalSpy close(w->control(), &EngineControl::CloseRequested);
    QVERIFY(clickAt(onScreen(w->control(), QPoint(60, 40))));
    QTRY_COMPARE(close.size(), 1);
}

void TestWebKitEngine::engineDataStaysInTheDataFolders()
{
    TestDirs dirs;
    prepareFrame(dirs);
    Forms forms;
    Pages pages;
    const QString url = pages.page("store.html", "store",
                                   "<script>localStorage.setItem('k','v');document.title='stored'</script>");
    TBrowserWindow *w = openGecko(url);
    QTRY_COMPARE(w->windowTitle(), QString("stored"));
    const QString data = qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/Vexel/webkit");
    QTRY_VERIFY(QFileInfo::exists(data + QStringLiteral("/cookies.sqlite")) || QDir(data).count() > 2);
    // Nothing in the program's or the current directory.
    QCOMPARE(QDir(dirs.currentDir()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
}

VEXEL_TEST_MAIN(TestWebKitEngine)
#include "test_webkit_engine.moc"
