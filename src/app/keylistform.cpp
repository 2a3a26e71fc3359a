// SPDX-License-Identifier: GPL-3.0-or-later
#include "keylistform.h"

#include "core/formfont.h"

#include <QAction>
#include <QHeaderView>
#include <QTreeWidget>
#include <QVBoxLayout>

TKeyListForm::TKeyListForm(const QList<TFrameKeys::Entry> &entries, QWidget *frame) : QWidget(frame, Qt::Window)
{
    setObjectName(QStringLiteral("frm_KeyList"));
    setWindowTitle(QStringLiteral("キーの一覧"));
    setFont(formFont());
    lstKeys = new QTreeWidget(this);
    lstKeys->setObjectName(QStringLiteral("lstKeys"));
    lstKeys->setHeaderLabels({QStringLiteral("キー"), QStringLiteral("機能")});
    lstKeys->setRootIsDecorated(false);
    lstKeys->setSelectionMode(QAbstractItemView::SingleSelection);
    for (const TFrameKeys::Entry &e : entries)
        new QTreeWidgetItem(lstKeys, {e.keys, e.meaning});
    lstKeys->resizeColumnToContents(0);
    lstKeys->resizeColumnToContents(1);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(lstKeys);
    resize(qMax(420, lstKeys->columnWidth(0) + lstKeys->columnWidth(1) + 60), 520);

    auto *close = new QAction(this);
    close->setShortcut(Qt::Key_Escape);
    connect(close, &QAction::triggered, this, &QWidget::close);
    addAction(close);
}
