#include "bmedit.h"

#include "core/formfont.h"
#include "core/errors.h"
#include "bookmarkfile.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

static void initResources()
{
    Q_INIT_RESOURCE(vexel);
}

namespace {

const QString kFolderEntry = QStringLiteral("フォルダ");
const QString kNewFolderName = QStringLiteral("新しいフォルダ");

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
    move(254, 120);
    resize(460, 288);
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
    QTreeWidgetItem *holder = nullptr;
    if (!SelNode) {
        TreeView1->addTopLevelItem(node);  // the tree was empty
    } else if (imageIndex(SelNode) == kFolderImage) {
        holder = SelNode;
        holder->insertChild(0, node);
    } else if ((holder = SelNode->parent())) {
        holder->insertChild(holder->indexOfChild(SelNode), node);
    } else {
        TreeView1->insertTopLevelItem(TreeView1->indexOfTopLevelItem(SelNode), node);
    }
    URLList.insert(absoluteIndex(node), txtURL->text());
    if (holder)
        holder->setExpanded(true);
    return node;
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
