// SPDX-License-Identifier: GPL-3.0-or-later
#include "historyform.h"

#include "core/errors.h"
#include "core/formfont.h"
#include "historystore.h"

#include <QAction>
#include <QDateTime>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlQueryModel>
#include <QTreeView>
#include <QVBoxLayout>

namespace {

enum Column { TitleColumn, AddressColumn, TimeColumn };

// Rows come from the database a screenful at a time, so a long history
// opens at once; the time is shown as the user's local date and time.
class HistoryModel : public QSqlQueryModel {
public:
    using QSqlQueryModel::QSqlQueryModel;
    QVariant data(const QModelIndex &index, int role) const override
    {
        if (index.column() == TimeColumn && role == Qt::DisplayRole)
            return QDateTime::fromMSecsSinceEpoch(QSqlQueryModel::data(index, role).toLongLong())
                .toString(QStringLiteral("yyyy/MM/dd HH:mm"));
        return QSqlQueryModel::data(index, role);
    }
};

}  // namespace

THistoryForm::THistoryForm(HistoryStore *store, QWidget *parent)
    : QWidget(parent, Qt::Window), store_(store), model_(new HistoryModel(this))
{
    setObjectName(QStringLiteral("frm_History"));
    setWindowTitle(QStringLiteral("履歴"));
    setFont(formFont());
    resize(640, 420);

    Label1 = new QLabel(QStringLiteral("検索(&S):"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    txtSearch = new QLineEdit(this);
    txtSearch->setObjectName(QStringLiteral("txtSearch"));
    txtSearch->setClearButtonEnabled(true);
    Label1->setBuddy(txtSearch);

    lstHistory = new QTreeView(this);
    lstHistory->setObjectName(QStringLiteral("lstHistory"));
    lstHistory->setRootIsDecorated(false);
    lstHistory->setUniformRowHeights(true);
    lstHistory->setAllColumnsShowFocus(true);
    lstHistory->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lstHistory->setSelectionBehavior(QAbstractItemView::SelectRows);
    lstHistory->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lstHistory->setModel(model_);
    lstHistory->installEventFilter(this);

    auto makeButton = [this](const char *name, const QString &text) {
        auto *b = new QPushButton(text, this);
        b->setObjectName(QLatin1String(name));
        return b;
    };
    btnOpen = makeButton("btnOpen", QStringLiteral("開く(&O)"));
    btnDelete = makeButton("btnDelete", QStringLiteral("削除(&D)"));
    btnClear = makeButton("btnClear", QStringLiteral("すべて消去(&A)"));
    btnClose = makeButton("btnClose", QStringLiteral("閉じる"));

    auto *search = new QHBoxLayout;
    search->addWidget(Label1);
    search->addWidget(txtSearch, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(btnOpen);
    buttons->addWidget(btnDelete);
    buttons->addWidget(btnClear);
    buttons->addStretch(1);
    buttons->addWidget(btnClose);
    auto *column = new QVBoxLayout(this);
    column->addLayout(search);
    column->addWidget(lstHistory, 1);
    column->addLayout(buttons);

    connect(txtSearch, &QLineEdit::textChanged, this, guarded([this](const QString &) { txtSearchChange(); }));
    connect(txtSearch, &QLineEdit::returnPressed, this, guarded([this] { btnOpenClick(); }));
    connect(lstHistory, &QTreeView::doubleClicked, this, guarded([this](const QModelIndex &) { btnOpenClick(); }));
    connect(btnOpen, &QPushButton::clicked, this, guarded([this](bool) { btnOpenClick(); }));
    connect(btnDelete, &QPushButton::clicked, this, guarded([this](bool) { btnDeleteClick(); }));
    connect(btnClear, &QPushButton::clicked, this, guarded([this](bool) { btnClearClick(); }));
    connect(btnClose, &QPushButton::clicked, this, &QWidget::close);
    // Esc closes it, as it closes a dialog.
    auto *escape = new QAction(this);
    escape->setObjectName(QStringLiteral("CloseAction"));
    escape->setShortcut(Qt::Key_Escape);
    escape->setShortcutContext(Qt::WindowShortcut);
    connect(escape, &QAction::triggered, this, &QWidget::close);
    addAction(escape);
}

THistoryForm::~THistoryForm()
{
    // The model's query belongs to the store's connection: let it go first.
    model_->clear();
}

void THistoryForm::refresh()
{
    QSqlQuery q(store_->database());
    q.prepare(HistoryStore::listQuery(QStringLiteral("title, address, last_visit")));
    q.bindValue(QStringLiteral(":needle"), HistoryStore::needle(txtSearch->text()));
    q.exec();
    model_->setQuery(std::move(q));
    if (model_->lastError().isValid())
        qWarning("history: %s", qPrintable(model_->lastError().text()));
    model_->setHeaderData(TitleColumn, Qt::Horizontal, QStringLiteral("タイトル"));
    model_->setHeaderData(AddressColumn, Qt::Horizontal, QStringLiteral("アドレス"));
    model_->setHeaderData(TimeColumn, Qt::Horizontal, QStringLiteral("最終訪問"));
    lstHistory->header()->resizeSection(TitleColumn, 240);
    lstHistory->header()->resizeSection(AddressColumn, 260);
    if (model_->rowCount() > 0)
        lstHistory->setCurrentIndex(model_->index(0, 0));
}

int THistoryForm::rowCount() const
{
    return model_->rowCount();
}

QString THistoryForm::addressAt(int row) const
{
    return model_->data(model_->index(row, AddressColumn), Qt::DisplayRole).toString();
}

void THistoryForm::txtSearchChange()
{
    refresh();
}

void THistoryForm::btnOpenClick()
{
    const QModelIndex current = lstHistory->currentIndex();
    if (current.isValid())
        emit openRequested(addressAt(current.row()));
}

QStringList THistoryForm::selectedAddresses() const
{
    QStringList addresses;
    for (const QModelIndex &index : lstHistory->selectionModel()->selectedRows())
        addresses.append(addressAt(index.row()));
    return addresses;
}

void THistoryForm::btnDeleteClick()
{
    const QStringList addresses = selectedAddresses();
    if (addresses.isEmpty())
        return;
    const int row = lstHistory->currentIndex().row();
    // The model's open query would keep the table locked for the delete.
    model_->clear();
    store_->remove(addresses);
    refresh();
    if (model_->rowCount() > 0)
        lstHistory->setCurrentIndex(model_->index(qBound(0, row, model_->rowCount() - 1), 0));
}

void THistoryForm::btnClearClick()
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("履歴"), QStringLiteral("履歴をすべて消去しますか？"),
                    QMessageBox::Yes | QMessageBox::No, this);
    box.button(QMessageBox::Yes)->setText(QStringLiteral("はい"));
    box.button(QMessageBox::No)->setText(QStringLiteral("いいえ"));
    box.setDefaultButton(QMessageBox::No);
    if (box.exec() != QMessageBox::Yes)
        return;
    model_->clear();
    store_->clear();
    refresh();
}

void THistoryForm::showEvent(QShowEvent *event)
{
    refresh();
    QWidget::showEvent(event);
}

bool THistoryForm::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == lstHistory && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            runGuarded([this] { btnOpenClick(); });
            return true;
        }
        if (key == Qt::Key_Delete) {
            runGuarded([this] { btnDeleteClick(); });
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
