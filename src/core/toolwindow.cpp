// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/toolwindow.h"

#include <QAction>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QTreeWidget>

namespace toolwindow {

void prepare(QWidget *window, const char *name, const QString &title, std::initializer_list<Component> components)
{
    window->setObjectName(QString::fromLatin1(name));
    window->setWindowTitle(title);
    window->setAttribute(Qt::WA_DeleteOnClose);
    for (const Component &c : components)
        c.widget->setObjectName(QString::fromLatin1(c.name));
    auto *escape = new QAction(window);
    escape->setShortcut(Qt::Key_Escape);
    QObject::connect(escape, &QAction::triggered, window, &QWidget::close);
    window->addAction(escape);
}

void prepareList(QTreeWidget *list, const QStringList &headers, int stretch)
{
    list->setHeaderLabels(headers);
    list->setRootIsDecorated(false);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setSortingEnabled(true);
    list->sortByColumn(0, Qt::AscendingOrder);
    list->header()->setSectionResizeMode(stretch, QHeaderView::Stretch);
}

QHBoxLayout *buttonRow(std::initializer_list<QWidget *> left, std::initializer_list<QWidget *> right)
{
    auto *row = new QHBoxLayout;
    for (QWidget *w : left)
        row->addWidget(w);
    row->addStretch();
    for (QWidget *w : right)
        row->addWidget(w);
    return row;
}

}  // namespace toolwindow
