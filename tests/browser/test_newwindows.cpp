// SPDX-License-Identifier: GPL-3.0-or-later
// Opening browser windows: engine choice, the directory switch, creation
// failures, File > New and Open, the address bar and the navigation buttons.

#include "core/errors.h"
#include "app/forms.h"
#include "app/mainform.h"
#include "browser/childie.h"
#include "browser/childmoz.h"
#include "testsupport.h"
#include "whenopen.h"

#include <QDir>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>

class TestNewWindows : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void fileNewPerEngine();
    void toolButtonIsFileNew();
    void directorySwitch_data();
    void directorySwitch();
    void classNotRegisteredOpensNothing();
    void activationFailureOpensNothing();
    void navigateFailureKeepsWindow();
    void fileOpenChoosesAFile();
    void addressBarSetting_data();
    void addressBarSetting();
    void enterVariantsGo();
    void navigationActsOnActiveWindowOnly();
    void fileCloseClosesActiveWindow();
    void windowMenuListsAndActivates();
    void tilingAndMinimizing();

private:
    static ScriptedEngine *engineOf(QMdiSubWindow *w)
    {
        return ScriptedCase::engineOf(qobject_cast<TBrowserWindow *>(w));
    }

    ScriptedCase fixture_;
};

void TestNewWindows::init()
{
    fixture_.begin();
}

void TestNewWindows::cleanup()
{
    fixture_.end();
}

void TestNewWindows::fileNewPerEngine()
{
    MainForm->FileNew1->trigger();
    QMdiSubWindow *ie = MainForm->MDIClient->currentSubWindow();
    QVERIFY(qobject_cast<Tfrm_IE *>(ie));
    QCOMPARE(ie->windowTitle(), QString("Internet Explorer"));
    QCOMPARE(engineOf(ie)->calls, QStringList{"Navigate "});
    MainForm->Moz_Item->trigger();
    QVERIFY(MainForm->Moz_Item->isChecked());
    QVERIFY(!MainForm->IE_item->isChecked());
    MainForm->FileNew1->trigger();
    QMdiSubWindow *mz = MainForm->MDIClient->currentSubWindow();
    QVERIFY(qobject_cast<Tfrm_MZ *>(mz));
    QCOMPARE(mz->windowTitle(), QString("Gecko"));
    QCOMPARE(engineOf(mz)->calls, QStringList{"Navigate about:blank"});
    // Windows keep their engine when the choice changes.
    MainForm->IE_item->trigger();
    QVERIFY(qobject_cast<Tfrm_MZ *>(mz));
    QVERIFY(fixture_.errors().messages.isEmpty());
}

void TestNewWindows::toolButtonIsFileNew()
{
    MainForm->ToolButton1->click();
    QCOMPARE(MainForm->MDIClient->subWindowList().size(), 1);
    QCOMPARE(MainForm->MDIClient->currentSubWindow()->windowTitle(), QString("Internet Explorer"));
}

void TestNewWindows::directorySwitch_data()
{
    QTest::addColumn<QString>("mozilla");
    QTest::addColumn<bool>("folderExists");
    QTest::addColumn<bool>("changes");
    QTest::newRow("1, folder") << "1" << true << true;
    QTest::newRow("257, folder") << "257" << true << true;
    QTest::newRow("2, folder") << "2" << true << false;
    QTest::newRow("1, missing") << "1" << false << false;
    QTest::newRow("257, missing") << "257" << false << false;
}

void TestNewWindows::directorySwitch()
{
    QFETCH(QString, mozilla);
    QFETCH(bool, folderExists);
    QFETCH(bool, changes);
    QTemporaryDir moz;
    const QString path = folderExists ? moz.path() : moz.path() + "/missing";
    fixture_.dirs().writeIni(QStringLiteral("[Option]\r\nMozPath=%1\r\nMozilla=%2\r\n").arg(path, mozilla).toLocal8Bit());
    const QString before = QDir::currentPath();
    for (bool gecko : {false, true}) {
        gecko ? MainForm->Moz_ItemClick() : MainForm->IE_itemClick();
        MainForm->FileNew1->trigger();
    }
    if (folderExists) {
        QCOMPARE(MainForm->MDIClient->subWindowList().size(), 2);
        QCOMPARE(QDir::currentPath(), changes ? QDir(path).canonicalPath() : before);
        QVERIFY(fixture_.errors().messages.isEmpty());
    } else {
        QCOMPARE(MainForm->MDIClient->subWindowList().size(), 0);
        QCOMPARE(QDir::currentPath(), before);
        QCOMPARE(fixture_.errors().messages, QStringList({"ファイルが見つかりません.", "ファイルが見つかりません."}));
    }
}

void TestNewWindows::classNotRegisteredOpensNothing()
{
    engines::registerEngine(engines::MOZILLA_CLSID, {});
    MainForm->Moz_ItemClick();
    MainForm->FileNew1->trigger();
    QVERIFY(MainForm->MDIClient->subWindowList().isEmpty());
    QCOMPARE(fixture_.errors().messages, QStringList{"クラスが登録されていません。."});
    QVERIFY(MainForm->txtAddress->text().isEmpty());
}

void TestNewWindows::activationFailureOpensNothing()
{
    engines::registerEngine(engines::IE_CLSID, [](QWidget *) -> EngineControl * {
        throw VexelError(engines::activationFailedMessage());
    });
    MainForm->txtAddress->setText("http://x/");
    MainForm->btnMove->click();
    QVERIFY(MainForm->MDIClient->subWindowList().isEmpty());
    QCOMPARE(fixture_.errors().messages, QStringList{"OLE コントロールのアクティベートに失敗しました."});
}

void TestNewWindows::navigateFailureKeepsWindow()
{
    engines::registerEngine(engines::IE_CLSID, [](QWidget *parent) -> EngineControl * {
        auto *e = new ScriptedEngine(parent);
        e->failWith = QStringLiteral("アクセスが拒否されました。");
        return e;
    });
    MainForm->FileNew1->trigger();
    QCOMPARE(MainForm->MDIClient->subWindowList().size(), 1);
    QCOMPARE(MainForm->MDIClient->currentSubWindow()->windowTitle(), QString("Internet Explorer"));
    QCOMPARE(fixture_.errors().messages, QStringList{"アクセスが拒否されました。."});
}

void TestNewWindows::fileOpenChoosesAFile()
{
    QTemporaryDir folder;
    const QString file = folder.path() + "/page.html";
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("<title>t</title>");
    f.close();
    MainForm->OpenDialog->setOption(QFileDialog::DontUseNativeDialog);
    // The file dialog, while it is up and modal.
    const auto openDialog = [] {
        return WhenOpen::activeModal() == MainForm->OpenDialog ? WhenOpen::activeModal() : nullptr;
    };
    // Cancel: nothing.
    {
        WhenOpen cancel([](QWidget *) { MainForm->OpenDialog->reject(); }, openDialog);
        MainForm->FileOpen1->trigger();
        QVERIFY(cancel.done());
    }
    QVERIFY(MainForm->MDIClient->subWindowList().isEmpty());
    // Answered until it has closed: the dialog refuses a file it has not
    // listed yet.
    WhenOpen choose([&](QWidget *) {
                        if (auto *name = MainForm->OpenDialog->findChild<QLineEdit *>("fileNameEdit"))
                            name->setText(file);
                        QMetaObject::invokeMethod(MainForm->OpenDialog, "accept");
                    },
                    openDialog);
    choose.repeatWhileOpen();
    MainForm->FileOpen1->trigger();
    QVERIFY(choose.done());
    QCOMPARE(MainForm->MDIClient->subWindowList().size(), 1);
    QMdiSubWindow *w = MainForm->MDIClient->currentSubWindow();
    QVERIFY(w->windowTitle().isEmpty());
    QCOMPARE(engineOf(w)->calls, QStringList{"Navigate " + file});
    QCOMPARE(QDir::currentPath(), QDir(folder.path()).canonicalPath());
    QCOMPARE(MainForm->OpenDialog->nameFilters(), QStringList{"すべてのファイル (*)"});
}

void TestNewWindows::addressBarSetting_data()
{
    QTest::addColumn<QString>("setting");
    QTest::addColumn<bool>("newWindow");
    QTest::newRow("0") << "0" << false;
    QTest::newRow("1") << "1" << true;
    QTest::newRow("2") << "2" << false;
    QTest::newRow("257") << "257" << true;
    QTest::newRow("missing") << "" << false;
}

void TestNewWindows::addressBarSetting()
{
    QFETCH(QString, setting);
    QFETCH(bool, newWindow);
    // No window open: a new one whatever the setting.
    fixture_.dirs().writeIni(QStringLiteral("[Option_Window]\r\nAddressBar=%1\r\n").arg(setting).toLatin1());
    MainForm->txtAddress->setText("example.com");
    QTest::keyClick(MainForm->txtAddress, Qt::Key_Return);
    QCOMPARE(MainForm->MDIClient->subWindowList().size(), 1);
    QMdiSubWindow *first = MainForm->MDIClient->currentSubWindow();
    QCOMPARE(engineOf(first)->calls, QStringList{"Navigate example.com"});
    MainForm->txtAddress->setText("  second.example  ");
    QTest::keyClick(MainForm->txtAddress, Qt::Key_Return);
    QCOMPARE(MainForm->MDIClient->subWindowList().size(), newWindow ? 2 : 1);
    QMdiSubWindow *target = MainForm->MDIClient->currentSubWindow();
    QCOMPARE(engineOf(target)->calls.last(), QString("Navigate   second.example  "));
}

void TestNewWindows::enterVariantsGo()
{
    MainForm->FileNew1->trigger();
    ScriptedEngine *e = engineOf(MainForm->MDIClient->currentSubWindow());
    e->calls.clear();
    MainForm->txtAddress->setText("a.jp");
    QTest::keyClick(MainForm->txtAddress, Qt::Key_Return, Qt::ShiftModifier);
    QTest::keyClick(MainForm->txtAddress, Qt::Key_Return, Qt::ControlModifier);
    QTest::keyClick(MainForm->txtAddress, Qt::Key_Enter, Qt::KeypadModifier);
    QTest::keyClick(MainForm->txtAddress, Qt::Key_B);
    QCOMPARE(e->calls, QStringList({"Navigate a.jp", "Navigate a.jp", "Navigate a.jp"}));
    QCOMPARE(MainForm->txtAddress->text(), QString("a.jpb"));  // other keys reach the field
    // An empty field is passed on as it is.
    MainForm->txtAddress->clear();
    MainForm->btnMove->click();
    QCOMPARE(e->calls.last(), QString("Navigate "));
}

void TestNewWindows::navigationActsOnActiveWindowOnly()
{
    MainForm->FileNew1->trigger();
    QMdiSubWindow *ie = MainForm->MDIClient->currentSubWindow();
    MainForm->Moz_ItemClick();
    MainForm->FileNew1->trigger();
    QMdiSubWindow *mz = MainForm->MDIClient->currentSubWindow();
    engineOf(ie)->calls.clear();
    engineOf(mz)->calls.clear();
    for (QToolButton *b : {MainForm->BackCtrl, MainForm->FrwrdCtrl, MainForm->StopCtrl, MainForm->ReLoadCtrl})
        b->setEnabled(true);
    MainForm->BackCtrl->click();
    MainForm->FrwrdCtrl->click();
    MainForm->StopCtrl->click();
    MainForm->ReLoadCtrl->click();
    QCOMPARE(engineOf(mz)->calls, QStringList({"GoBack", "GoForward", "Stop", "Refresh"}));
    QVERIFY(engineOf(ie)->calls.isEmpty());
    MainForm->MDIClient->setActiveSubWindow(ie);
    MainForm->ReLoadCtrl->setEnabled(true);
    MainForm->ReLoadCtrl->click();
    QCOMPARE(engineOf(ie)->calls, QStringList{"Refresh"});
    // An engine's failure is reported; the frame goes on.
    engineOf(ie)->failWith = "E_FAIL";
    MainForm->ReLoadCtrl->click();
    QCOMPARE(fixture_.errors().messages, QStringList{"E_FAIL."});
}

void TestNewWindows::fileCloseClosesActiveWindow()
{
    MainForm->FileNew1->trigger();
    MainForm->FileNew1->trigger();
    QVERIFY(MainForm->FileClose1->isEnabled());
    for (QAction *a : {MainForm->WindowCascade1, MainForm->WindowTileVertical1})
        QVERIFY(a->isEnabled());
    QMdiSubWindow *active = MainForm->MDIClient->currentSubWindow();
    QPointer<QMdiSubWindow> guard(active);
    MainForm->FileClose1->trigger();
    QTRY_VERIFY(guard.isNull());
    QCOMPARE(MainForm->MDIClient->subWindowList().size(), 1);
    MainForm->FileClose1->trigger();
    QTRY_VERIFY(MainForm->MDIClient->subWindowList().isEmpty());
    QVERIFY(!MainForm->FileClose1->isEnabled());
    QVERIFY(!MainForm->WindowCascade1->isEnabled());
}

void TestNewWindows::windowMenuListsAndActivates()
{
    MainForm->OpenBrowserWindow("One & only", "a");
    QMdiSubWindow *first = MainForm->MDIClient->currentSubWindow();
    MainForm->OpenBrowserWindow("Two", "b");
    QMetaObject::invokeMethod(MainForm->Window1, "aboutToShow");
    QStringList items;
    for (QAction *a : MainForm->Window1->actions())
        if (!a->isSeparator())
            items << a->text() + (a->isChecked() ? "*" : "");
    QCOMPARE(items.mid(5), QStringList({"&1 One && only", "&2 Two*"}));
    MainForm->Window1->actions().at(MainForm->Window1->actions().size() - 2)->trigger();
    QCOMPARE(MainForm->MDIClient->currentSubWindow(), first);
}

void TestNewWindows::tilingAndMinimizing()
{
    MainForm->resize(800, 600);
    MainForm->OpenBrowserWindow("a", "a");
    MainForm->OpenBrowserWindow("b", "b");
    const QList<QMdiSubWindow *> w = MainForm->MDIClient->subWindowList(QMdiArea::CreationOrder);
    const QRect area = MainForm->MDIClient->viewport()->rect();
    MainForm->WindowTileVertical1->trigger();
    QCOMPARE(w[0]->geometry(), QRect(0, 0, area.width() / 2, area.height()));
    QCOMPARE(w[1]->x(), area.width() / 2);
    MainForm->WindowTileHorizontal1->trigger();
    QCOMPARE(w[0]->geometry(), QRect(0, 0, area.width(), area.height() / 2));
    QCOMPARE(w[1]->y(), area.height() / 2);
    MainForm->WindowCascade1->trigger();
    QVERIFY(w[1]->y() > w[0]->y());
    MainForm->WindowMinimizeAll1->trigger();
    QVERIFY(w[0]->isMinimized() && w[1]->isMinimized());
    MainForm->WindowArrangeAll1->trigger();
    QCOMPARE(w[0]->geometry().bottom(), area.bottom());
    QCOMPARE(w[1]->y(), w[0]->y());
    QVERIFY(w[1]->x() >= w[0]->geometry().right());
}

VEXEL_TEST_MAIN(TestNewWindows)
#include "test_newwindows.moc"
