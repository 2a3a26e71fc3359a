// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The bookmark menu's entries: built once from the bookmark file at start-up,
// never rebuilt; what the editor saves shows from the next start on.

#include <QIcon>
#include <QList>
#include <QMetaType>
#include <QString>
#include <functional>

class QAction;
class QMenu;
class QWidget;
struct _xmlNode;

// What an item of the menu stands for, kept in the item's data.
struct BookmarkItem {
    int image = 0;    // TBookmarkMenu::FolderImage or BookmarkImage
    QString address;  // a bookmark's; a folder has none
};
Q_DECLARE_METATYPE(BookmarkItem)

class TBookmarkMenu {
public:
    // The images of a folder's item and a bookmark's item.
    static constexpr int FolderImage = 11;
    static constexpr int BookmarkImage = 12;

    // What item stands for; an item of no bookmark stands for nothing.
    static BookmarkItem itemOf(const QAction *item);
    // A name as an item's caption: the menus' leading "&", and the name's
    // own "&" shown as itself rather than taken as an access key.
    static QString caption(const QString &name);

    // Items go into menu, owned by owner, with images from images; choosing
    // one calls chosen with the item.
    TBookmarkMenu(QMenu *menu, QWidget *owner, const QList<QIcon> &images, std::function<void(QAction *)> chosen);

    // Adds the file's entries after the menu's first two items. A file that
    // cannot be read gives what can be read of it, down to nothing.
    void build(const QString &fileName);

private:
    void ReadBookMarkFolder(_xmlNode *Folder, QAction *ParentItem);
    QAction *AddMenuItem(QMenu *Parent, const QString &Caption, int Index);
    QAction *addBookmarkItem(QMenu *Parent, _xmlNode *entry, int Index);

    QMenu *menu_;
    QWidget *owner_;
    QList<QIcon> images_;
    std::function<void(QAction *)> chosen_;
};
