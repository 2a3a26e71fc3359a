// SPDX-License-Identifier: GPL-3.0-or-later
#include "bmedit.h"

#include "core/formfont.h"
#include "core/errors.h"
#include "core/atomicfile.h"
#include "bookmarkfile.h"
#include "bookmarkhtml.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QTreeWidget>
#include <functional>

static void initResources()
{
    Q_INIT_RESOURCE(vexel);
}

namespace {

const QString kFolderEntry = QStringLiteral("フォルダ");
const QString kNewFolderName = QStringLiteral("新しいフォルダ");
const QStringList kHtmlFilters = {QStringLiteral("ブックマーク HTML (*.html *.htm)"),
                                  QStringLiteral("すべてのファイル (*)")};

// The node and every node under it.
int subtreeSize(const QTreeWidgetItem *node)
{
    int size = 1;
    for (int i = 0; i < node->childCount(); ++i)
        size += subtreeSize(node->child(i));
    return size;
}

}  // namespace

Tfrm_BMEdit::Tfrm_BMEdit(const QString &fileName, QWidget *parent)
    : QWidget(parent, Qt::Window), fileName_(fileName)
{
    initResources();
    setObjectName(QStringLiteral("frm_BMEdit"));
    setWindowTitle(QStringLiteral("ブックマークの編集"));
    setFont(formFont());
    resize(460, 288);
    // Where it has always opened, unless a large scale factor leaves the
    // screen too small for that: then as far up and left as it must.
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect available = screen->availableGeometry();
        move(qMax(available.left(), qMin(254, available.right() + 1 - width())),
             qMax(available.top(), qMin(120, available.bottom() + 1 - height())));
    } else {
        move(254, 120);
    }
    ImageList1 = {QIcon(QStringLiteral(":/icons/bmedit0.png")), QIcon(QStringLiteral(":/icons/bmedit1.png"))};

    auto label = [this](const char *name, const QString &caption, const QRect &geometry) {
        auto *l = new QLabel(caption, this);
        l->setObjectName(QString::fromLatin1(name));
        l->setGeometry(geometry);
        return l;
    };
    auto edit = [this](const char *name, const QRect &geometry) {
        auto *e = new QLineEdit(QString::fromLatin1(name), this);
        e->setObjectName(QString::fromLatin1(name));
        e->setGeometry(geometry);
        return e;
    };
    auto button = [this](const char *name, const QString &caption, const QRect &geometry) {
        auto *b = new QPushButton(caption, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setGeometry(geometry);
        return b;
    };
    Label2 = label("Label2", QStringLiteral("名前："), QRect(16, 8, 30, 12));
    txtName = edit("txtName", QRect(48, 8, 153, 20));
    Label1 = label("Label1", QStringLiteral("URL："), QRect(16, 32, 28, 12));
    txtURL = edit("txtURL", QRect(48, 32, 297, 20));

    TreeView1 = new QTreeWidget(this);
    TreeView1->setObjectName(QStringLiteral("TreeView1"));
    TreeView1->setGeometry(48, 64, 297, 161);
    TreeView1->setColumnCount(1);
    TreeView1->setHeaderHidden(true);
    TreeView1->setIndentation(19);
    TreeView1->setIconSize(QSize(16, 16));
    TreeView1->setUniformRowHeights(true);
    TreeView1->setSortingEnabled(false);
    TreeView1->setSelectionMode(QAbstractItemView::SingleSelection);
    TreeView1->setDragDropMode(QAbstractItemView::NoDragDrop);
    TreeView1->setDragEnabled(false);
    // In-place renaming: a click on the selected node, or F2.
    TreeView1->setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed);

    btnAdd = button("btnAdd", QStringLiteral("追   加"), QRect(355, 16, 89, 17));
    btnDel = button("btnDel", QStringLiteral("削　  除"), QRect(355, 40, 89, 17));
    btnMD = button("btnMD", QStringLiteral("フォルダの作成"), QRect(355, 64, 89, 17));
    btnOK = button("btnOK", QStringLiteral("O   K"), QRect(355, 192, 89, 25));
    btnCancel = button("btnCancel", QStringLiteral("キャンセル"), QRect(355, 224, 89, 25));

    const QList<QWidget *> tabOrder = {txtURL, btnCancel, btnAdd, btnMD, TreeView1, txtName, btnOK, btnDel};
    for (qsizetype i = 1; i < tabOrder.size(); ++i)
        setTabOrder(tabOrder[i - 1], tabOrder[i]);
    txtURL->setFocus();

    mnuTree = new QMenu(this);
    mnuTree->setObjectName(QStringLiteral("mnuTree"));
    mnuImport = mnuTree->addAction(QStringLiteral("インポート..."));
    mnuImport->setObjectName(QStringLiteral("mnuImport"));
    mnuExport = mnuTree->addAction(QStringLiteral("エクスポート..."));
    mnuExport->setObjectName(QStringLiteral("mnuExport"));
    TreeView1->setContextMenuPolicy(Qt::CustomContextMenu);

    // The selection, not Qt's current item: the view makes a node current
    // without selecting it when it takes the focus, and that node was never
    // chosen by the user.
    connect(TreeView1, &QTreeWidget::itemSelectionChanged, this, guarded([this] {
                TreeView1Change(TreeView1->selectedItems().value(0));
            }));
    connect(btnAdd, &QPushButton::clicked, this, guarded([this](bool) { btnAddClick(); }));
    connect(btnMD, &QPushButton::clicked, this, guarded([this](bool) { btnMDClick(); }));
    connect(btnDel, &QPushButton::clicked, this, guarded([this](bool) { btnDelClick(); }));
    connect(btnOK, &QPushButton::clicked, this, guarded([this](bool) { btnOKClick(); }));
    connect(btnCancel, &QPushButton::clicked, this, guarded([this](bool) { btnCancelClick(); }));
    connect(TreeView1, &QWidget::customContextMenuRequested, this,
            guarded([this](const QPoint &pos) { TreeView1ContextPopup(pos); }));
    connect(mnuImport, &QAction::triggered, this, guarded([this](bool) { mnuImportClick(); }));
    connect(mnuExport, &QAction::triggered, this, guarded([this](bool) { mnuExportClick(); }));

    runGuarded([this] { FormCreate(); });
}

int Tfrm_BMEdit::imageIndex(const QTreeWidgetItem *node)
{
    return node->data(0, Qt::UserRole).toInt();
}

QTreeWidgetItem *Tfrm_BMEdit::newNode(const QString &name, int image) const
{
    auto *node = new QTreeWidgetItem({name});
    node->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsEditable);
    node->setIcon(0, ImageList1.value(image));
    node->setData(0, Qt::UserRole, image);
    return node;
}

int Tfrm_BMEdit::absoluteIndex(QTreeWidgetItem *node) const
{
    int index = 0;
    for (QTreeWidgetItem *n = node; n; n = n->parent()) {
        QTreeWidgetItem *parent = n->parent();
        const int position = parent ? parent->indexOfChild(n) : TreeView1->indexOfTopLevelItem(n);
        for (int i = 0; i < position; ++i)
            index += subtreeSize(parent ? parent->child(i) : TreeView1->topLevelItem(i));
        if (parent)
            ++index;
    }
    return index;
}

// ---------------------------------------------------------------------------
// Loading.

void Tfrm_BMEdit::FormCreate()
{
    URLList.clear();
    const bookmarks::XmlDoc doc = bookmarks::readBookmarkFile(fileName_);
    QList<QTreeWidgetItem *> roots;
    try {
        for (xmlNode *entry : bookmarks::topLevelEntries(bookmarks::bookmarkRoot(doc))) {
            const bool folder = bookmarks::isFolder(entry);
            QTreeWidgetItem *node = newNode(bookmarks::entryName(entry), folder ? kFolderImage : kBookmarkImage);
            roots.append(node);
            // A top-level bookmark's address is the node after its name.
            URLList.append(folder ? kFolderEntry : bookmarks::textAfterName(entry));
            LoadChildren(entry, node);
        }
    } catch (...) {
        // The nodes made before the failure stay, each with its entry.
        TreeView1->addTopLevelItems(roots);
        throw;
    }
    TreeView1->addTopLevelItems(roots);  // in one go: far cheaper than one by one
}

void Tfrm_BMEdit::LoadChildren(xmlNode *entry, QTreeWidgetItem *node)
{
    if (!bookmarks::isFolder(entry))
        return;
    for (xmlNode *child : bookmarks::folderEntries(entry)) {
        const bool folder = bookmarks::isFolder(child);
        QTreeWidgetItem *childNode = newNode(bookmarks::entryName(child), folder ? kFolderImage : kBookmarkImage);
        node->addChild(childNode);
        URLList.append(folder ? kFolderEntry : bookmarks::entryAddress(child));
        LoadChildren(child, childNode);
    }
}

// ---------------------------------------------------------------------------
// Editing.

void Tfrm_BMEdit::TreeView1Change(QTreeWidgetItem *Node)
{
    SelNode = Node;
}

QTreeWidgetItem *Tfrm_BMEdit::insertAtSelection(const QString &name, int image)
{
    if (!SelNode)
        SelNode = TreeView1->itemAt(0, 0);
    if (!SelNode)
        SelNode = TreeView1->topLevelItem(0);
    QTreeWidgetItem *node = newNode(name, image);
    QTreeWidgetItem *holder = placeNode(SelNode, node);  // no SelNode: the tree was empty
    URLList.insert(absoluteIndex(node), txtURL->text());
    if (holder)
        holder->setExpanded(true);
    return node;
}

QTreeWidgetItem *Tfrm_BMEdit::placeNode(QTreeWidgetItem *target, QTreeWidgetItem *node)
{
    QTreeWidgetItem *holder = nullptr;
    if (!target) {
        TreeView1->addTopLevelItem(node);
    } else if (imageIndex(target) == kFolderImage) {
        holder = target;
        holder->insertChild(0, node);
    } else if ((holder = target->parent())) {
        holder->insertChild(holder->indexOfChild(target), node);
    } else {
        TreeView1->insertTopLevelItem(TreeView1->indexOfTopLevelItem(target), node);
    }
    return holder;
}

void Tfrm_BMEdit::btnAddClick()
{
    insertAtSelection(txtName->text(), kBookmarkImage);
}

void Tfrm_BMEdit::btnMDClick()
{
    QTreeWidgetItem *node = insertAtSelection(kNewFolderName, kFolderImage);
    // Editing a node's name selects it, as the platform's tree does.
    TreeView1->setCurrentItem(node);
    TreeView1->editItem(node);
}

void Tfrm_BMEdit::btnDelClick()
{
    if (!SelNode)
        return;
    QTreeWidgetItem *node = SelNode;
    const bool hadSelection = !TreeView1->selectedItems().isEmpty();
    URLList.remove(absoluteIndex(node), subtreeSize(node));
    SelNode = nullptr;
    delete node;
    // When the selection went with the removed nodes, the node the tree
    // moved to in their place is the new selection.
    QTreeWidgetItem *current = TreeView1->currentItem();
    if (hadSelection && TreeView1->selectedItems().isEmpty() && current)
        TreeView1->setCurrentItem(current);
    SelNode = TreeView1->selectedItems().value(0);
}

// ---------------------------------------------------------------------------
// Saving.

void Tfrm_BMEdit::btnOKClick()
{
    bookmarks::BookmarkWriter writer;
    int absolute = 0;
    for (int i = 0; i < TreeView1->topLevelItemCount(); ++i)
        writeEntry(TreeView1->topLevelItem(i), writer.root(), 0, absolute);
    writer.save(fileName_);
    close();
}

void Tfrm_BMEdit::writeEntry(QTreeWidgetItem *node, xmlNode *element, int level, int &absolute) const
{
    const int index = absolute++;
    const int depth = level == 0 ? 1 : level + 2;
    if (imageIndex(node) != kFolderImage) {
        bookmarks::AppendFileEntry(element, depth, node->text(0), URLList.value(index));
        return;
    }
    // A folder stays a folder with or without entries.
    bookmarks::AppendDirectoryEntry(element, depth, node->text(0));
    if (node->childCount() > 0)
        WriteChildren(node->child(0), element->last, level + 1, absolute);
}

void Tfrm_BMEdit::WriteChildren(QTreeWidgetItem *node, xmlNode *element, int level, int &absolute) const
{
    QTreeWidgetItem *parent = node->parent();
    for (int i = parent->indexOfChild(node); i < parent->childCount(); ++i)
        writeEntry(parent->child(i), element, level, absolute);
}

void Tfrm_BMEdit::btnCancelClick()
{
    close();
}

// ---------------------------------------------------------------------------
// Import and export.

namespace {

// The nodes, with everything under them, as entries, each bookmark with its
// URLList entry; absolute is the URLList index of the first node, and ends
// as the index of the node after the last one's subtree.
QList<bookmarks::HtmlEntry> htmlEntries(const QList<QTreeWidgetItem *> &nodes, const QStringList &urls, int &absolute)
{
    QList<bookmarks::HtmlEntry> entries;
    entries.reserve(nodes.size());
    for (QTreeWidgetItem *node : nodes) {
        const bool folder = Tfrm_BMEdit::imageIndex(node) == Tfrm_BMEdit::kFolderImage;
        bookmarks::HtmlEntry entry{node->text(0), folder ? QString() : urls.value(absolute), folder, {}};
        ++absolute;
        QList<QTreeWidgetItem *> children;
        for (int i = 0; i < node->childCount(); ++i)
            children.append(node->child(i));
        entry.children = htmlEntries(children, urls, absolute);
        entries.append(std::move(entry));
    }
    return entries;
}

}  // namespace

void Tfrm_BMEdit::TreeView1ContextPopup(const QPoint &pos)
{
    // A right click selects the node it lands on; on empty space there is
    // no node and an import goes last.
    menuNode_ = TreeView1->itemAt(pos);
    mnuTree->exec(TreeView1->viewport()->mapToGlobal(pos));
    menuNode_ = nullptr;
}

void Tfrm_BMEdit::mnuImportClick()
{
    QTreeWidgetItem *target = menuNode_;
    QFileDialog dialog(this, QStringLiteral("ブックマークのインポート"), dialogFolder_);
    dialog.setObjectName(QStringLiteral("ImportDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(kHtmlFilters);
    // Modal: the tree, and so target, cannot change while it is open.
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString path = dialog.selectedFiles().constFirst();
    dialogFolder_ = QFileInfo(path).absolutePath();
    ImportBookmarks(path, target);
}

void Tfrm_BMEdit::mnuExportClick()
{
    QFileDialog dialog(this, QStringLiteral("ブックマークのエクスポート"), dialogFolder_);
    dialog.setObjectName(QStringLiteral("ExportDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(kHtmlFilters);
    dialog.setDefaultSuffix(QStringLiteral("html"));
    dialog.selectFile(QStringLiteral("bookmarks.html"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString path = dialog.selectedFiles().constFirst();
    dialogFolder_ = QFileInfo(path).absolutePath();
    ExportBookmarks(path);
}

QTreeWidgetItem *Tfrm_BMEdit::ImportBookmarks(const QString &path, QTreeWidgetItem *target)
{
    bool whole = true;
    const QList<bookmarks::HtmlEntry> entries =
        bookmarks::parseBookmarkHtml(bookmarks::readBookmarkHtmlFile(path), &whole);
    // Half a file taken in silently would pass for all of it.
    if (!whole)
        throw VexelError(QStringLiteral("%1 を最後まで読み込めません").arg(QDir::toNativeSeparators(path)));
    if (entries.isEmpty())
        throw VexelError(QStringLiteral("%1 にはブックマークがありません").arg(QDir::toNativeSeparators(path)));
    const QFileInfo info(path);
    QTreeWidgetItem *folder = newNode(info.completeBaseName().isEmpty() ? info.fileName() : info.completeBaseName(),
                                      kFolderImage);
    // The nodes are made away from the view and join it in one insertion;
    // their entries go into URLList in one piece. Folders read from a file
    // take the entry the loader gives them.
    QStringList urls{kFolderEntry};
    std::function<void(QTreeWidgetItem *, const QList<bookmarks::HtmlEntry> &)> build =
        [&](QTreeWidgetItem *parent, const QList<bookmarks::HtmlEntry> &list) {
            QList<QTreeWidgetItem *> nodes;
            nodes.reserve(list.size());
            for (const bookmarks::HtmlEntry &e : list) {
                QTreeWidgetItem *node = newNode(e.name, e.folder ? kFolderImage : kBookmarkImage);
                nodes.append(node);
                urls.append(e.folder ? kFolderEntry : e.address);
                build(node, e.children);
            }
            parent->addChildren(nodes);
        };
    build(folder, entries);

    QTreeWidgetItem *holder = placeNode(target, folder);
    const int at = absoluteIndex(folder);
    QStringList merged;
    merged.reserve(URLList.size() + urls.size());
    merged << URLList.mid(0, at) << urls << URLList.mid(at);
    URLList = std::move(merged);
    if (holder)
        holder->setExpanded(true);
    TreeView1->setCurrentItem(folder);
    TreeView1->scrollToItem(folder);
    return folder;
}

void Tfrm_BMEdit::ExportBookmarks(const QString &path) const
{
    QList<QTreeWidgetItem *> roots;
    for (int i = 0; i < TreeView1->topLevelItemCount(); ++i)
        roots.append(TreeView1->topLevelItem(i));
    int absolute = 0;
    writeFileAtomically(path, bookmarks::bookmarkHtml(htmlEntries(roots, URLList, absolute)));
}
