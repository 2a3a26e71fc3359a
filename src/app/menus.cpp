// SPDX-License-Identifier: GPL-3.0-or-later
// The frame's commands (ActionList1) and its menu bar: captions, shortcuts,
// hints, the items that name commands, and the rules that enable them.

#include "app/forms.h"
#include "app/mainform.h"
#include "app/windowarranger.h"
#include "core/errors.h"

#include <QAction>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>

namespace {

// A hint in the short|long form; kept on the item, displayed nowhere.
void setHint(QAction *action, const QString &hint)
{
    action->setProperty("Hint", hint);
}

}  // namespace

void TMainForm::createActions()
{
    ActionList1 = new QObject(this);
    ActionList1->setObjectName(QStringLiteral("ActionList1"));
    auto make = [this](const char *name, const QString &caption, const QString &category,
                       const QString &hint, const QKeySequence &shortcut = {}) {
        auto *a = new QAction(caption, ActionList1);
        a->setObjectName(QString::fromLatin1(name));
        a->setProperty("Category", category);
        setHint(a, hint);
        if (!shortcut.isEmpty())
            a->setShortcut(shortcut);
        a->setIconVisibleInMenu(false);
        return a;
    };
    const QString file = QStringLiteral("ファイル"), edit = QStringLiteral("編集"),
                  window = QStringLiteral("ウィンドウ"), help = QStringLiteral("ヘルプ");
    FileNew1 = make("FileNew1", QStringLiteral("新規作成(&N)"), file, QStringLiteral("新規|新規ファイルの作成"),
                    QKeySequence(Qt::CTRL | Qt::Key_N));
    FileOpen1 = make("FileOpen1", QStringLiteral("開く(&O)..."), file, QStringLiteral("開く|ファイルを開く"),
                     QKeySequence(Qt::CTRL | Qt::Key_O));
    FileClose1 = make("FileClose1", QStringLiteral("閉じる(&C)"), file, QStringLiteral("閉じる|現在のファイルを閉じる"));
    FileSave1 = make("FileSave1", QStringLiteral("上書き保存(&S)"), file, QStringLiteral("保存|現在のファイルを保存"),
                     QKeySequence(Qt::CTRL | Qt::Key_S));
    FileSaveAs1 = make("FileSaveAs1", QStringLiteral("名前をつけて保存(&A)..."), file,
                       QStringLiteral("別名保存|ファイルに別の名前をつけて保存"));
    FileExit1 = make("FileExit1", QStringLiteral("終了(&X)"), file, QStringLiteral("終了|アプリケーションの終了"));
    EditCut1 = make("EditCut1", QStringLiteral("切り取り(&T)"), edit,
                    QStringLiteral("切り取り|選択部分を削除しクリップボードに送る"), QKeySequence(Qt::CTRL | Qt::Key_X));
    EditCopy1 = make("EditCopy1", QStringLiteral("コピー(&C)..."), edit,
                     QStringLiteral("コピー|選択部分をコピーしクリップボードに送る"), QKeySequence(Qt::CTRL | Qt::Key_C));
    EditPaste1 = make("EditPaste1", QStringLiteral("貼り付け(&P)"), edit,
                      QStringLiteral("貼り付け|クリップボードの内容を挿入"), QKeySequence(Qt::CTRL | Qt::Key_V));
    WindowCascade1 = make("WindowCascade1", QStringLiteral("重ねて表示(&C)"), window, QStringLiteral("並べて表示"));
    WindowTileHorizontal1 = make("WindowTileHorizontal1", QStringLiteral("水平に並べて表示(&H)"), window,
                                 QStringLiteral("水平に並べて表示"));
    WindowTileVertical1 = make("WindowTileVertical1", QStringLiteral("垂直に並べて表示(&V)"), window,
                               QStringLiteral("垂直に並べて表示"));
    WindowMinimizeAll1 = make("WindowMinimizeAll1", QStringLiteral("すべてを最小化(&M)"), window,
                              QStringLiteral("すべてを最小化"));
    WindowArrangeAll1 = make("WindowArrangeAll1", QStringLiteral("アイコンの整列(&A)"), window,
                             QStringLiteral("アイコンの整列"));
    HelpAbout1 = make("HelpAbout1", QStringLiteral("バージョン情報(&A)..."), help,
                      QStringLiteral("バージョン情報|バージョンなど固有情報を表示"));

    // No handler and nothing takes them over: always disabled, Ctrl+S does nothing.
    FileSave1->setEnabled(false);
    FileSaveAs1->setEnabled(false);

    connect(FileNew1, &QAction::triggered, this, guarded([this](bool) { FileNew1Execute(); }));
    connect(FileOpen1, &QAction::triggered, this, guarded([this](bool) { FileOpen1Execute(); }));
    connect(FileClose1, &QAction::triggered, this, guarded([this](bool) { FileClose1Execute(); }));
    connect(FileExit1, &QAction::triggered, this, guarded([this](bool) { FileExit1Execute(); }));
    connect(HelpAbout1, &QAction::triggered, this, guarded([this](bool) { HelpAbout1Execute(); }));
    connect(WindowCascade1, &QAction::triggered, this, guarded([this](bool) { WindowCascade1Execute(); }));
    connect(WindowTileHorizontal1, &QAction::triggered, this,
            guarded([this](bool) { WindowTileHorizontal1Execute(); }));
    connect(WindowTileVertical1, &QAction::triggered, this,
            guarded([this](bool) { WindowTileVertical1Execute(); }));
    connect(WindowMinimizeAll1, &QAction::triggered, this,
            guarded([this](bool) { WindowMinimizeAll1Execute(); }));
    connect(WindowArrangeAll1, &QAction::triggered, this,
            guarded([this](bool) { WindowArrangeAll1Execute(); }));
}

void TMainForm::createMenus()
{
    MainMenu1 = menuBar();
    MainMenu1->setObjectName(QStringLiteral("MainMenu1"));
    auto submenu = [this](QMenu *parentMenu, const char *name, const QString &caption, const QString &hint) {
        QMenu *m = parentMenu ? parentMenu->addMenu(caption) : MainMenu1->addMenu(caption);
        m->setObjectName(QString::fromLatin1(name));
        m->menuAction()->setObjectName(QString::fromLatin1(name));
        setHint(m->menuAction(), hint);
        return m;
    };
    auto item = [this](QMenu *m, const char *name, const QString &caption) {
        auto *a = new QAction(caption, this);
        a->setObjectName(QString::fromLatin1(name));
        m->addAction(a);
        return a;
    };

    // A menu item that names a command follows the command's caption,
    // shortcut, hint and state, and runs it. The shortcut is only shown, as
    // text after a tab: registered on the item too, it would compete with the
    // command's own whenever the menu bar has the keys, and neither would run.
    auto commandItem = [this](QMenu *m, const char *name, QAction *command) {
        auto *a = new QAction(this);
        a->setObjectName(QString::fromLatin1(name));
        auto follow = [a, command] {
            const QKeySequence key = command->shortcut();
            a->setText(key.isEmpty() ? command->text()
                                     : command->text() + QLatin1Char('\t') + key.toString(QKeySequence::NativeText));
            a->setEnabled(command->isEnabled());
            setHint(a, command->property("Hint").toString());
        };
        follow();
        connect(command, &QAction::changed, a, follow);
        connect(a, &QAction::triggered, command, [command] { command->trigger(); });
        m->addAction(a);
        return a;
    };

    File1 = submenu(nullptr, "File1", QStringLiteral("ファイル(&F)"), QStringLiteral("ファイル関連の機能"));
    FileNewItem = commandItem(File1, "FileNewItem", FileNew1);
    FileOpenItem = commandItem(File1, "FileOpenItem", FileOpen1);
    FileCloseItem = commandItem(File1, "FileCloseItem", FileClose1);
    FileSaveItem = commandItem(File1, "FileSaveItem", FileSave1);
    FileSaveAsItem = commandItem(File1, "FileSaveAsItem", FileSaveAs1);
    N1 = File1->addSeparator();
    N1->setObjectName(QStringLiteral("N1"));
    FileExitItem = commandItem(File1, "FileExitItem", FileExit1);

    mnuBookMark = submenu(nullptr, "mnuBookMark", QStringLiteral("ブックマーク(&A)"), QString());
    mnuEdit = item(mnuBookMark, "mnuEdit", QStringLiteral("ブックマークを編集"));
    N4 = mnuBookMark->addSeparator();
    N4->setObjectName(QStringLiteral("N4"));
    connect(mnuEdit, &QAction::triggered, this, guarded([this](bool) { mnuEditClick(); }));

    Tool1 = submenu(nullptr, "Tool1", QStringLiteral("ツール(&T)"), QStringLiteral("ツール関連の機能"));
    EngineItem = submenu(Tool1, "EngineItem", QStringLiteral("エンジン"), QStringLiteral("ブラウザエンジンの切り替え"));
    IE_item = item(EngineItem, "IE_item", QStringLiteral("Internet Explorer"));
    Moz_Item = item(EngineItem, "Moz_Item", QStringLiteral("Gekko"));
    IE_item->setCheckable(true);
    Moz_Item->setCheckable(true);
    IE_item->setChecked(true);
    connect(IE_item, &QAction::triggered, this, guarded([this](bool) { IE_itemClick(); }));
    connect(Moz_Item, &QAction::triggered, this, guarded([this](bool) { Moz_ItemClick(); }));
    mnuOption = item(Tool1, "mnuOption", QStringLiteral("オプション"));
    mnuOption->setShortcut(QKeySequence(Qt::Key_F12));
    connect(mnuOption, &QAction::triggered, this, guarded([this](bool) { mnuOptionClick(); }));

    Window1 = submenu(nullptr, "Window1", QStringLiteral("ウィンドウ(&W)"), QStringLiteral("ウィンドウ操作の機能"));
    WindowCascadeItem = commandItem(Window1, "WindowCascadeItem", WindowCascade1);
    WindowTileItem = commandItem(Window1, "WindowTileItem", WindowTileHorizontal1);
    WindowTileItem2 = commandItem(Window1, "WindowTileItem2", WindowTileVertical1);
    WindowMinimizeItem = commandItem(Window1, "WindowMinimizeItem", WindowMinimizeAll1);
    WindowArrangeItem = commandItem(Window1, "WindowArrangeItem", WindowArrangeAll1);

    Help1 = submenu(nullptr, "Help1", QStringLiteral("ヘルプ(&H)"), QStringLiteral("ヘルプトピック"));
    HelpAboutItem = commandItem(Help1, "HelpAboutItem", HelpAbout1);

    for (QMenu *m : {File1, Window1, Tool1, mnuBookMark, Help1})
        connect(m, &QMenu::aboutToShow, this, [this] { updateCommandStates(); });
    connect(Window1, &QMenu::aboutToShow, this, [this] { arranger_->rebuildWindowList(); });

    // The edit commands act on the address field and only while it has the focus.
    addActions({FileNew1, FileOpen1, FileClose1, FileSave1, FileSaveAs1, FileExit1, mnuOption});

    // The active page in the other engine: a shortcut of the frame, like
    // find and zoom, with no menu item.
    OtherEngineAction = new QAction(QStringLiteral("もう一方のエンジンで開く"), this);
    OtherEngineAction->setObjectName(QStringLiteral("OtherEngineAction"));
    OtherEngineAction->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_E));
    connect(OtherEngineAction, &QAction::triggered, this, guarded([this](bool) { OpenInOtherEngine(ActiveMDIChild()); }));
    addAction(OtherEngineAction);
}

void TMainForm::updateCommandStates()
{
    const bool anyChild = !MDIClient->subWindowList().isEmpty();
    FileClose1->setEnabled(MDIClient->currentSubWindow() != nullptr);
    for (QAction *a : {WindowCascade1, WindowTileHorizontal1, WindowTileVertical1, WindowMinimizeAll1,
                       WindowArrangeAll1})
        a->setEnabled(anyChild);
    FileSave1->setEnabled(false);
    FileSaveAs1->setEnabled(false);
}

void TMainForm::WindowCascade1Execute()
{
    arranger_->cascade();
}

void TMainForm::WindowTileHorizontal1Execute()
{
    arranger_->tileHorizontally();
}

void TMainForm::WindowTileVertical1Execute()
{
    arranger_->tileVertically();
}

void TMainForm::WindowMinimizeAll1Execute()
{
    arranger_->minimizeAll();
}

void TMainForm::WindowArrangeAll1Execute()
{
    arranger_->arrangeIcons();
}
