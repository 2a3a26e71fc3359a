#include "addresscompleter.h"

#include "core/errors.h"

#include <QCompleter>
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
      completer_(new QCompleter(this)),
      model_(new QStandardItemModel(this)),
      history_(std::move(history)),
      bookmarks_(std::move(bookmarks)),
      go_(std::move(go))
{
    auto *list = new QTreeView;
    list->setObjectName(QStringLiteral("lstSuggestions"));
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setAllColumnsShowFocus(true);
    list->header()->hide();
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    // Not the field's own completer: a highlighted row does not replace
    // what the user typed.
    completer_->setWidget(field);
    completer_->setModel(model_);
    completer_->setPopup(list);
    completer_->setCompletionMode(QCompleter::UnfilteredPopupCompletion);
    completer_->setMaxVisibleItems(kMaxShown);
    // After the completer's own filter, so this one sees the keys first.
    list->installEventFilter(this);
    connect(completer_, qOverload<const QModelIndex &>(&QCompleter::activated), this,
            guarded([this](const QModelIndex &index) { choose(index.row()); }));
    connect(field, &QLineEdit::textEdited, this, guarded([this](const QString &text) { textEdited(text); }));
}

QAbstractItemView *TAddressCompleter::popup() const
{
    return completer_->popup();
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
        address->setToolTip(s.address);
        auto *title = new QStandardItem(s.title);
        title->setToolTip(s.title);
        title->setForeground(field_->palette().brush(QPalette::PlaceholderText));
        model_->appendRow({address, title});
    }
    auto *list = static_cast<QTreeView *>(completer_->popup());
    list->header()->resizeSection(0, qMax(120, field_->width() * 3 / 5));
    completer_->complete(field_->rect());
    // Nothing is chosen until the user moves to a row.
    list->setCurrentIndex(QModelIndex());
    list->clearSelection();
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
    completer_->popup()->hide();
}

bool TAddressCompleter::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != completer_->popup() || event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    switch (static_cast<QKeyEvent *>(event)->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: {
        const QModelIndex current = completer_->popup()->currentIndex();
        if (current.isValid() && completer_->popup()->selectionModel()->isSelected(current)) {
            runGuarded([&] { choose(current.row()); });
        } else {
            hide();
            runGuarded(go_);
        }
        return true;
    }
    case Qt::Key_Escape:
        hide();
        return true;
    default:
        return false;
    }
}
