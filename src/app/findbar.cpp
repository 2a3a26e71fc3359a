// SPDX-License-Identifier: GPL-3.0-or-later
#include "findbar.h"

#include "core/errors.h"
#include "app/mainform.h"
#include "browser/browserwindow.h"
#include "browser/enginecontrol.h"

#include <QAction>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

TFindBar::TFindBar(TMainForm *frame) : QToolBar(frame), frame_(frame)
{
    setObjectName(QStringLiteral("FindBar"));
    setWindowTitle(QStringLiteral("ページ内検索"));
    setMovable(false);
    setFloatable(false);
    setAllowedAreas(Qt::BottomToolBarArea);
    addWidget(new QLabel(QStringLiteral("検索: "), this));
    txtFind = new QLineEdit(this);
    txtFind->setObjectName(QStringLiteral("txtFind"));
    txtFind->setMaximumWidth(240);
    txtFind->installEventFilter(this);
    addWidget(txtFind);
    lblFindCount = new QLabel(this);
    lblFindCount->setObjectName(QStringLiteral("lblFindCount"));
    lblFindCount->setTextFormat(Qt::PlainText);
    lblFindCount->setMinimumWidth(lblFindCount->fontMetrics().horizontalAdvance(QStringLiteral("000 / 000 件")) + 8);
    lblFindCount->setAlignment(Qt::AlignCenter);
    auto button = [this](const char *name, const QString &text) {
        auto *b = new QToolButton(this);
        b->setObjectName(QString::fromLatin1(name));
        b->setText(text);
        b->setFocusPolicy(Qt::NoFocus);
        addWidget(b);
        return b;
    };
    btnFindPrev = button("btnFindPrev", QStringLiteral("前へ"));
    btnFindNext = button("btnFindNext", QStringLiteral("次へ"));
    btnFindClose = button("btnFindClose", QStringLiteral("閉じる"));
    addWidget(lblFindCount);
    connect(btnFindPrev, &QToolButton::clicked, this, guarded([this](bool) { findNext(true); }));
    connect(btnFindNext, &QToolButton::clicked, this, guarded([this](bool) { findNext(false); }));
    connect(btnFindClose, &QToolButton::clicked, this, guarded([this](bool) { closeBar(); }));
    connect(txtFind, &QLineEdit::textChanged, this, guarded([this](const QString &) { findNext(false); }));

    auto shortcut = [this](const char *name, const QList<QKeySequence> &keys) {
        auto *a = new QAction(this);
        a->setObjectName(QString::fromLatin1(name));
        a->setShortcuts(keys);
        frame_->addAction(a);
        return a;
    };
    FindAction = shortcut("FindAction", {QKeySequence(Qt::CTRL | Qt::Key_F)});
    ZoomInAction = shortcut("ZoomInAction", {QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Equal),
                                             QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Semicolon)});
    ZoomOutAction = shortcut("ZoomOutAction", {QKeySequence(Qt::CTRL | Qt::Key_Minus)});
    ZoomResetAction = shortcut("ZoomResetAction", {QKeySequence(Qt::CTRL | Qt::Key_0)});
    connect(FindAction, &QAction::triggered, this, guarded([this](bool) { openBar(); }));
    connect(ZoomInAction, &QAction::triggered, this, guarded([this](bool) { zoom(1); }));
    connect(ZoomOutAction, &QAction::triggered, this, guarded([this](bool) { zoom(-1); }));
    connect(ZoomResetAction, &QAction::triggered, this, guarded([this](bool) { zoom(0); }));
    hide();
}

void TFindBar::openBar()
{
    show();
    txtFind->setFocus(Qt::ShortcutFocusReason);
    txtFind->selectAll();
}

void TFindBar::closeBar()
{
    hide();
    showResult(0, -1);
    if (TBrowserWindow *w = frame_->ActiveMDIChild()) {
        w->control()->FindText(QString(), false);
        w->control()->setFocus(Qt::OtherFocusReason);
    }
}

void TFindBar::findNext(bool backward)
{
    // A new search has no count until the page answers.
    if (txtFind->text().isEmpty())
        showResult(0, -1);
    if (TBrowserWindow *w = frame_->ActiveMDIChild())
        w->control()->FindText(txtFind->text(), backward);
}

void TFindBar::showResult(int active, int count)
{
    const bool none = count == 0 && !txtFind->text().isEmpty();
    if (count < 0 || txtFind->text().isEmpty())
        lblFindCount->clear();
    else if (count == 0)
        lblFindCount->setText(QStringLiteral("見つかりません"));
    else if (active > 0)
        lblFindCount->setText(QStringLiteral("%1 / %2 件").arg(active).arg(count));
    else
        lblFindCount->setText(QStringLiteral("%1 件").arg(count));
    txtFind->setProperty("notFound", none);
    QPalette palette;  // only what is set here; the rest as the bar's
    if (none)
        palette.setColor(QPalette::Base, QColor(0xff, 0xd6, 0xd6));
    txtFind->setPalette(palette);
}

void TFindBar::zoom(int step)
{
    if (TBrowserWindow *w = frame_->ActiveMDIChild())
        w->control()->SetZoomFactor(engines::nextZoom(w->control()->ZoomFactor(), step));
}

bool TFindBar::eventFilter(QObject *watched, QEvent *event)
{
    // Esc closes the bar, also while a page loads (when it also stops the load).
    if (watched == txtFind && event->type() == QEvent::ShortcutOverride &&
        static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape) {
        event->accept();
        return true;
    }
    if (watched == txtFind && event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Escape) {
            runGuarded([this] { closeBar(); });
            return true;
        }
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            const bool backward = key->modifiers() & Qt::ShiftModifier;
            runGuarded([this, backward] { findNext(backward); });
            return true;
        }
    }
    return QToolBar::eventFilter(watched, event);
}
