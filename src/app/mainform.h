#pragma once
// The frame: menus, commands, the two tool-bar bands (navigation and
// address bar), the MDI client holding the browser windows, and the bottom
// strip with the status text and the progress bar.

#include <QFileDialog>
#include <QIcon>
#include <QLabel>
#include <QLayout>
#include <QList>
#include <QMainWindow>
#include <QStatusBar>
#include <QToolBar>

class QAction;
class QLineEdit;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QProgressBar;
class QPushButton;
class QToolButton;
class TBrowserWindow;
class EngineControl;
struct _xmlNode;  // bookmark menu

// A band's tool bar. Its preferred width is the band width restored from
// the settings file; the tool-bar area lays the bands out from it.
class TBandToolBar : public QToolBar {
    Q_OBJECT
public:
    TBandToolBar(int identity, const QString &name, QWidget *parent);
    int identity() const { return identity_; }
    void setBandWidth(int width);
    QSize sizeHint() const override;

private:
    int identity_;
    int bandWidth_ = 0;  // 0: the width the tool bar's contents ask for
};

// The status bar of the bottom strip: one panel filling the bar.
class TStatusBar : public QStatusBar {
    Q_OBJECT
public:
    explicit TStatusBar(QWidget *parent);
    QString panelText() const;
    void setPanelText(const QString &text);

private:
    QLabel *panel_;
};

class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    explicit TMainForm(QWidget *parent = nullptr);
    ~TMainForm() override;

    QString ProgramDir;

    // Menu bar and menus. A menu item that names a command is that command's
    // action (below); the others are actions of their own.
    QMenuBar *MainMenu1;
    QMenu *File1, *mnuBookMark, *Tool1, *EngineItem, *Window1, *Help1;
    QAction *N1, *mnuEdit, *N4, *IE_item, *Moz_Item, *mnuOption;

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

    // Opens each address (from the command line, or handed over by a later
    // copy) in a new window of the checked engine, as File > New and then
    // Navigate would; one that fails is reported and the rest still open.
    // The frame then comes to the front.
    void openAddresses(const QStringList &addresses);

    // The frame's active browser window, or null.
    TBrowserWindow *ActiveMDIChild() const;
    QList<TBrowserWindow *> browserWindows() const;

    void ReadBookMark();
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
    void rebuildWindowList();
    void fitAddressField();
    void applyBandOrder(const QList<TBandToolBar *> &order, bool secondBreaks);
    void iventMenuClick(QAction *item);
    void openWindowOn(bool ie, const QString &Caption, const QString &Address);

    // bookmark menu
    void ReadBookMarkFolder(_xmlNode *Folder, QAction *ParentItem);
    QAction *AddMenuItem(QMenu *Parent, const QString &Caption, int Index);
    QAction *addBookmarkItem(QMenu *Parent, _xmlNode *entry, int Index);

    bool firstBandBreak_ = true;  // kept for writing: a first band always starts its row
    QList<QAction *> windowListItems_;
    bool closing_ = false;
};
