#pragma once
// The bookmark editor: loads the bookmark file into its tree at start-up and
// writes the whole tree back on OK. Created once and only shown and hidden
// after that, so unsaved changes live until the program ends.

#include <QIcon>
#include <QList>
#include <QStringList>
#include <QWidget>

class QLabel;
class QLineEdit;
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

    QString fileName_;
};
