// SPDX-License-Identifier: GPL-3.0-or-later
// The bookmark editor: its window, loading, where adds and folders go,
// deleting, renaming, saving and cancelling, and a long random run checked
// against a model of the tree.

#include "core/errors.h"
#include "bookmarks/bmedit.h"
#include "bookmarktree.h"
#include "editortree.h"
#include "testsupport.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTreeWidget>
#include <functional>
#include <memory>
#include <sys/stat.h>

namespace {

const QString kFolderEntry = QStringLiteral("フォルダ");

QLineEdit *nameEditor(const Tfrm_BMEdit &ed)
{
    return ed.TreeView1->viewport()->findChild<QLineEdit *>();
}

// Types a name into the open in-place editor and confirms it.
void typeName(const Tfrm_BMEdit &ed, const QString &name)
{
    QLineEdit *editor = nameEditor(ed);
    QVERIFY(editor);
    editor->setText(name);
    QTest::keyClick(editor, Qt::Key_Return);
    QTRY_VERIFY(!nameEditor(ed));
}

void add(Tfrm_BMEdit &ed, const QString &name, const QString &url)
{
    ed.txtName->setText(name);
    ed.txtURL->setText(url);
    ed.btnAdd->click();
}

}  // namespace

class TestBMEdit : public QObject {
    Q_OBJECT
private slots:
    void windowAndComponents();
    void loading();
    void addingGoesBeforeBookmarkOrIntoFolder();
    void addingWithNothingSelectedUsesTopVisibleNode();
    void emptyTree();
    void makingFolders();
    void deleting();
    void renaming();
    void okCancelAndCloseBox();
    void failedSaveStaysOpen();
    void damagedFileIsKeptOnce_data();
    void damagedFileIsKeptOnce();
    void scrolledTreeSavesEverything();
    void randomSequenceMatchesModel();

private:
    std::unique_ptr<TestDirs> dirs_;
    QString path() const { return dirs_->currentDir() + "/bookmark.xml"; }
    std::unique_ptr<Tfrm_BMEdit> editorOn(const QByteArray &file, bool shown = true);

private slots:
    void init() { dirs_ = std::make_unique<TestDirs>(); }
    void cleanup() { dirs_.reset(); }
};

std::unique_ptr<Tfrm_BMEdit> TestBMEdit::editorOn(const QByteArray &file, bool shown)
{
    if (!file.isNull())
        writeBytes(path(), file);
    auto ed = std::make_unique<Tfrm_BMEdit>(path());
    if (shown) {
        ed->show();
        if (!QTest::qWaitForWindowExposed(ed.get()))
            qFatal("the editor is not shown");
    }
    return ed;
}

void TestBMEdit::windowAndComponents()
{
    auto ed = editorOn(QByteArray(), false);
    QCOMPARE(ed->windowTitle(), QString("ブックマークの編集"));
    QCOMPARE(ed->geometry().size(), QSize(460, 288));
    QCOMPARE(ed->pos(), QPoint(254, 120));
    QCOMPARE(ed->font().families().value(0), QString("ＭＳ Ｐゴシック"));
    QCOMPARE(ed->font().pixelSize(), 12);
    const QList<std::tuple<QWidget *, QRect, QString>> components = {
        {ed->Label2, {16, 8, 30, 12}, "名前："},          {ed->txtName, {48, 8, 153, 20}, "txtName"},
        {ed->Label1, {16, 32, 28, 12}, "URL："},          {ed->txtURL, {48, 32, 297, 20}, "txtURL"},
        {ed->TreeView1, {48, 64, 297, 161}, ""},          {ed->btnAdd, {355, 16, 89, 17}, "追   加"},
        {ed->btnDel, {355, 40, 89, 17}, "削\u3000  除"}, {ed->btnMD, {355, 64, 89, 17}, "フォルダの作成"},
        {ed->btnOK, {355, 192, 89, 25}, "O   K"},         {ed->btnCancel, {355, 224, 89, 25}, "キャンセル"}};
    for (const auto &[widget, geometry, caption] : components) {
        QCOMPARE(widget->geometry(), geometry);
        QCOMPARE(widget->property("text").toString(), caption);
    }
    QList<QWidget *> order = {ed->txtURL};
    for (QWidget *w = ed->txtURL->nextInFocusChain(); order.size() < 8; w = w->nextInFocusChain())
        if (w->focusPolicy() != Qt::NoFocus && w->parentWidget() == ed.get())
            order << w;
    QCOMPARE(order, (QList<QWidget *>{ed->txtURL, ed->btnCancel, ed->btnAdd, ed->btnMD, ed->TreeView1, ed->txtName,
                                      ed->btnOK, ed->btnDel}));
    QCOMPARE(ed->ImageList1.size(), 2);
    QVERIFY(!ed->ImageList1[0].pixmap(16, 16).isNull() && !ed->ImageList1[1].pixmap(16, 16).isNull());
    QCOMPARE(ed->TreeView1->indentation(), 19);
    QVERIFY(!ed->TreeView1->isSortingEnabled());
    QCOMPARE(ed->TreeView1->dragDropMode(), QAbstractItemView::NoDragDrop);
}

void TestBMEdit::loading()
{
    auto ed = editorOn(exampleBytes());
    QCOMPARE(treeText(*ed), QString("A=U1 F[B=U2 G[C=U3]]"));
    QCOMPARE(ed->URLList, QStringList({"U1", kFolderEntry, "U2", kFolderEntry, "U3"}));
    for (QTreeWidgetItem *n : walk(ed->TreeView1)) {
        QVERIFY(!n->isExpanded());
        QVERIFY(n->flags() & Qt::ItemIsEditable);
        QCOMPARE(n->icon(0).cacheKey(), ed->ImageList1[Tfrm_BMEdit::imageIndex(n)].cacheKey());
    }
    // Nothing selected, not even when the tree takes the focus.
    ed->TreeView1->setFocus(Qt::TabFocusReason);
    QVERIFY(ed->TreeView1->selectedItems().isEmpty());
    QVERIFY(!ed->SelNode);

    // A top-level bookmark's address is the node after its name, a nested
    // one's its last node.
    auto other = editorOn("<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><bookmark>"
                          "<file><name>T</name><url>U</url><x>V</x></file><directory><name>F</name>"
                          "<file><name>N</name><url>U</url><x>V</x></file></directory></bookmark>");
    QCOMPARE(treeText(*other), QString("T=U F[N=V]"));
}

void TestBMEdit::addingGoesBeforeBookmarkOrIntoFolder()
{
    QList<Node> tree = exampleTree();
    tree << folder("E");
    auto ed = editorOn(fileBytes(tree));
    QTreeWidgetItem *b = named(*ed, "B");
    ed->TreeView1->setCurrentItem(b);
    add(*ed, "N", "UN");
    QCOMPARE(treeText(*ed), QString("A=U1 F[N=UN B=U2 G[C=U3]] E[]"));
    QVERIFY(named(*ed, "F")->isExpanded());
    // Neither the selection, SelNode nor the fields change.
    QCOMPARE(ed->SelNode, b);
    QCOMPARE(ed->TreeView1->selectedItems(), QList<QTreeWidgetItem *>{b});
    QCOMPARE(ed->txtName->text() + ed->txtURL->text(), QString("NUN"));

    for (const QString f : {"G", "E"}) {  // with entries and without
        ed->TreeView1->setCurrentItem(named(*ed, f));
        add(*ed, "in" + f, "u" + f);
        QVERIFY(named(*ed, f)->isExpanded());
    }
    ed->TreeView1->setCurrentItem(named(*ed, "A"));
    add(*ed, "", "");  // empty name and address are taken as they are
    QCOMPARE(treeText(*ed), QString("= A=U1 F[N=UN B=U2 G[inG=uG C=U3]] E[inE=uE]"));
    QVERIFY(!named(*ed, "123"));
}

void TestBMEdit::addingWithNothingSelectedUsesTopVisibleNode()
{
    QList<Node> tree;
    for (int i = 0; i < 40; ++i)
        tree << bookmark(QString("b%1").arg(i), QString("u%1").arg(i));
    auto ed = editorOn(fileBytes(tree));
    ed->TreeView1->scrollToBottom();
    QTreeWidgetItem *top = ed->TreeView1->itemAt(0, 0);
    const int position = ed->TreeView1->indexOfTopLevelItem(top);
    QVERIFY(position > 0);
    add(*ed, "N", "UN");
    QCOMPARE(ed->TreeView1->topLevelItem(position)->text(0), QString("N"));
    QCOMPARE(ed->URLList.value(position), QString("UN"));
    QCOMPARE(ed->SelNode, top);
    QVERIFY(ed->TreeView1->selectedItems().isEmpty());
}

void TestBMEdit::emptyTree()
{
    auto ed = editorOn(QByteArray());  // no file at all
    QCOMPARE(treeText(*ed), QString());
    ed->btnDel->click();
    ed->btnOK->click();
    QCOMPARE(readBytes(path()), fileBytes({}));
    add(*ed, "first", "u1");
    add(*ed, "second", "u2");  // the first add made the first node the one acted on
    QCOMPARE(treeText(*ed), QString("second=u2 first=u1"));
}

void TestBMEdit::makingFolders()
{
    auto ed = editorOn(exampleBytes());
    ed->TreeView1->setCurrentItem(named(*ed, "A"));
    ed->txtURL->setText("made-at");
    ed->btnMD->click();
    QTreeWidgetItem *made = ed->TreeView1->topLevelItem(0);
    QCOMPARE(made->text(0), QString("新しいフォルダ"));
    QCOMPARE(nameEditor(*ed)->text(), QString("新しいフォルダ"));
    QVERIFY(nameEditor(*ed)->hasFocus());
    QCOMPARE(ed->SelNode, made);
    typeName(*ed, "Mine");
    add(*ed, "in", "u-in");
    ed->TreeView1->setCurrentItem(named(*ed, "C"));
    ed->txtURL->setText("sub-at");
    ed->btnMD->click();
    typeName(*ed, "Empty");
    QCOMPARE(treeText(*ed), QString("Mine[in=u-in] A=U1 F[B=U2 G[Empty[] C=U3]]"));
    QCOMPARE(ed->URLList, QStringList({"made-at", "u-in", "U1", kFolderEntry, "U2", kFolderEntry, "sub-at", "U3"}));

    // A folder without entries is saved as a folder and comes back as one.
    ed->btnOK->click();
    QVERIFY(readBytes(path()).contains("\n      <directory>\n          <name>Empty</name></directory>\n        <file>"));
    QCOMPARE(treeText(*editorOn(QByteArray())), "Mine[in=u-in] A=U1 F[B=U2 G[Empty[] C=U3]]");
}

void TestBMEdit::deleting()
{
    QList<Node> tree = exampleTree();
    tree << bookmark("Z", "U9");
    auto ed = editorOn(fileBytes(tree));
    ed->TreeView1->expandAll();
    ed->TreeView1->setCurrentItem(named(*ed, "F"));
    ed->btnDel->click();
    QCOMPARE(treeText(*ed), QString("A=U1 Z=U9"));
    // The node the tree chose in place of the removed one is selected and
    // acted on next.
    QVERIFY(ed->SelNode);
    QCOMPARE(ed->TreeView1->selectedItems(), QList<QTreeWidgetItem *>{ed->SelNode});
    ed->btnOK->click();
    QCOMPARE(readBack(readBytes(path())), QString("A=U1 Z=U9"));

    ed->TreeView1->clearSelection();
    QVERIFY(!ed->SelNode);
    ed->btnDel->click();  // nothing selected: nothing happens
    QCOMPARE(treeText(*ed), QString("A=U1 Z=U9"));
    while (ed->TreeView1->topLevelItemCount() > 0) {
        ed->TreeView1->setCurrentItem(ed->TreeView1->topLevelItem(0));
        ed->btnDel->click();
    }
    QVERIFY(!ed->SelNode);
    QVERIFY(ed->URLList.isEmpty());
}

void TestBMEdit::renaming()
{
    auto ed = editorOn(exampleBytes());
    ed->TreeView1->expandAll();
    ed->TreeView1->setCurrentItem(named(*ed, "B"));
    QTest::keyClick(ed->TreeView1, Qt::Key_F2);
    const QString name = QStringLiteral("名前～①髙\\😀&<>\"");
    typeName(*ed, name);
    ed->TreeView1->editItem(named(*ed, "F"));
    typeName(*ed, "");
    ed->btnOK->click();
    QCOMPARE(treeText(*editorOn(QByteArray())), "A=U1 [" + name + "=U2 G[C=U3]]");
}

void TestBMEdit::okCancelAndCloseBox()
{
    // Written by hand without white space; OK writes the layout.
    writeBytes(path(), QByteArray(exampleBytes()).replace("\n", "").replace(" ", "").replace("xmlversion", "xml version")
                           .replace("\"encoding", "\" encoding"));
    auto ed = editorOn(QByteArray());
    ed->btnOK->click();
    QVERIFY(!ed->isVisible());
    QCOMPARE(readBytes(path()), exampleBytes());

    ed->show();
    ed->TreeView1->setCurrentItem(named(*ed, "A"));
    add(*ed, "kept", "uk");
    ed->btnCancel->click();
    QVERIFY(!ed->isVisible());
    ed->show();
    ed->close();  // the close box
    QVERIFY(!ed->isVisible());
    QCOMPARE(readBytes(path()), exampleBytes());
    QCOMPARE(treeText(*ed), QString("kept=uk A=U1 F[B=U2 G[C=U3]]"));
    ed->btnOK->click();
    QCOMPARE(readBack(readBytes(path())), QString("kept=uk A=U1 F[B=U2 G[C=U3]]"));
}

void TestBMEdit::failedSaveStaysOpen()
{
    ErrorRecorder errors;
    auto ed = editorOn(exampleBytes());
    ed->TreeView1->setCurrentItem(named(*ed, "A"));
    ed->btnDel->click();
    const QString tree = treeText(*ed);
    const QByteArray dir = QFile::encodeName(dirs_->currentDir());
    ::chmod(dir.constData(), 0555);
    ed->btnOK->click();
    ::chmod(dir.constData(), 0755);
    QCOMPARE(errors.messages, QStringList{path() + " に書き込めません."});
    QVERIFY(ed->isVisible());
    QCOMPARE(treeText(*ed), tree);
    QCOMPARE(readBytes(path()), exampleBytes());
    QCOMPARE(QDir(dirs_->currentDir()).entryList(QDir::Files | QDir::Hidden), QStringList{"bookmark.xml"});
    ed->btnOK->click();
    QVERIFY(!ed->isVisible());
    QCOMPARE(readBack(readBytes(path())), tree);
}

void TestBMEdit::damagedFileIsKeptOnce_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<bool>("damaged");

    const QByteArray example = exampleBytes();
    const QByteArray cut = example.left(example.indexOf("U2") + 1);
    QTest::newRow("cut off") << "bookmark.xml" << cut << true;
    QTest::newRow("cased name, cut off") << "BookMark.xml" << cut << true;
    QTest::newRow("broken in the middle")
        << "bookmark.xml" << QByteArray(example).replace("</file>\n  <directory>", "</fi\x01le>\n  <directory>") << true;
    QTest::newRow("whole") << "bookmark.xml" << example << false;
    QTest::newRow("CP932 declared UTF-8, read whole as CP932")
        << "bookmark.xml"
        << QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?><bookmark><file><name>\x82\xA0</name><url>u</url>"
                      "</file></bookmark>")
        << false;
}

void TestBMEdit::damagedFileIsKeptOnce()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, file);
    QFETCH(bool, damaged);
    ErrorRecorder errors;
    const QString file0 = dirs_->currentDir() + "/" + name;
    writeBytes(file0, file);
    auto ed = std::make_unique<Tfrm_BMEdit>(file0);
    const QString tree = treeText(*ed);
    // A refused save has made the copy already; the next one does not
    // make another, and the one after that replaces a whole file.
    const QByteArray local = QFile::encodeName(file0);
    ::chmod(local.constData(), 0444);
    ed->btnOK->click();
    ::chmod(local.constData(), 0644);
    ed->btnOK->click();
    ed->btnOK->click();
    QCOMPARE(readBack(readBytes(file0)), tree);

    const QStringList copies = QDir(dirs_->currentDir()).entryList({name + ".damaged-*"}, QDir::Files);
    QStringList expected;
    if (damaged) {
        QCOMPARE(copies.size(), 1);
        QVERIFY2(QRegularExpression("^" + QRegularExpression::escape(name) + "\\.damaged-\\d{8}-\\d{6}$")
                     .match(copies.first()).hasMatch(), qPrintable(copies.first()));
        const QString copy = dirs_->currentDir() + "/" + copies.first();
        QCOMPARE(readBytes(copy), file);
        expected << name + " を完全には読み込めませんでした。元のファイルを " + copy + " に保存しました.";
    } else {
        QCOMPARE(copies, QStringList());
    }
    expected << file0 + " に書き込めません.";
    QCOMPARE(errors.messages, expected);
}

void TestBMEdit::scrolledTreeSavesEverything()
{
    QList<Node> tree, inner;
    for (int i = 0; i < 300; ++i) {
        tree << bookmark(QString("t%1").arg(i), QString("u%1").arg(i));
        inner << bookmark(QString("f%1").arg(i), QString("v%1").arg(i));
    }
    tree.insert(1, folder("big", inner));
    auto ed = editorOn(fileBytes(tree));
    QCOMPARE(treeText(*ed), rendered(tree));
    ed->TreeView1->expandAll();
    ed->TreeView1->scrollToBottom();
    ed->btnOK->click();
    QCOMPARE(readBytes(path()), fileBytes(tree));
}

void TestBMEdit::randomSequenceMatchesModel()
{
    // The model: each node with its URLList entry; a node is found by its
    // depth-first index.
    QList<Node> model = exampleTree();
    model[1].address = model[1].children[1].address = kFolderEntry;
    auto find = [&model](int k) {
        std::pair<QList<Node> *, int> found{nullptr, -1};
        std::function<void(QList<Node> &)> visit = [&](QList<Node> &list) {
            for (int i = 0; i < list.size() && !found.first; ++i) {
                if (k-- == 0)
                    found = {&list, i};
                else
                    visit(list[i].children);
            }
        };
        visit(model);
        return found;
    };
    auto insert = [&](int target, const Node &node) {
        if (target < 0)
            return model.append(node);
        auto [list, i] = find(target);
        if ((*list)[i].folder)
            (*list)[i].children.prepend(node);
        else
            list->insert(i, node);
    };
    std::function<QStringList(const QList<Node> &)> entries = [&](const QList<Node> &list) {
        QStringList all;
        for (const Node &n : list)
            all << n.address << entries(n.children);
        return all;
    };

    auto ed = editorOn(fileBytes(exampleTree()));
    QRandomGenerator random(20240607);
    const QStringList names = {"n", "名前", "a&b", "", "～①髙\\😀"};
    for (int step = 0; step < 300; ++step) {
        const QList<QTreeWidgetItem *> nodes = walk(ed->TreeView1);
        // Select a node, or clear the selection: SelNode then keeps the node
        // it had, or the top visible one is taken.
        if (nodes.isEmpty() || random.bounded(5) == 0)
            ed->TreeView1->clearSelection();
        else
            ed->TreeView1->setCurrentItem(nodes[random.bounded(int(nodes.size()))]);
        QTreeWidgetItem *selected = ed->SelNode;
        const int target = nodes.indexOf(selected ? selected : ed->TreeView1->itemAt(0, 0));
        const QString name = names[random.bounded(int(names.size()))] + QString::number(step);
        const QString url = QStringLiteral("http://h/%1").arg(step);
        const int op = random.bounded(100);
        if (op < 50) {
            add(*ed, name, url);
            insert(target, bookmark(name, url));
        } else if (op < 70) {
            ed->txtURL->setText(url);
            ed->btnMD->click();
            typeName(*ed, "d" + name);
            insert(target, Node{"d" + name, true, url, {}});
        } else if (op < 85 && selected) {
            ed->TreeView1->editItem(selected);
            typeName(*ed, "r" + name);
            auto [list, i] = find(target);
            (*list)[i].name = "r" + name;
        } else if (op >= 85) {
            ed->btnDel->click();
            if (selected) {
                auto [list, i] = find(target);
                list->removeAt(i);
            }
        }
        QCOMPARE(treeText(*ed), rendered(model));
        QCOMPARE(ed->URLList, entries(model));
    }
    QVERIFY(ed->URLList.size() > 60);
    ed->btnOK->click();
    QCOMPARE(readBack(readBytes(path())), rendered(model));
}

VEXEL_TEST_MAIN(TestBMEdit)
#include "test_bmedit.moc"
