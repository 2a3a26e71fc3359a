// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The frame: menus, commands, the two tool-bar bands (navigation and
// address bar), the MDI client holding the browser windows, and the bottom
// strip with the status text and the progress bar.

#include "app/toolbars.h"
#include "browser/browserwindow.h"
#include "core/programdir.h"

#include <QFileDialog>
#include <QIcon>
#include <QList>
#include <QMainWindow>

class QAction;
class QLineEdit;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QProgressBar;
class QPushButton;
class QToolButton;
class QKeyEvent;
class QLabel;
class TBookmarkMenu;
class TBrowsingHistory;
class TFrameKeys;
class Tfrm_Option;
class TWindowArranger;
class TWindowSession;

class TMainForm : public QMainWindow {
    Q_OBJECT
    friend class TWindowSession;  // reopens windows on their own engine
    friend class TFrameKeys;      // reopens a closed window on its own engine
    friend class TLinkedPairs;    // opens a page beside itself in the other engine
public:
    explicit TMainForm(QWidget *parent = nullptr);
    ~TMainForm() override;

    QString ProgramDir;
    // The settings file of the program directory.
    QString iniPath() const { return configPath(ProgramDir); }

    // Menu bar and menus. A menu item that names a command shows that
    // command's caption, shortcut and state, and runs it.
    QMenuBar *MainMenu1;
    QMenu *File1, *mnuBookMark, *Tool1, *EngineItem, *Window1, *Help1;
    QAction *FileNewItem, *FileOpenItem, *FileCloseItem, *FileSaveItem, *FileSaveAsItem, *N1, *FileExitItem;
    QAction *mnuEdit, *N4, *IE_item, *Moz_Item, *mnuOption;
    QAction *WindowCascadeItem, *WindowTileItem, *WindowTileItem2, *WindowMinimizeItem, *WindowArrangeItem;
    QAction *HelpAboutItem;

    // ActionList1: the commands, with their captions, shortcuts and hints.
    QObject *ActionList1;
    QAction *FileNew1, *FileOpen1, *FileClose1, *FileSave1, *FileSaveAs1, *FileExit1;
    QAction *EditCut1, *EditCopy1, *EditPaste1;
    QAction *WindowCascade1, *WindowTileHorizontal1, *WindowTileVertical1, *WindowMinimizeAll1,
        *WindowArrangeAll1;
    QAction *HelpAbout1;

    QList<QIcon> ImageList1;  // the 13 images, indexes 0 to 12

    // CoolBar1 is the window's top tool-bar area; its two bands:
    TBandToolBar *ToolBar2;  // band identity 0: navigation buttons
    QToolButton *ToolButton1, *BackCtrl, *FrwrdCtrl, *StopCtrl, *ReLoadCtrl;
    QAction *ToolButton6;    // the separator
    TBandToolBar *ToolBar3;  // band identity 1: the address bar
    QLabel *Label1;
    QLineEdit *txtAddress;
    QPushButton *btnMove;

    QMdiArea *MDIClient;

    QToolBar *ToolBar1;  // the bottom strip
    TStatusBar *StatusBar1;
    QProgressBar *ProgressBar1;

    QFileDialog *OpenDialog;

    // The open windows kept on disk, offered again after a crash.
    TWindowSession *WindowSession;

    // Handlers.
    void FormCreate();
    void FormClose();
    void FormResize();
    void FileNew1Execute();
    void FileOpen1Execute();
    void FileClose1Execute();
    void FileExit1Execute();
    void HelpAbout1Execute();
    void mnuOptionClick();
    void IE_itemClick();
    void Moz_ItemClick();
    void ToolButton1Click();
    void BackCtrlClick();
    void FrwrdCtrlClick();
    void StopCtrlClick();
    void ReLoadCtrlClick();
    void btnMoveClick();
    // Enter in the address field runs btnMoveClick (and is accepted); the
    // field gets every other key (ignored).
    void txtAddressKeyDown(QKeyEvent *event);
    void mnuEditClick();
    void CoolBar1MouseUp();
    void WindowCascade1Execute();
    void WindowTileHorizontal1Execute();
    void WindowTileVertical1Execute();
    void WindowMinimizeAll1Execute();
    void WindowArrangeAll1Execute();

    // Opens a browser window of the chosen engine on Address; the window is
    // the active child when this returns. Throws when it cannot.
    void OpenBrowserWindow(const QString &Caption, const QString &Address);
    // Opens window's address in a new window of the other engine, leaving
    // the engine chosen in the menu alone (Ctrl+Shift+E, the page's menu).
    void OpenInOtherEngine(TBrowserWindow *window);
    QAction *OtherEngineAction;  // Ctrl+Shift+E, in no menu
    // Opens a private window of the chosen engine (Ctrl+Shift+N): on
    // Address, or as File > New would when it is empty.
    void OpenPrivateWindow(const QString &Address = QString());

    // Opens each address (from the command line, or handed over by a later
    // copy) in a new window of the checked engine, as File > New and then
    // Navigate would; one that fails is reported and the rest still open.
    // The frame then comes to the front.
    void openAddresses(const QStringList &addresses, bool privateWindows = false);

    // An options dialog on this frame's program directory, whose Gecko
    // switch enables Moz_Item.
    Tfrm_Option *newOptionDialog();

    // The keys every browser has (F5, Alt+Left, Ctrl+L, ...), in no menu.
    TFrameKeys *Keys;

    // Visits, the history window (Ctrl+H) and the address suggestions.
    TBrowsingHistory *browsingHistory() const { return history_; }

    // The frame's active browser window, or null.
    TBrowserWindow *ActiveMDIChild() const;
    QList<TBrowserWindow *> browserWindows() const;

    // What the shared controls show now, and the one place that draws a
    // browser window's state into them (only the parts named).
    WindowState shownState() const;
    void showWindowState(const WindowState &state, int parts = WindowState::All);

    // A bookmark or the address bar: a new window on address when the
    // setting says so or no window is open, else the active window goes there.
    void openOrNavigate(int windowSetting, const QString &address);

    void ReadBookMark();
    void iventMenuClick(QAction *item);
    void BandPositionRead();
    void BandPositionWrite();

    // The bands in their current order, position 0 first.
    QList<TBandToolBar *> bandOrder() const;
    // Whether the band at position 1 begins a row of its own.
    bool secondBandBreaks() const;

signals:
    // The window has closed: the program ends.
    void closed();

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createActions();
    void createMenus();
    void createBands();
    void createBottomStrip();
    void updateCommandStates();
    void fitAddressField();
    void applyBandOrder(const QList<TBandToolBar *> &order, bool secondBreaks);
    // history: a window's saved back/forward list to show instead of
    // Address, where its engine can read it.
    void openWindowOn(bool ie, const QString &Caption, const QString &Address, const QByteArray &history = {},
                      bool privateWindow = false);
    void withActivePage(void (EngineControl::*command)());
    // The frame's side of a new browser window: it draws the window's state
    // while the window is active, and opens what its page asks for.
    void connectWindow(TBrowserWindow *window);

    TWindowArranger *arranger_;
    TBookmarkMenu *bookmarkMenu_;
    TBrowsingHistory *history_;
    bool firstBandBreak_ = true;  // kept for writing: a first band always starts its row
    bool closing_ = false;
};
