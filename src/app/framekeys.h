// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The keys every browser has, on the frame: they add nothing to the menus
// and act on the active window (or the address field, or the window list).
// F1 lists them all in a window of its own.

#include <QList>
#include <QObject>
#include <QString>

class QAction;
class QKeySequence;
class QWidget;
class TBrowserWindow;
class TFullScreen;
class TKeyListForm;
class TLinkedPairs;
class TMainForm;

class TFrameKeys : public QObject {
    Q_OBJECT
public:
    explicit TFrameKeys(TMainForm *frame);

    QAction *ReloadAction, *HardReloadAction, *BackAction, *ForwardAction, *StopAction;
    QAction *AddressAction, *CloseAction, *NextWindowAction, *PreviousWindowAction;
    QAction *ReopenAction, *BookmarkAction, *KeyListAction;
    QAction *FullScreenAction, *SourceAction, *InspectorAction, *DownloadsAction, *PrintAction;
    QAction *PrivateWindowAction, *ClearDataAction;
    QAction *EngineRulesAction;
    QAction *SideBySideAction, *BothEnginesShotAction;
    TFullScreen *FullScreen;
    TLinkedPairs *LinkedPairs;

    // One line of the key list: the keys as the user presses them and
    // what they do.
    struct Entry {
        QString keys;
        QString meaning;
    };
    // Every key of the frame, these and the ones the menus and the find bar
    // give, in the order the key list shows them.
    QList<Entry> entries() const;

    // A window that closes is remembered (its engine, address and history)
    // so that Ctrl+Shift+T can bring it back; the last kKeptClosed only.
    void rememberClosed(TBrowserWindow *window);
    void ReopenClosedWindow();
    int closedCount() const { return int(closed_.size()); }
    static constexpr int kKeptClosed = 10;

    void FocusAddress();
    // step +1: the next window in the order they were opened, -1 the one before.
    void ActivateNextWindow(int step);
    void ShowKeyList();
    TKeyListForm *keyListForm() const { return keyList_; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QAction *key(const char *name, const QList<QKeySequence> &keys, const QString &meaning);

    struct Closed {
        bool ie;
        QString caption;
        QString address;
        QByteArray history;
    };
    TMainForm *frame_;
    // Esc stops a load or ends a page's full screen; it follows StopCtrl's
    // state and the full screen's.
    void updateEsc();
    QWidget *stopButton_;  // the frame's StopCtrl
    QList<Closed> closed_;  // the last closed last
    QList<QPair<QAction *, QString>> meanings_;
    TKeyListForm *keyList_ = nullptr;
};
