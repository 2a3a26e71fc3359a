// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Find in page and zoom for the active browser window: a small bar above the
// status strip and the frame's shortcuts (Ctrl+F, Ctrl+Plus, Ctrl+Minus,
// Ctrl+0). They add nothing to the menus.

#include <QToolBar>

class QAction;
class QLabel;
class QLineEdit;
class QToolButton;
class TMainForm;

class TFindBar : public QToolBar {
    Q_OBJECT
public:
    explicit TFindBar(TMainForm *frame);

    QLineEdit *txtFind;
    QLabel *lblFindCount;  // "3 / 17 件", or "見つかりません"
    QToolButton *btnFindPrev, *btnFindNext, *btnFindClose;
    QAction *FindAction, *ZoomInAction, *ZoomOutAction, *ZoomResetAction;

    void openBar();
    void closeBar();
    void findNext(bool backward);
    // What the page found for the text: the match selected (from 1, 0
    // when the engine does not say) of count; none marks the field.
    void showResult(int active, int count);
    // step +1 in, -1 out, 0 back to 100 %.
    void zoom(int step);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    TMainForm *frame_;
};
