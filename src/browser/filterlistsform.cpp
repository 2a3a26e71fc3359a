// SPDX-License-Identifier: GPL-3.0-or-later
#include "filterlistsform.h"

#include "blocking/filterengine.h"
#include "contentblocking.h"
#include "core/errors.h"
#include "core/toolwindow.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

FilterListsForm::FilterListsForm(QWidget *parent)
    : QWidget(parent, Qt::Window),
      lstPackaged(new QListWidget(this)),
      lstOwn(new QListWidget(this)),
      lblRules(new QLabel(this)),
      btnAddFile(new QPushButton(QStringLiteral("ファイルを追加..."), this)),
      btnAddAddress(new QPushButton(QStringLiteral("アドレスを追加..."), this)),
      btnRemove(new QPushButton(QStringLiteral("削除"), this)),
      btnUpdate(new QPushButton(QStringLiteral("今すぐ更新"), this)),
      btnClose(new QPushButton(QStringLiteral("閉じる"), this))
{
    toolwindow::prepare(this, "frm_FilterLists", QStringLiteral("フィルター リスト"),
                        {{lstPackaged, "lstPackaged"}, {lstOwn, "lstOwn"}, {lblRules, "lblRules"},
                         {btnAddFile, "btnAddFile"}, {btnAddAddress, "btnAddAddress"}, {btnRemove, "btnRemove"},
                         {btnUpdate, "btnUpdate"}, {btnClose, "btnClose"}});
    lblRules->setTextFormat(Qt::PlainText);
    lstOwn->setSelectionMode(QAbstractItemView::ExtendedSelection);

    auto *buttons = toolwindow::buttonRow({btnAddFile, btnAddAddress, btnRemove, btnUpdate}, {btnClose});
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("このシステムのリスト:"), this));
    layout->addWidget(lstPackaged, 1);
    layout->addWidget(new QLabel(QStringLiteral("追加したリスト (ファイルまたはアドレス):"), this));
    layout->addWidget(lstOwn, 2);
    layout->addWidget(lblRules);
    layout->addLayout(buttons);
    resize(600, 420);

    connect(btnAddFile, &QPushButton::clicked, this, guarded([this](bool) {
        const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("フィルター リストを追加"), QString(),
                                                          QStringLiteral("フィルター リスト (*.txt);;すべてのファイル (*)"));
        if (!path.isEmpty())
            addList(path);
    }));
    connect(btnAddAddress, &QPushButton::clicked, this, guarded([this](bool) {
        bool ok = false;
        const QString address = QInputDialog::getText(this, QStringLiteral("フィルター リストを追加"),
                                                      QStringLiteral("リストのアドレス (http:// または https://):"),
                                                      QLineEdit::Normal, QString(), &ok);
        if (ok && !address.trimmed().isEmpty())
            addList(address.trimmed());
    }));
    connect(btnRemove, &QPushButton::clicked, this, guarded([this](bool) { removeSelected(); }));
    connect(btnUpdate, &QPushButton::clicked, this, guarded([](bool) { ContentBlocking::instance().updateAddresses(true); }));
    connect(btnClose, &QPushButton::clicked, this, &QWidget::close);
    connect(lstOwn, &QListWidget::itemSelectionChanged, this,
            [this] { btnRemove->setEnabled(!lstOwn->selectedItems().isEmpty()); });
    connect(&ContentBlocking::instance(), &ContentBlocking::changed, this, &FilterListsForm::reload);
    reload();
}

FilterListsForm *FilterListsForm::showFor(QWidget *from)
{
    static QPointer<FilterListsForm> form;
    QWidget *owner = from ? from->window() : nullptr;
    toolwindow::showOnly(form, owner, [owner] { return new FilterListsForm(owner); });
    form->reload();
    return form;
}

void FilterListsForm::reload()
{
    lstPackaged->clear();
    const QStringList packaged = ContentBlocking::packagedLists();
    for (const QString &path : packaged)
        lstPackaged->addItem(QFileInfo(path).completeBaseName() + QStringLiteral(" (") + path + QLatin1Char(')'));
    if (packaged.isEmpty())
        lstPackaged->addItem(QStringLiteral("ありません (webext-ublock-origin-chromium パッケージで入ります)"));
    lstOwn->clear();
    lstOwn->addItems(ContentBlocking::instance().userLists());
    const blocking::FilterEngine *engine = ContentBlocking::instance().engine();
    lblRules->setText(engine ? QStringLiteral("使用中のルール: %1 件").arg(engine->ruleCount())
                             : QStringLiteral("フィルターを読み込んでいません"));
    btnRemove->setEnabled(!lstOwn->selectedItems().isEmpty());
}

void FilterListsForm::addList(const QString &list)
{
    const QUrl url(list);
    const bool address = url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https");
    if (!address && !QFileInfo(list).isAbsolute())
        throw VexelError(QStringLiteral("フィルター リストにはファイルか http:// または https:// のアドレスを指定してください"));
    QStringList lists = ContentBlocking::instance().userLists();
    if (lists.contains(list))
        return;
    ContentBlocking::instance().setUserLists(lists << list);
    if (address)
        ContentBlocking::instance().updateAddresses(false);
    reload();
}

void FilterListsForm::removeSelected()
{
    QStringList lists = ContentBlocking::instance().userLists();
    for (QListWidgetItem *item : lstOwn->selectedItems())
        lists.removeAll(item->text());
    ContentBlocking::instance().setUserLists(lists);
    reload();
}
