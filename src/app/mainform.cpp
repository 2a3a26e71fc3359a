// SPDX-License-Identifier: GPL-3.0-or-later
#include "mainform.h"

#include "about/aboutbox.h"
#include "app/bookmarkmenu.h"
#include "app/browsinghistory.h"
#include "app/findbar.h"
#include "app/forms.h"
#include "app/downloadsform.h"
#include "app/framekeys.h"
#include "app/searchengines.h"
#include "app/windowarranger.h"
#include "app/windowsession.h"
#include "core/errors.h"
#include "core/formfont.h"
#include "core/programdir.h"
#include "settings/config.h"
#include "settings/option.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QFileInfo>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPointer>
#include <QPushButton>
#include <QToolButton>

static void initResources()
{
    Q_INIT_RESOURCE(vexel);
}

// ---------------------------------------------------------------------------

TMainForm::TMainForm(QWidget *parent) : QMainWindow(parent)
{
    initResources();
    MainForm = this;
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QStringLiteral("Vexel"));
    setFont(formFont(12));
    resize(508, 333);
    for (int i = 0; i <= 12; ++i)
        ImageList1.append(QIcon(QStringLiteral(":/icons/main%1.png").arg(i, 2, 10, QLatin1Char('0'))));
    setWindowIcon(ImageList1.value(12));

    createActions();
    createMenus();
    createBands();

    MDIClient = new QMdiArea(this);
    MDIClient->setObjectName(QStringLiteral("MDIClient"));
    MDIClient->setBackground(palette().brush(QPalette::Dark));
    MDIClient->setActivationOrder(QMdiArea::ActivationHistoryOrder);
    setCentralWidget(MDIClient);
    WindowSession = new TWindowSession(this);

    createBottomStrip();
    auto *findBar = new TFindBar(this);
    // The bottom area's lines stack upwards from the window's edge: a line
    // after the status strip's sits above it.
    addToolBarBreak(Qt::BottomToolBarArea);
    addToolBar(Qt::BottomToolBarArea, findBar);
    findBar->hide();
    Keys = new TFrameKeys(this);
    TDownloadsForm::watchStatusBar(this);

    OpenDialog = new QFileDialog(this);
    OpenDialog->setObjectName(QStringLiteral("OpenDialog"));
    OpenDialog->setFileMode(QFileDialog::ExistingFile);
    OpenDialog->setAcceptMode(QFileDialog::AcceptOpen);
    // "*" is what "*.*" means on the platform the filter comes from: every file.
    OpenDialog->setNameFilter(QStringLiteral("すべてのファイル (*)"));

    arranger_ = new TWindowArranger(MDIClient, Window1);
    history_ = new TBrowsingHistory(this);
    bookmarkMenu_ = new TBookmarkMenu(mnuBookMark, this, ImageList1,
                                      guarded([this](QAction *item) { iventMenuClick(item); }));

    connect(MDIClient, &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow *w) {
        updateCommandStates();
        if (auto *bw = qobject_cast<TBrowserWindow *>(w))
            runGuarded([bw] { bw->FormActivate(); });
    });
    updateCommandStates();

    runGuarded([this] { FormCreate(); });
}

TMainForm::~TMainForm()
{
    // Browser windows going with the frame must not activate into a frame
    // that is half destroyed.
    disconnect(MDIClient, nullptr, this, nullptr);
    delete WindowSession;
    delete arranger_;
    delete bookmarkMenu_;
    if (MainForm == this)
        MainForm = nullptr;
}

void TMainForm::createBands()
{
    ToolBar2 = new TBandToolBar(0, QStringLiteral("ToolBar2"), this);
    ToolBar2->setIconSize(QSize(16, 16));
    ToolBar2->setToolButtonStyle(Qt::ToolButtonIconOnly);
    auto button = [this](const char *name, int image) {
        auto *b = new QToolButton(ToolBar2);
        b->setObjectName(QString::fromLatin1(name));
        b->setIcon(ImageList1.value(image));
        b->setAutoRaise(true);
        b->setFocusPolicy(Qt::NoFocus);
        ToolBar2->addWidget(b);
        return b;
    };
    ToolButton1 = button("ToolButton1", 0);
    ToolButton6 = ToolBar2->addSeparator();
    ToolButton6->setObjectName(QStringLiteral("ToolButton6"));
    BackCtrl = button("BackCtrl", 1);
    FrwrdCtrl = button("FrwrdCtrl", 2);
    StopCtrl = button("StopCtrl", 3);
    ReLoadCtrl = button("ReLoadCtrl", 4);
    for (QToolButton *b : {BackCtrl, FrwrdCtrl, StopCtrl, ReLoadCtrl})
        b->setEnabled(false);
    connect(ToolButton1, &QToolButton::clicked, this, guarded([this](bool) { ToolButton1Click(); }));
    connect(BackCtrl, &QToolButton::clicked, this, guarded([this](bool) { BackCtrlClick(); }));
    connect(FrwrdCtrl, &QToolButton::clicked, this, guarded([this](bool) { FrwrdCtrlClick(); }));
    connect(StopCtrl, &QToolButton::clicked, this, guarded([this](bool) { StopCtrlClick(); }));
    connect(ReLoadCtrl, &QToolButton::clicked, this, guarded([this](bool) { ReLoadCtrlClick(); }));

    ToolBar3 = new TBandToolBar(1, QStringLiteral("ToolBar3"), this);
    Label1 = new QLabel(QStringLiteral("アドレス"), ToolBar3);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setFont(formFont(13));
    Label1->setFixedHeight(20);
    Label1->setMinimumWidth(44);
    Label1->setAlignment(Qt::AlignVCenter | Qt::AlignLeft);
    txtAddress = new QLineEdit(ToolBar3);
    txtAddress->setObjectName(QStringLiteral("txtAddress"));
    txtAddress->setFixedHeight(20);
    txtAddress->setMinimumWidth(40);
    txtAddress->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    btnMove = new QPushButton(QStringLiteral("移動"), ToolBar3);
    btnMove->setObjectName(QStringLiteral("btnMove"));
    btnMove->setFixedSize(qMax(41, btnMove->sizeHint().width()), 20);
    btnMove->setFocusPolicy(Qt::TabFocus);
    ToolBar3->addWidget(Label1);
    ToolBar3->addWidget(txtAddress);
    ToolBar3->addWidget(btnMove);
    connect(btnMove, &QPushButton::clicked, this, guarded([this](bool) { btnMoveClick(); }));
    txtAddress->installEventFilter(this);
    new SearchEngines(txtAddress, [this] { return iniPath(); });

    // Edit commands on the address field, with their enabled rules.
    EditCut1->setShortcutContext(Qt::WidgetShortcut);
    EditCopy1->setShortcutContext(Qt::WidgetShortcut);
    EditPaste1->setShortcutContext(Qt::WidgetShortcut);
    txtAddress->addActions({EditCut1, EditCopy1, EditPaste1});
    connect(EditCut1, &QAction::triggered, txtAddress, &QLineEdit::cut);
    connect(EditCopy1, &QAction::triggered, txtAddress, &QLineEdit::copy);
    connect(EditPaste1, &QAction::triggered, txtAddress, &QLineEdit::paste);
    auto selectionRule = [this] {
        EditCut1->setEnabled(txtAddress->hasSelectedText());
        EditCopy1->setEnabled(txtAddress->hasSelectedText());
    };
    auto clipboardRule = [this] {
        EditPaste1->setEnabled(!QApplication::clipboard()->text().isEmpty());
    };
    connect(txtAddress, &QLineEdit::selectionChanged, this, selectionRule);
    connect(QApplication::clipboard(), &QClipboard::dataChanged, this, clipboardRule);
    selectionRule();
    clipboardRule();

    for (QToolBar *band : {static_cast<QToolBar *>(ToolBar2), static_cast<QToolBar *>(ToolBar3)})
        band->installEventFilter(this);
    addToolBar(Qt::TopToolBarArea, ToolBar2);
    addToolBarBreak(Qt::TopToolBarArea);
    addToolBar(Qt::TopToolBarArea, ToolBar3);
}

void TMainForm::createBottomStrip()
{
    ToolBar1 = new QToolBar(this);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setAllowedAreas(Qt::BottomToolBarArea);
    ToolBar1->layout()->setContentsMargins(0, 0, 0, 0);
    ToolBar1->layout()->setSpacing(0);
    // The two sit side by side at the widths FormResize gives them; a narrow
    // window clips them rather than squeezing them.
    auto *strip = new QWidget(ToolBar1);
    strip->setObjectName(QStringLiteral("ToolBar1Strip"));
    strip->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    strip->setMinimumSize(0, 17);
    StatusBar1 = new TStatusBar(strip);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setGeometry(0, 0, 370, 17);
    ProgressBar1 = new QProgressBar(strip);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setGeometry(370, 0, 127, 17);
    ToolBar1->addWidget(strip);
    ToolBar1->installEventFilter(this);
    addToolBar(Qt::BottomToolBarArea, ToolBar1);
}

// ---------------------------------------------------------------------------
// Creation, closing, resizing.

void TMainForm::FormCreate()
{
    ProgramDir = programDirectory();
    BandPositionRead();
    show();
    runGuarded([this] { WindowSession->ask(); });
    ReadBookMark();
    const QString ini = iniPath();
    if (!QFileInfo::exists(ini))
        mnuOptionClick();
    const bool ie = config::lastEngineIsIE(ini);
    IE_item->setChecked(ie);
    Moz_Item->setChecked(!ie);
    if (config::mozilla(ini) == 0)
        Moz_Item->setEnabled(false);
}

void TMainForm::FormClose()
{
    config::writeLastEngine(iniPath(), IE_item->isChecked());
    BandPositionWrite();
}

void TMainForm::closeEvent(QCloseEvent *event)
{
    // A refused write is shown, and the program still closes: a window that
    // cannot be closed would trap the user.
    if (!closing_) {
        closing_ = true;
        runGuarded([this] { FormClose(); });
        WindowSession->finish();
    }
    event->accept();
    emit closed();
}

void TMainForm::FormResize()
{
    const int width = ToolBar1->width();
    if (width > 260) {
        StatusBar1->setGeometry(0, 0, width - 130, StatusBar1->height());
        ProgressBar1->setGeometry(width - 130, 0, 130, ProgressBar1->height());
    }
    fitAddressField();
}

void TMainForm::fitAddressField()
{
    // The field takes what the bar leaves beside the label and the button,
    // so the button follows the field at the bar's right end.
    txtAddress->setMaximumWidth(QWIDGETSIZE_MAX);
    ToolBar3->layout()->invalidate();
    ToolBar3->layout()->activate();
}

void TMainForm::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    runGuarded([this] { FormResize(); });
}

bool TMainForm::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ToolBar1 && event->type() == QEvent::Resize) {
        runGuarded([this] { FormResize(); });
    } else if ((watched == ToolBar2 || watched == ToolBar3) && event->type() == QEvent::MouseButtonRelease) {
        runGuarded([this] { CoolBar1MouseUp(); });
    } else if (watched == txtAddress && event->type() == QEvent::ShortcutOverride) {
        // Esc on typed text takes it back before it stops a load.
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Escape && txtAddress->isModified()) {
            event->accept();
            return true;
        }
    } else if (watched == txtAddress && event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        runGuarded([&] { txtAddressKeyDown(key); });
        return key->isAccepted();
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------
// Commands of the frame.

void TMainForm::FileExit1Execute()
{
    close();
}

void TMainForm::HelpAbout1Execute()
{
    if (AboutBox)
        AboutBox->exec();
}

void TMainForm::mnuOptionClick()
{
    // A new dialog each time, showing the file as it is now; not modal.
    auto *dialog = newOptionDialog();
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
}

Tfrm_Option *TMainForm::newOptionDialog()
{
    // The dialog's Gecko switch enables the engine's menu item at once.
    return new Tfrm_Option(ProgramDir, [frame = QPointer<TMainForm>(this)](bool on) {
        if (frame)
            frame->Moz_Item->setEnabled(on);
    });
}

void TMainForm::IE_itemClick()
{
    IE_item->setChecked(true);
    Moz_Item->setChecked(false);
}

void TMainForm::Moz_ItemClick()
{
    Moz_Item->setChecked(true);
    IE_item->setChecked(false);
}

void TMainForm::ToolButton1Click()
{
    FileNew1->trigger();
}

void TMainForm::FileClose1Execute()
{
    if (QMdiSubWindow *w = MDIClient->currentSubWindow())
        w->close();
}
