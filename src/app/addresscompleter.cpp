// SPDX-License-Identifier: GPL-3.0-or-later
#include "addresscompleter.h"

#include "core/errors.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSet>
#include <QStandardItemModel>
#include <QTreeView>

TAddressCompleter::TAddressCompleter(QLineEdit *field, std::function<QList<Suggestion>(const QString &, int)> history,
                                     std::function<QList<Suggestion>()> bookmarks, std::function<void()> go)
    : QObject(field),
      field_(field),
      list_(new QTreeView(field->window())),
      model_(new QStandardItemModel(this)),
      history_(std::move(history)),
      bookmarks_(std::move(bookmarks)),
      go_(std::move(go))
{
    list_->setObjectName(QStringLiteral("lstSuggestions"));
    list_->setWindowFlags(Qt::ToolTip);
    list_->setAttribute(Qt::WA_ShowWithoutActivating);
    list_->setFocusPolicy(Qt::NoFocus);
    list_->setModel(model_);
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setAllColumnsShowFocus(true);
    list_->header()->hide();
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    connect(list_, &QTreeView::clicked, this, guarded([this](const QModelIndex &index) { choose(index.row()); }));
    connect(field, &QLineEdit::textEdited, this, guarded([this](const QString &text) { textEdited(text); }));
    field->installEventFilter(this);
    // The list stays under the field: it goes when the frame moves away.
    field->window()->installEventFilter(this);
}

TAddressCompleter::~TAddressCompleter()
{
    delete list_;
}

QList<Suggestion> TAddressCompleter::rank(const QString &typed, const QList<Suggestion> &bookmarks,
                                          const QList<Suggestion> &history)
{
    QList<Suggestion> ranked;
    QSet<QString> seen;
    auto offer = [&](const Suggestion &s) {
        if (ranked.size() < kMaxShown && !s.address.isEmpty() && !seen.contains(s.address)) {
            seen.insert(s.address);
            ranked.append(s);
        }
    };
    for (const Suggestion &b : bookmarks)
        if (b.address.contains(typed, Qt::CaseInsensitive) || b.title.contains(typed, Qt::CaseInsensitive))
            offer(b);
    for (const Suggestion &h : history)
        offer(h);
    return ranked;
}

int TAddressCompleter::chosen() const
{
    return list_->isVisible() && list_->currentIndex().isValid() ? list_->currentIndex().row() : -1;
}

void TAddressCompleter::textEdited(const QString &text)
{
    const QString typed = text.trimmed();
    shown_ = typed.isEmpty() ? QList<Suggestion>() : rank(typed, bookmarks_(), history_(typed, kMaxShown));
    if (shown_.isEmpty()) {
        hide();
        return;
    }
    model_->clear();
    for (const Suggestion &s : shown_) {
        auto *address = new QStandardItem(s.address);
        auto *title = new QStandardItem(s.title);
        title->setForeground(field_->palette().brush(QPalette::PlaceholderText));
        model_->appendRow({address, title});
    }
    list_->setCurrentIndex(QModelIndex());
    const int width = qMax(field_->width(), 240);
    list_->header()->resizeSection(0, width * 3 / 5);
    const int rowHeight = qMax(list_->sizeHintForRow(0), 1);
    list_->setGeometry(QRect(field_->mapToGlobal(QPoint(0, field_->height())),
                             QSize(width, rowHeight * int(shown_.size()) + 2 * list_->frameWidth())));
    list_->show();
    list_->raise();
}

void TAddressCompleter::move(int step)
{
    // From no row, ↓ takes the first; ↑ above the first goes back to none,
    // which is what was typed.
    int row = chosen() + step;
    if (row >= int(shown_.size()))
        row = int(shown_.size()) - 1;
    if (row < 0) {
        list_->setCurrentIndex(QModelIndex());
        list_->clearSelection();
        return;
    }
    list_->setCurrentIndex(model_->index(row, 0));
}

void TAddressCompleter::choose(int row)
{
    if (row < 0 || row >= shown_.size())
        return;
    const QString address = shown_.at(row).address;
    hide();
    field_->setText(address);
    go_();
}

void TAddressCompleter::hide()
{
    shown_.clear();
    list_->hide();
}

bool TAddressCompleter::eventFilter(QObject *watched, QEvent *event)
{
    if (!list_->isVisible())
        return QObject::eventFilter(watched, event);
    if (watched != field_) {
        const QEvent::Type type = event->type();
        if (type == QEvent::Move || type == QEvent::Resize || type == QEvent::Hide ||
            type == QEvent::WindowDeactivate)
            hide();
        return QObject::eventFilter(watched, event);
    }
    if (event->type() == QEvent::FocusOut) {
        hide();
        return false;
    }
    if (event->type() != QEvent::KeyPress)
        return false;
    switch (static_cast<QKeyEvent *>(event)->key()) {
    case Qt::Key_Down:
        move(1);
        return true;
    case Qt::Key_Up:
        move(-1);
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (const int row = chosen(); row >= 0) {
            runGuarded([&] { choose(row); });
            return true;
        }
        // Nothing chosen: the field's own Enter, with the list gone.
        hide();
        return false;
    case Qt::Key_Escape:
        hide();
        return true;
    default:
        return false;
    }
}
