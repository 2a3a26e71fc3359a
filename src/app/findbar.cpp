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
    if (TBrowserWindow *w = frame_->ActiveMDIChild()) {
        w->control()->FindText(QString(), false);
        w->control()->setFocus(Qt::OtherFocusReason);
    }
}

void TFindBar::findNext(bool backward)
{
    if (TBrowserWindow *w = frame_->ActiveMDIChild())
        w->control()->FindText(txtFind->text(), backward);
}

void TFindBar::zoom(int step)
{
    if (TBrowserWindow *w = frame_->ActiveMDIChild())
        w->control()->SetZoomFactor(engines::nextZoom(w->control()->ZoomFactor(), step));
}

bool TFindBar::eventFilter(QObject *watched, QEvent *event)
{
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
