// SPDX-License-Identifier: GPL-3.0-or-later
#include "framekeys.h"

#include "app/clearingform.h"
#include "app/downloadsform.h"
#include "app/findbar.h"
#include "app/fullscreen.h"
#include "app/keylistform.h"
#include "app/linkedpairs.h"
#include "app/mainform.h"
#include "browser/enginerulesform.h"
#include "browser/browserwindow.h"
#include "browser/pageprinter.h"
#include "browser/childie.h"
#include "core/errors.h"
#include "core/placement.h"

#include <QAction>
#include <QEvent>
#include <QLineEdit>
#include <QMdiArea>
#include <QToolButton>

TFrameKeys::TFrameKeys(TMainForm *frame) : QObject(frame), frame_(frame)
{
    setObjectName(QStringLiteral("FrameKeys"));
    ReloadAction = key("ReloadAction", {Qt::Key_F5, Qt::CTRL | Qt::Key_R}, QStringLiteral("再読み込み"));
    HardReloadAction = key("HardReloadAction", {Qt::SHIFT | Qt::Key_F5, Qt::CTRL | Qt::Key_F5, Qt::CTRL | Qt::SHIFT | Qt::Key_R},
                           QStringLiteral("キャッシュを使わずに再読み込み"));
    BackAction = key("BackAction", {Qt::ALT | Qt::Key_Left}, QStringLiteral("戻る"));
    ForwardAction = key("ForwardAction", {Qt::ALT | Qt::Key_Right}, QStringLiteral("進む"));
    StopAction = key("StopAction", {Qt::Key_Escape}, QStringLiteral("読み込みを中止"));
    AddressAction = key("AddressAction", {Qt::CTRL | Qt::Key_L, Qt::ALT | Qt::Key_D, Qt::Key_F6},
                        QStringLiteral("アドレス欄へ移動"));
    CloseAction = key("CloseAction", {Qt::CTRL | Qt::Key_W, Qt::CTRL | Qt::Key_F4}, QStringLiteral("ウィンドウを閉じる"));
    NextWindowAction = key("NextWindowAction", {Qt::CTRL | Qt::Key_Tab, Qt::CTRL | Qt::Key_F6},
                           QStringLiteral("次のウィンドウ"));
    PreviousWindowAction = key("PreviousWindowAction",
                               {Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab, Qt::CTRL | Qt::SHIFT | Qt::Key_Tab,
                                Qt::CTRL | Qt::SHIFT | Qt::Key_F6},
                               QStringLiteral("前のウィンドウ"));
    ReopenAction = key("ReopenAction", {Qt::CTRL | Qt::SHIFT | Qt::Key_T}, QStringLiteral("閉じたウィンドウを開き直す"));
    BookmarkAction = key("BookmarkAction", {Qt::CTRL | Qt::Key_D}, QStringLiteral("ブックマークを編集"));
    KeyListAction = key("KeyListAction", {Qt::Key_F1}, QStringLiteral("キーの一覧"));
    FullScreenAction = key("FullScreenAction", {Qt::Key_F11}, QStringLiteral("全画面表示"));
    SourceAction = key("SourceAction", {Qt::CTRL | Qt::Key_U}, QStringLiteral("ソースを表示"));
    InspectorAction = key("InspectorAction", {Qt::CTRL | Qt::SHIFT | Qt::Key_I}, QStringLiteral("要素を調査"));
    PrintAction = key("PrintAction", {Qt::CTRL | Qt::Key_P}, QStringLiteral("印刷"));
    DownloadsAction = key("DownloadsAction", {Qt::CTRL | Qt::SHIFT | Qt::Key_Y}, QStringLiteral("ダウンロード"));
    PrivateWindowAction = key("PrivateWindowAction", {Qt::CTRL | Qt::SHIFT | Qt::Key_N},
                              QStringLiteral("新しいプライベート ウィンドウ"));
    ClearDataAction =
        key("ClearDataAction", {Qt::CTRL | Qt::SHIFT | Qt::Key_Delete}, QStringLiteral("閲覧データを消去"));
    EngineRulesAction = key("EngineRulesAction", {Qt::CTRL | Qt::SHIFT | Qt::Key_G}, QStringLiteral("エンジンのルール"));
    SideBySideAction = key("SideBySideAction", {Qt::CTRL | Qt::SHIFT | Qt::Key_B},
                           QStringLiteral("両方のエンジンで並べて表示"));
    BothEnginesShotAction = key("BothEnginesShotAction", {Qt::CTRL | Qt::SHIFT | Qt::Key_S},
                                QStringLiteral("並べた両方のページの画像を保存"));
    LinkedPairs = new TLinkedPairs(frame_);
    FullScreen = new TFullScreen(frame_);
    FullScreen->setParent(this);  // goes before the frame's parts it watches

    connect(ReloadAction, &QAction::triggered, this, guarded([this](bool) { frame_->ReLoadCtrlClick(); }));
    connect(HardReloadAction, &QAction::triggered, this,
            guarded([this](bool) { frame_->withActivePage(&EngineControl::RefreshBypassingCache); }));
    connect(BackAction, &QAction::triggered, this, guarded([this](bool) { frame_->BackCtrlClick(); }));
    connect(ForwardAction, &QAction::triggered, this, guarded([this](bool) { frame_->FrwrdCtrlClick(); }));
    connect(StopAction, &QAction::triggered, this, guarded([this](bool) {
        if (FullScreen->pageWindow())
            FullScreen->LeavePage();
        else
            frame_->StopCtrlClick();
    }));
    connect(AddressAction, &QAction::triggered, this, guarded([this](bool) { FocusAddress(); }));
    connect(CloseAction, &QAction::triggered, this, guarded([this](bool) { frame_->FileClose1Execute(); }));
    connect(NextWindowAction, &QAction::triggered, this, guarded([this](bool) { ActivateNextWindow(1); }));
    connect(PreviousWindowAction, &QAction::triggered, this, guarded([this](bool) { ActivateNextWindow(-1); }));
    connect(ReopenAction, &QAction::triggered, this, guarded([this](bool) { ReopenClosedWindow(); }));
    connect(BookmarkAction, &QAction::triggered, this, guarded([this](bool) { frame_->mnuEditClick(); }));
    connect(KeyListAction, &QAction::triggered, this, guarded([this](bool) { ShowKeyList(); }));
    connect(PrintAction, &QAction::triggered, this, guarded([this](bool) {
        if (TBrowserWindow *w = frame_->ActiveMDIChild())
            pageprinter::printPage(w->control(), w);
    }));
    connect(PrivateWindowAction, &QAction::triggered, this, guarded([this](bool) { frame_->OpenPrivateWindow(); }));
    connect(DownloadsAction, &QAction::triggered, this, guarded([this](bool) { TDownloadsForm::showFor(frame_); }));
    connect(SideBySideAction, &QAction::triggered, this,
            guarded([this](bool) { LinkedPairs->OpenSideBySide(frame_->ActiveMDIChild()); }));
    connect(BothEnginesShotAction, &QAction::triggered, this,
            guarded([this](bool) { LinkedPairs->SaveSnapshot(frame_->ActiveMDIChild()); }));
    connect(ClearDataAction, &QAction::triggered, this, guarded([this](bool) { TClearingForm::showFor(frame_); }));
    connect(EngineRulesAction, &QAction::triggered, this, guarded([this](bool) { EngineRulesForm::showFor(frame_); }));
    connect(FullScreenAction, &QAction::triggered, this, guarded([this](bool) { FullScreen->ToggleFrame(); }));
    connect(SourceAction, &QAction::triggered, this,
            guarded([this](bool) { frame_->withActivePage(&EngineControl::ViewSource); }));
    connect(InspectorAction, &QAction::triggered, this,
            guarded([this](bool) { frame_->withActivePage(&EngineControl::ShowInspector); }));

    // Esc ends a page's full screen or stops a load; otherwise it belongs to the page (a page's own
    // dialogs close with it) and to the field that has the focus.
    stopButton_ = frame_->StopCtrl;
    updateEsc();
    stopButton_->installEventFilter(this);
    connect(FullScreen, &TFullScreen::pageChanged, this, &TFrameKeys::updateEsc);
}

void TFrameKeys::updateEsc()
{
    StopAction->setEnabled(stopButton_->isEnabled() || FullScreen->pageWindow());
}

QAction *TFrameKeys::key(const char *name, const QList<QKeySequence> &keys, const QString &meaning)
{
    auto *action = new QAction(meaning, frame_);
    action->setObjectName(QString::fromLatin1(name));
    action->setShortcuts(keys);
    action->setShortcutContext(Qt::WindowShortcut);
    frame_->addAction(action);
    meanings_.append({action, meaning});
    return action;
}

bool TFrameKeys::eventFilter(QObject *watched, QEvent *event)
{
    // The button is watched on its own: it outlives the frame's own part
    // as the frame goes.
    if (event->type() == QEvent::EnabledChange && watched == stopButton_)
        updateEsc();
    return QObject::eventFilter(watched, event);
}

QList<TFrameKeys::Entry> TFrameKeys::entries() const
{
    QList<QPair<QAction *, QString>> all = {
        {frame_->FileNew1, QStringLiteral("新しいウィンドウ")},
        {frame_->FileOpen1, QStringLiteral("ファイルを開く")},
    };
    all += meanings_;
    auto *find = frame_->findChild<TFindBar *>();
    if (find)
        all += {{find->FindAction, QStringLiteral("ページ内を検索")},
                {find->ZoomInAction, QStringLiteral("拡大")},
                {find->ZoomOutAction, QStringLiteral("縮小")},
                {find->ZoomResetAction, QStringLiteral("標準の大きさ")}};
    if (auto *history = frame_->findChild<QAction *>(QStringLiteral("HistoryAction")))
        all += {history, QStringLiteral("履歴")};
    all += {{frame_->OtherEngineAction, QStringLiteral("もう一方のエンジンで開く")},
            {frame_->mnuOption, QStringLiteral("オプション")}};

    QList<Entry> list;
    for (const auto &[action, meaning] : all) {
        QStringList keys;
        for (const QKeySequence &k : action->shortcuts()) {
            // X reports Shift+Tab as Backtab; the user presses Tab.
            QString text = k.toString(QKeySequence::NativeText);
            text.replace(QStringLiteral("Backtab"), QStringLiteral("Tab"));
            if (!keys.contains(text))
                keys << text;
        }
        if (!keys.isEmpty())
            list.append({keys.join(QStringLiteral(" / ")), meaning});
    }
    // What the fields take as they stand.
    list.append({QStringLiteral("Enter"), QStringLiteral("アドレス欄: 移動 (検索語なら検索)")});
    list.append({QStringLiteral("Ctrl+X / Ctrl+C / Ctrl+V"), QStringLiteral("アドレス欄: 切り取り / コピー / 貼り付け")});
    list.append({QStringLiteral("Enter / Shift+Enter"), QStringLiteral("ページ内検索: 次へ / 前へ")});
    list.append({QStringLiteral("Esc"), QStringLiteral("ページ内検索を閉じる")});
    return list;
}

void TFrameKeys::FocusAddress()
{
    frame_->txtAddress->setFocus(Qt::ShortcutFocusReason);
    frame_->txtAddress->selectAll();
}

void TFrameKeys::ActivateNextWindow(int step)
{
    // In the order the windows were opened, as tabs would be; the history
    // order of the window list would only swap the last two.
    const QList<QMdiSubWindow *> windows = frame_->MDIClient->subWindowList(QMdiArea::CreationOrder);
    if (windows.size() < 2)
        return;
    const qsizetype at = windows.indexOf(frame_->MDIClient->activeSubWindow());
    const qsizetype count = windows.size();
    QMdiSubWindow *next = windows.at(((at < 0 ? 0 : at) + step + count) % count);
    frame_->MDIClient->setActiveSubWindow(next);
}

void TFrameKeys::rememberClosed(TBrowserWindow *window)
{
    // A private window is not brought back: it left nothing to bring.
    if (window->isPrivate())
        return;
    const QString address = window->control()->LocationURL();
    const QByteArray history = window->control()->SaveHistory();
    // A window that never showed a page has nothing to bring back.
    if ((address.isEmpty() || address == QLatin1String("about:blank")) && history.isEmpty())
        return;
    closed_.append({qobject_cast<Tfrm_IE *>(window) != nullptr, window->windowTitle(), address, history});
    while (closed_.size() > kKeptClosed)
        closed_.removeFirst();
}

void TFrameKeys::ReopenClosedWindow()
{
    if (closed_.isEmpty())
        return;
    const Closed last = closed_.takeLast();
    // A Gecko window comes back as one only where that engine may be chosen.
    const bool ie = last.ie || !frame_->Moz_Item->isEnabled();
    frame_->openWindowOn(ie, last.caption, last.address, ie == last.ie ? last.history : QByteArray());
}

void TFrameKeys::ShowKeyList()
{
    if (!keyList_) {
        keyList_ = new TKeyListForm(entries(), frame_);
        centreOver(keyList_, frame_);
    }
    keyList_->show();
    keyList_->raise();
    keyList_->activateWindow();
}
