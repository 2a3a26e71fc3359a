// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The bookmark editor's tree for the tests: its nodes in depth-first order,
// and the one-line form of bookmarktree.h with each bookmark's URLList entry.

#include "bookmarks/bmedit.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QTreeWidget>
#include <functional>

// The nodes in depth-first order, parents first.
inline QList<QTreeWidgetItem *> walk(QTreeWidget *tree)
{
    QList<QTreeWidgetItem *> nodes;
    std::function<void(QTreeWidgetItem *)> visit = [&](QTreeWidgetItem *n) {
        nodes << n;
        for (int i = 0; i < n->childCount(); ++i)
            visit(n->child(i));
    };
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        visit(tree->topLevelItem(i));
    return nodes;
}

// The tree in the one-line form, each bookmark with its URLList entry.
inline QString treeText(const Tfrm_BMEdit &ed)
{
    const QList<QTreeWidgetItem *> nodes = walk(ed.TreeView1);
    if (nodes.size() != ed.URLList.size())
        return QStringLiteral("%1 nodes, %2 URLList entries").arg(nodes.size()).arg(ed.URLList.size());
    std::function<QString(QTreeWidgetItem *)> text = [&](QTreeWidgetItem *parent) {
        QStringList parts;
        const int count = parent ? parent->childCount() : ed.TreeView1->topLevelItemCount();
        for (int i = 0; i < count; ++i) {
            QTreeWidgetItem *n = parent ? parent->child(i) : ed.TreeView1->topLevelItem(i);
            parts << (Tfrm_BMEdit::imageIndex(n) == Tfrm_BMEdit::kFolderImage
                          ? n->text(0) + "[" + text(n) + "]"
                          : n->text(0) + "=" + ed.URLList[nodes.indexOf(n)]);
        }
        return parts.join(' ');
    };
    return text(nullptr);
}

inline QTreeWidgetItem *named(const Tfrm_BMEdit &ed, const QString &name)
{
    return ed.TreeView1->findItems(name, Qt::MatchExactly | Qt::MatchRecursive).value(0);
}
