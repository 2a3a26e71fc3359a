#pragma once
// The bookmark menu's entries: built once from the bookmark file at start-up,
// never rebuilt; what the editor saves shows from the next start on.

#include <QIcon>
#include <QList>
#include <functional>

class QAction;
class QMenu;
class QWidget;
struct _xmlNode;

class TBookmarkMenu {
public:
    // The images of a folder's item and a bookmark's item.
    static constexpr int FolderImage = 11;
    static constexpr int BookmarkImage = 12;

    // Items go into menu, owned by owner, with images from images; choosing
    // one calls chosen with the item (a bookmark's address is its "Hint").
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
