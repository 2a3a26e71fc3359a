// The bookmark menu: built once from the bookmark file at start-up, never
// rebuilt; what the editor saves shows from the next start on.

#include "app/errors.h"
#include "app/forms.h"
#include "app/mainform.h"
#include "app/programdir.h"
#include "bookmarks/bmedit.h"
#include "bookmarks/bookmarkfile.h"
#include "browser/browserwindow.h"
#include "browser/enginecontrol.h"
#include "settings/profile.h"

#include <QAction>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>

namespace {

constexpr int kFolderImage = 11;
constexpr int kBookmarkImage = 12;

}  // namespace

void TMainForm::ReadBookMark()
{
    // A file that cannot be read gives what can be read of it, down to
    // nothing; start-up goes on either way.
    const bookmarks::XmlDoc doc = bookmarks::readBookmarkFile(bookmarks::bookmarkFilePath());
    const QList<xmlNode *> entries = bookmarks::topLevelEntries(bookmarks::bookmarkRoot(doc));
    for (qsizetype i = 0; i < entries.size(); ++i) {
        QAction *item = addBookmarkItem(mnuBookMark, entries[i], int(i) + 2);
        ReadBookMarkFolder(entries[i], item);
    }
}

void TMainForm::ReadBookMarkFolder(xmlNode *Folder, QAction *ParentItem)
{
    if (!bookmarks::isFolder(Folder))
        return;  // bookmarks have no submenu
    const QList<xmlNode *> entries = bookmarks::folderEntries(Folder);
    if (entries.isEmpty())
        return;  // an empty folder is an item without a submenu
    auto *submenu = new QMenu(this);
    ParentItem->setMenu(submenu);
    for (qsizetype j = 0; j < entries.size(); ++j) {
        QAction *item = addBookmarkItem(submenu, entries[j], int(j));
        ReadBookMarkFolder(entries[j], item);
    }
}

// One entry's item: the folder image and no address, or the bookmark image
// and the address in its hint.
QAction *TMainForm::addBookmarkItem(QMenu *Parent, xmlNode *entry, int Index)
{
    QAction *item = AddMenuItem(Parent, QStringLiteral("&") + bookmarks::entryName(entry), Index);
    int image = kFolderImage;
    if (!bookmarks::isFolder(entry)) {
        item->setProperty("Hint", bookmarks::entryAddress(entry));
        image = kBookmarkImage;
    }
    item->setProperty("ImageIndex", image);
    item->setIcon(ImageList1.value(image));
    connect(item, &QAction::triggered, this, guarded([this, item](bool) { iventMenuClick(item); }));
    return item;
}

QAction *TMainForm::AddMenuItem(QMenu *Parent, const QString &Caption, int Index)
{
    auto *item = new QAction(Caption, this);
    item->setVisible(true);
    item->setEnabled(true);
    Parent->insertAction(Parent->actions().value(Index), item);  // past the end: appended
    return item;
}

void TMainForm::iventMenuClick(QAction *item)
{
    // A folder's item holds no address: choosing it opens nothing.
    if (item->property("ImageIndex").toInt() == kFolderImage)
        return;
    int setting = profile::readInteger(configPath(ProgramDir), QStringLiteral("Option_Window"),
                                       QStringLiteral("BookMark"), 0);
    if (MDIClient->subWindowList().isEmpty())
        setting = 1;
    const QString address = item->property("Hint").toString();
    if (!address.isEmpty())
        txtAddress->setText(address);
    if ((setting & 0xFF) == 1) {
        OpenBrowserWindow(QString(), txtAddress->text());
        return;
    }
    if (TBrowserWindow *w = ActiveMDIChild())
        w->control()->Navigate(txtAddress->text());
}

void TMainForm::mnuEditClick()
{
    if (!frm_BMEdit)
        return;
    frm_BMEdit->show();
    frm_BMEdit->raise();
    frm_BMEdit->activateWindow();
    frm_BMEdit->txtURL->setText(txtAddress->text());
    // With no browser window there is no page to name the bookmark after.
    TBrowserWindow *w = ActiveMDIChild();
    frm_BMEdit->txtName->setText(w ? w->windowTitle() : QString());
}
