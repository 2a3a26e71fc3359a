// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The bookmark editor: loads the bookmark file into its tree at start-up and
// writes the whole tree back on OK. Created once and only shown and hidden
// after that, so unsaved changes live until the program ends.

#include <QIcon>
#include <QList>
#include <QStringList>
#include <QWidget>

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
struct _xmlNode;

class Tfrm_BMEdit : public QWidget {
    Q_OBJECT
public:
    // fileName: the bookmark file, read here and written by OK.
    explicit Tfrm_BMEdit(const QString &fileName, QWidget *parent = nullptr);

    QLabel *Label2;
    QLineEdit *txtName;
    QLabel *Label1;
    QLineEdit *txtURL;
    QTreeWidget *TreeView1;
    QPushButton *btnAdd, *btnDel, *btnMD, *btnOK, *btnCancel;

    QList<QIcon> ImageList1;  // 0 folder, 1 web page

    // The tree's context menu: import and export of bookmark HTML files.
    QMenu *mnuTree;
    QAction *mnuImport, *mnuExport;

    // One entry per tree node, in the order of a depth-first walk that takes
    // a parent before its children: a bookmark's address; for a folder
    // "フォルダ" when it came from the file, else the address field's text
    // when it was made.
    QStringList URLList;

    // The node the add, folder and delete operations act on.
    QTreeWidgetItem *SelNode = nullptr;

    // Handlers.
    void FormCreate();
    void TreeView1Change(QTreeWidgetItem *Node);
    void btnAddClick();
    void btnMDClick();
    void btnDelClick();
    void btnOKClick();
    void btnCancelClick();
    void TreeView1ContextPopup(const QPoint &pos);
    void mnuImportClick();
    void mnuExportClick();

    // Reads a bookmark HTML file into a new folder named after the file,
    // put where a new folder goes when target is the node acted on, or last
    // at the top level when there is none; selects and returns the folder.
    // Throws VexelError when the file cannot be read, cannot be read to its
    // end, or holds no entries; the tree is then unchanged.
    QTreeWidgetItem *ImportBookmarks(const QString &path, QTreeWidgetItem *target);
    // Writes the tree as it stands, unsaved changes included, as a bookmark
    // HTML file; replaces the file whole or throws VexelError.
    void ExportBookmarks(const QString &path) const;

    // A node's kind is its image index.
    static constexpr int kFolderImage = 0;
    static constexpr int kBookmarkImage = 1;
    static int imageIndex(const QTreeWidgetItem *node);

    // The node's position in the depth-first walk: its URLList index.
    int absoluteIndex(QTreeWidgetItem *node) const;

private:
    void LoadChildren(_xmlNode *entry, QTreeWidgetItem *node);
    // Writes node and its following siblings, at tree level level, into
    // element; absolute is the URLList index of node.
    void WriteChildren(QTreeWidgetItem *node, _xmlNode *element, int level, int &absolute) const;
    void writeEntry(QTreeWidgetItem *node, _xmlNode *element, int level, int &absolute) const;
    QTreeWidgetItem *newNode(const QString &name, int image) const;
    // Puts a new node where adding puts it; returns it.
    QTreeWidgetItem *insertAtSelection(const QString &name, int image);
    // Puts node where adding puts a node when target is the node acted on:
    // before a bookmark, first in a folder, last at the top level when there
    // is none. Returns the folder that holds node, or null.
    QTreeWidgetItem *placeNode(QTreeWidgetItem *target, QTreeWidgetItem *node);

    QString fileName_;
    // The node the context menu was opened on, while it is open.
    QTreeWidgetItem *menuNode_ = nullptr;
    // Where the next file dialog opens: the folder of the last file chosen.
    QString dialogFolder_;
};
