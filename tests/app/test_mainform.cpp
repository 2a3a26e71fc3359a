// SPDX-License-Identifier: GPL-3.0-or-later
// The frame from start-up to close: menus and commands, the settings it
// reads and writes, the bottom strip, the about box, the error box.

#include "about/aboutbox.h"
#include "core/errors.h"
#include "app/forms.h"
#include "app/mainform.h"
#include "settings/option.h"
#include "settings/profile.h"
#include "testsupport.h"
#include "whenopen.h"

#include <QAction>
#include <QLabel>
#include <QSignalSpy>
#include <QClipboard>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>
#include <sys/stat.h>

class TestMainForm : public QObject {
    Q_OBJECT
private slots:
    void firstStartWithoutSettingsFile();
    void lastEngine_data();
    void lastEngine();
    void geckoCheckedAndDisabled();
    void closeWritesEngineAndBands();
    void closeWithReadOnlyDirectoryStillCloses();
    void menusCaptionsShortcutsAndHints();
    void saveItemsAlwaysDisabled();
    void menuItemsFollowAndRunTheirCommands();
    void windowCommandsNeedAChild();
    void bottomStripResizeRule();
    void optionsDialogEachTime();
    void aboutBoxReusedAndClosedByEnter();
    void errorBoxMessageRule();
    void editCommandsFollowSelectionAndClipboard();
};

static QList<QWidget *> visibleOptionDialogs()
{
    QList<QWidget *> list;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (qobject_cast<Tfrm_Option *>(w) && w->isVisible())
            list.append(w);
    return list;
}

void TestMainForm::firstStartWithoutSettingsFile()
{
    TestDirs dirs;
    ErrorRecorder errors;
    Forms forms;
    QVERIFY(MainForm->isVisible());
    QCOMPARE(MainForm->windowTitle(), QString("Vexel"));
    QCOMPARE(MainForm->ProgramDir, dirs.programDir());
    QCOMPARE(visibleOptionDialogs().size(), 1);
    QVERIFY(MainForm->IE_item->isChecked());
    QVERIFY(!MainForm->Moz_Item->isChecked());
    QVERIFY(!MainForm->Moz_Item->isEnabled());
    QVERIFY(MainForm->MDIClient->subWindowList().isEmpty());
    QVERIFY(!frm_Option->isVisible());
    QVERIFY(!frm_BMEdit || !reinterpret_cast<QWidget *>(frm_BMEdit)->isVisible());
    QVERIFY(!AboutBox->isVisible());
    QVERIFY(!QFile::exists(dirs.iniPath()));  // nothing written before close
    for (QToolButton *b : {MainForm->BackCtrl, MainForm->FrwrdCtrl, MainForm->StopCtrl, MainForm->ReLoadCtrl})
        QVERIFY(!b->isEnabled());
    QVERIFY(MainForm->ToolButton1->isEnabled());
    QCOMPARE(MainForm->ProgressBar1->minimum(), 0);
    QCOMPARE(MainForm->ProgressBar1->maximum(), 100);
    QVERIFY(errors.messages.isEmpty());
}

void TestMainForm::lastEngine_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("ie");
    QTest::newRow("IE") << QByteArray("LastEngine=IE") << true;
    QTest::newRow("ie") << QByteArray("LastEngine=ie") << false;
    QTest::newRow("Gecko") << QByteArray("LastEngine=Gecko") << false;
    QTest::newRow("empty") << QByteArray("LastEngine=") << false;
    QTest::newRow("quoted blank") << QByteArray("LastEngine=\"IE \"") << false;
    QTest::newRow("blanks around") << QByteArray("LastEngine =  IE  ") << true;
    QTest::newRow("missing") << QByteArray("Other=1") << true;
}

void TestMainForm::lastEngine()
{
    QFETCH(QByteArray, line);
    QFETCH(bool, ie);
    TestDirs dirs;
    dirs.writeIni("[General]\r\n" + line + "\r\n[Option_Main]\r\nMozilla=1\r\n");
    Forms forms;
    QCOMPARE(MainForm->IE_item->isChecked(), ie);
    QCOMPARE(MainForm->Moz_Item->isChecked(), !ie);
    QVERIFY(MainForm->Moz_Item->isEnabled());
    QVERIFY(visibleOptionDialogs().isEmpty());
}

void TestMainForm::geckoCheckedAndDisabled()
{
    TestDirs dirs;
    dirs.writeIni("[General]\r\nLastEngine=Gecko\r\n[Option_Main]\r\nMozilla=0\r\n");
    Forms forms;
    QVERIFY(MainForm->Moz_Item->isChecked());
    QVERIFY(!MainForm->Moz_Item->isEnabled());
    MainForm->IE_item->trigger();
    QVERIFY(MainForm->IE_item->isChecked());
    QVERIFY(!MainForm->Moz_Item->isChecked());
}

void TestMainForm::closeWritesEngineAndBands()
{
    TestDirs dirs;
    Forms forms;
    QSignalSpy closed(MainForm, &TMainForm::closed);
    MainForm->Moz_Item->setEnabled(true);
    MainForm->Moz_Item->trigger();
    MainForm->FileExit1->trigger();
    QCOMPARE(closed.size(), 1);
    QVERIFY(!MainForm->isVisible());
    const QString ini = dirs.iniPath();
    QCOMPARE(profile::readString(ini, "General", "LastEngine", ""), QString("Gecko"));
    QCOMPARE(profile::readInteger(ini, "Bar", "Band0ID", -1), 0);
    QCOMPARE(profile::readInteger(ini, "Bar", "Band1ID", -1), 1);
    QCOMPARE(profile::readString(ini, "Bar", "Band1Break", ""), QString("1"));
    // The key order of a close.
    const QByteArray bytes = dirs.readIni();
    QStringList keys;
    for (const QByteArray &l : bytes.split('\n'))
        if (l.contains('='))
            keys << QString::fromLatin1(l.left(l.indexOf('=')));
    QCOMPARE(keys, QStringList({"LastEngine", "Band0ID", "Band0Width", "Band0Break", "Band1ID", "Band1Width",
                                "Band1Break"}));
}

void TestMainForm::closeWithReadOnlyDirectoryStillCloses()
{
    TestDirs dirs;
    ErrorRecorder errors;
    Forms forms;
    QSignalSpy closed(MainForm, &TMainForm::closed);
    ::chmod(QFile::encodeName(dirs.programDir()).constData(), 0555);
    MainForm->close();
    ::chmod(QFile::encodeName(dirs.programDir()).constData(), 0755);
    QCOMPARE(errors.messages, QStringList{dirs.iniPath() + QStringLiteral(" に書き込めません.")});
    QCOMPARE(closed.size(), 1);
    QVERIFY(!MainForm->isVisible());
}

void TestMainForm::menusCaptionsShortcutsAndHints()
{
    TestDirs dirs;
    Forms forms;
    QStringList top;
    for (QAction *a : MainForm->MainMenu1->actions())
        top << a->text();
    QCOMPARE(top, QStringList({"ファイル(&F)", "ブックマーク(&A)", "ツール(&T)", "ウィンドウ(&W)", "ヘルプ(&H)"}));
    QStringList file;
    for (QAction *a : MainForm->File1->actions())
        file << (a->isSeparator() ? QStringLiteral("-") : a->text());
    QCOMPARE(file, QStringList({"新規作成(&N)\tCtrl+N", "開く(&O)...\tCtrl+O", "閉じる(&C)", "上書き保存(&S)\tCtrl+S", "名前をつけて保存(&A)...",
                                "-", "終了(&X)"}));
    QCOMPARE(MainForm->FileNew1->shortcut(), QKeySequence("Ctrl+N"));
    QCOMPARE(MainForm->FileOpen1->shortcut(), QKeySequence("Ctrl+O"));
    QCOMPARE(MainForm->FileSave1->shortcut(), QKeySequence("Ctrl+S"));
    QCOMPARE(MainForm->mnuOption->shortcut(), QKeySequence("F12"));
    QCOMPARE(MainForm->FileNew1->property("Hint").toString(), QString("新規|新規ファイルの作成"));
    QCOMPARE(MainForm->EditCopy1->text(), QString("コピー(&C)..."));
    QCOMPARE(MainForm->File1->menuAction()->property("Hint").toString(), QString("ファイル関連の機能"));
    QVERIFY(MainForm->FileNew1->statusTip().isEmpty());  // hints are displayed nowhere
    QStringList bookmarks;
    for (QAction *a : MainForm->mnuBookMark->actions())
        bookmarks << (a->isSeparator() ? QStringLiteral("-") : a->text());
    QCOMPARE(bookmarks.mid(0, 2), QStringList({"ブックマークを編集", "-"}));
    QStringList engine;
    for (QAction *a : MainForm->EngineItem->actions())
        engine << a->text();
    QCOMPARE(engine, QStringList({"Internet Explorer", "Gekko"}));
    QStringList window;
    for (QAction *a : MainForm->Window1->actions())
        window << a->text();
    QCOMPARE(window.mid(0, 5), QStringList({"重ねて表示(&C)", "水平に並べて表示(&H)", "垂直に並べて表示(&V)",
                                            "すべてを最小化(&M)", "アイコンの整列(&A)"}));
    QCOMPARE(MainForm->HelpAbout1->text(), QString("バージョン情報(&A)..."));
    // Tool bar: the new-window button, a separator, then the four navigation buttons.
    QList<QAction *> bar = MainForm->ToolBar2->actions();
    QCOMPARE(bar.size(), 6);
    QVERIFY(bar[1]->isSeparator());
    QCOMPARE(MainForm->ToolBar2->widgetForAction(bar[2]), static_cast<QWidget *>(MainForm->BackCtrl));
    QCOMPARE(MainForm->ToolBar2->widgetForAction(bar[5]), static_cast<QWidget *>(MainForm->ReLoadCtrl));
    QCOMPARE(MainForm->Label1->text(), QString("アドレス"));
    QCOMPARE(MainForm->btnMove->text(), QString("移動"));
    QCOMPARE(MainForm->ImageList1.size(), 13);
    for (const QIcon &icon : MainForm->ImageList1)
        QVERIFY(!icon.pixmap(16, 16).isNull());
}

void TestMainForm::saveItemsAlwaysDisabled()
{
    TestDirs dirs;
    Forms forms;
    MainForm->FileSave1->setEnabled(true);
    QMetaObject::invokeMethod(MainForm->File1, "aboutToShow");
    QVERIFY(!MainForm->FileSave1->isEnabled());
    QVERIFY(!MainForm->FileSaveAs1->isEnabled());
    // Ctrl+S does nothing, and nothing fails.
    ErrorRecorder errors;
    QTest::keyClick(MainForm, Qt::Key_S, Qt::ControlModifier);
    QVERIFY(errors.messages.isEmpty());
}

void TestMainForm::menuItemsFollowAndRunTheirCommands()
{
    TestDirs dirs;
    dirs.writeIni("[General]\r\nLastEngine=IE\r\n");
    Forms forms;
    ErrorRecorder errors;  // no engine is registered: a new window fails, and says so
    const QList<QPair<const char *, QAction *>> items = {
        {"FileNewItem", MainForm->FileNew1},           {"FileOpenItem", MainForm->FileOpen1},
        {"FileCloseItem", MainForm->FileClose1},       {"FileSaveItem", MainForm->FileSave1},
        {"FileSaveAsItem", MainForm->FileSaveAs1},     {"FileExitItem", MainForm->FileExit1},
        {"WindowCascadeItem", MainForm->WindowCascade1}, {"WindowTileItem", MainForm->WindowTileHorizontal1},
        {"WindowTileItem2", MainForm->WindowTileVertical1}, {"WindowMinimizeItem", MainForm->WindowMinimizeAll1},
        {"WindowArrangeItem", MainForm->WindowArrangeAll1}, {"HelpAboutItem", MainForm->HelpAbout1}};
    for (const auto &[name, command] : items) {
        auto *item = MainForm->findChild<QAction *>(QString::fromLatin1(name));
        QVERIFY2(item && item != command, name);
        const QKeySequence key = command->shortcut();
        QCOMPARE(item->text(), key.isEmpty() ? command->text() : command->text() + u'\t' + key.toString());
        QVERIFY(item->shortcut().isEmpty());
        QCOMPARE(item->isEnabled(), command->isEnabled());
        QCOMPARE(item->property("Hint"), command->property("Hint"));
    }
    QVERIFY(!MainForm->FileSaveItem->isEnabled());
    // An item follows its command's state.
    MainForm->FileClose1->setEnabled(true);
    QVERIFY(MainForm->FileCloseItem->isEnabled());
    MainForm->FileClose1->setEnabled(false);
    QVERIFY(!MainForm->FileCloseItem->isEnabled());
    // The key and the item each run the command once.
    QSignalSpy ran(MainForm->FileNew1, &QAction::triggered);
    MainForm->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(MainForm));
    QTest::keyClick(MainForm, Qt::Key_N, Qt::ControlModifier);
    QCOMPARE(ran.size(), 1);
    MainForm->FileNewItem->trigger();
    QCOMPARE(ran.size(), 2);
    // Also while the menu bar has the keys (Alt, or Esc out of a menu).
    MainForm->MainMenu1->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), MainForm->MainMenu1);
    QTest::keyClick(MainForm->MainMenu1, Qt::Key_N, Qt::ControlModifier);
    QCOMPARE(ran.size(), 3);
}

void TestMainForm::windowCommandsNeedAChild()
{
    TestDirs dirs;
    Forms forms;
    QVERIFY(!MainForm->FileClose1->isEnabled());
    for (QAction *a : {MainForm->WindowCascade1, MainForm->WindowTileHorizontal1, MainForm->WindowTileVertical1,
                       MainForm->WindowMinimizeAll1, MainForm->WindowArrangeAll1})
        QVERIFY(!a->isEnabled());
}

void TestMainForm::bottomStripResizeRule()
{
    TestDirs dirs;
    Forms forms;
    MainForm->resize(700, 400);
    QTRY_COMPARE(MainForm->ProgressBar1->width(), 130);
    QCOMPARE(MainForm->StatusBar1->width(), MainForm->ToolBar1->width() - 130);
    const int status = MainForm->StatusBar1->width();
    // At 260 pixels or less both keep their widths.
    MainForm->setMinimumWidth(0);
    MainForm->resize(250, 400);
    QTRY_VERIFY(MainForm->ToolBar1->width() <= 260);
    QCOMPARE(MainForm->ProgressBar1->width(), 130);
    QCOMPARE(MainForm->StatusBar1->width(), status);
    // The address field fills the address bar; the button follows it.
    MainForm->resize(800, 400);
    QTRY_VERIFY(MainForm->btnMove->geometry().right() >= MainForm->ToolBar3->width() - 12);
    QVERIFY(MainForm->txtAddress->geometry().right() < MainForm->btnMove->x());
    QVERIFY(MainForm->txtAddress->width() > 500);
}

void TestMainForm::optionsDialogEachTime()
{
    TestDirs dirs;
    dirs.writeIni("[General]\r\nLastEngine=IE\r\n");
    Forms forms;
    QCOMPARE(visibleOptionDialogs().size(), 0);
    MainForm->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(MainForm));
    QTest::keyClick(MainForm, Qt::Key_F12);
    QCOMPARE(visibleOptionDialogs().size(), 1);
    MainForm->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(MainForm));
    QTest::keyClick(MainForm, Qt::Key_F12);
    QCOMPARE(visibleOptionDialogs().size(), 2);
    for (QWidget *w : visibleOptionDialogs())
        w->close();
}

void TestMainForm::aboutBoxReusedAndClosedByEnter()
{
    TestDirs dirs;
    Forms forms;
    QCOMPARE(AboutBox->windowTitle(), QString("バージョン情報"));
    QCOMPARE(AboutBox->ProductName->text(), QString("Vexel"));
    QCOMPARE(AboutBox->Version->text(), QString("Version：1.0β3"));
    QCOMPARE(AboutBox->Label1->text(), QString("未定"));
    QCOMPARE(AboutBox->size(), QSize(274, 123));
    QVERIFY(AboutBox->OKButton->isDefault());
    TAboutBox *first = AboutBox;
    for (int round = 0; round < 2; ++round) {
        bool wasModal = false;
        WhenOpen enter([&](QWidget *modal) {
            wasModal = modal == AboutBox;
            QTest::keyClick(modal, Qt::Key_Return);
        });
        MainForm->HelpAbout1->trigger();
        QVERIFY(enter.done());
        QVERIFY(wasModal);
        QVERIFY(!AboutBox->isVisible());
        QCOMPARE(AboutBox, first);
    }
}

void TestMainForm::errorBoxMessageRule()
{
    ErrorRecorder errors;
    runGuarded([] { throw VexelError(QStringLiteral("クラスが登録されていません。")); });
    runGuarded([] { throw VexelError(QStringLiteral("ends with a dot.")); });
    runGuarded([] { throw VexelError(QStringLiteral("ends with a comma,")); });
    runGuarded([] { throw VexelError(QStringLiteral("a")); });
    runGuarded([] { throw VexelError(QString()); });
    QVERIFY(runGuarded([] {}));
    QCOMPARE(errors.messages, QStringList({"クラスが登録されていません。.", "ends with a dot.", "ends with a comma,",
                                           "a.", ""}));
    QCOMPARE(ioErrorText(2), QString("ファイルが見つかりません"));
    QCOMPARE(ioErrorText(3), QString("不正なファイル名です"));
    QCOMPARE(ioErrorText(5), QString("ファイルへのアクセスが拒否されました"));
    QCOMPARE(ioErrorText(21), QString("I/O エラー (21)"));
}

void TestMainForm::editCommandsFollowSelectionAndClipboard()
{
    TestDirs dirs;
    Forms forms;
    MainForm->txtAddress->setText("http://example.com/");
    MainForm->txtAddress->deselect();
    QVERIFY(!MainForm->EditCut1->isEnabled());
    QVERIFY(!MainForm->EditCopy1->isEnabled());
    MainForm->txtAddress->setSelection(0, 4);
    QVERIFY(MainForm->EditCut1->isEnabled());
    QVERIFY(MainForm->EditCopy1->isEnabled());
    MainForm->EditCopy1->trigger();
    QCOMPARE(QApplication::clipboard()->text(), QString("http"));
    QVERIFY(MainForm->EditPaste1->isEnabled());
    MainForm->EditCut1->trigger();
    QCOMPARE(MainForm->txtAddress->text(), QString("://example.com/"));
    MainForm->txtAddress->setCursorPosition(0);
    MainForm->EditPaste1->trigger();
    QCOMPARE(MainForm->txtAddress->text(), QString("http://example.com/"));
    QApplication::clipboard()->clear();
    QVERIFY(!MainForm->EditPaste1->isEnabled());
}

VEXEL_TEST_MAIN(TestMainForm)
#include "test_mainform.moc"
