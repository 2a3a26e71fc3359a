// SPDX-License-Identifier: GPL-3.0-or-later
#include "bookmarkmenu.h"

#include "bookmarks/bookmarkfile.h"

#include <QAction>
#include <QMenu>

TBookmarkMenu::TBookmarkMenu(QMenu *menu, QWidget *owner, const QList<QIcon> &images,
                             std::function<void(QAction *)> chosen)
    : menu_(menu), owner_(owner), images_(images), chosen_(std::move(chosen))
{
}

void TBookmarkMenu::build(const QString &fileName)
{
    const bookmarks::XmlDoc doc = bookmarks::readBookmarkFile(fileName);
    const QList<xmlNode *> entries = bookmarks::topLevelEntries(bookmarks::bookmarkRoot(doc));
    for (qsizetype i = 0; i < entries.size(); ++i) {
        QAction *item = addBookmarkItem(menu_, entries[i], int(i) + 2);
        ReadBookMarkFolder(entries[i], item);
    }
}

void TBookmarkMenu::ReadBookMarkFolder(xmlNode *Folder, QAction *ParentItem)
{
    if (!bookmarks::isFolder(Folder))
        return;  // bookmarks have no submenu
    const QList<xmlNode *> entries = bookmarks::folderEntries(Folder);
    if (entries.isEmpty())
        return;  // an empty folder is an item without a submenu
    auto *submenu = new QMenu(owner_);
    ParentItem->setMenu(submenu);
    for (qsizetype j = 0; j < entries.size(); ++j) {
        QAction *item = addBookmarkItem(submenu, entries[j], int(j));
        ReadBookMarkFolder(entries[j], item);
    }
}

BookmarkItem TBookmarkMenu::itemOf(const QAction *item)
{
    return item->data().value<BookmarkItem>();
}

QString TBookmarkMenu::caption(const QString &name)
{
    return QStringLiteral("&") + QString(name).replace(QLatin1Char('&'), QLatin1String("&&"));
}

// One entry's item: the folder image and no address, or the bookmark image
// and its address.
QAction *TBookmarkMenu::addBookmarkItem(QMenu *Parent, xmlNode *entry, int Index)
{
    QAction *item = AddMenuItem(Parent, caption(bookmarks::entryName(entry)), Index);
    BookmarkItem what{FolderImage, {}};
    if (!bookmarks::isFolder(entry))
        what = {BookmarkImage, bookmarks::entryAddress(entry)};
    item->setData(QVariant::fromValue(what));
    item->setIcon(images_.value(what.image));
    QObject::connect(item, &QAction::triggered, owner_, [this, item](bool) { chosen_(item); });
    return item;
}

QAction *TBookmarkMenu::AddMenuItem(QMenu *Parent, const QString &Caption, int Index)
{
    auto *item = new QAction(Caption, owner_);
    item->setVisible(true);
    item->setEnabled(true);
    Parent->insertAction(Parent->actions().value(Index), item);  // past the end: appended
    return item;
}
