// SPDX-License-Identifier: GPL-3.0-or-later
// Bookmark HTML files: reading the shapes browsers and people write, in
// their encodings; writing and reading back; and import and export through
// the bookmark editor's tree menu, with OK, Cancel and a refused write.

#include "core/cp932.h"
#include "core/errors.h"
#include "bookmarks/bmedit.h"
#include "bookmarks/bookmarkhtml.h"
#include "bookmarktree.h"
#include "editortree.h"
#include "testsupport.h"
#include "whenopen.h"

#include <QContextMenuEvent>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTreeWidget>
#include <functional>
#include <memory>
#include <sys/stat.h>

using bookmarks::HtmlEntry;

namespace {

// The one-line form of bookmarktree.h: "F[a=u] b=v".
QString renderedHtml(const QList<HtmlEntry> &entries)
{
    QStringList parts;
    for (const HtmlEntry &e : entries)
        parts << (e.folder ? e.name + "[" + renderedHtml(e.children) + "]" : e.name + "=" + e.address);
    return parts.join(' ');
}

QByteArray sjis(const QString &text)
{
    return cp932::encode(text).value();
}

HtmlEntry entry(const QString &name, const QString &address)
{
    return HtmlEntry{name, address, false, {}};
}

HtmlEntry dir(const QString &name, const QList<HtmlEntry> &children = {})
{
    return HtmlEntry{name, QString(), true, children};
}

}  // namespace

class TestBookmarkHtml : public QObject {
    Q_OBJECT
private slots:
    void reading_data();
    void reading();
    void deepNestingIsCapped();
    void longListsReadWhole_data();
    void longListsReadWhole();
    void writingReadsBack();
    void importThroughTreeMenu_data();
    void importThroughTreeMenu();
    void cancelAfterImportSavesNothing();
    void importErrorsLeaveTheTree();
    void exportThroughTreeMenu();

    void init() { dirs_ = std::make_unique<TestDirs>(); }
    void cleanup() { dirs_.reset(); }

private:
    std::unique_ptr<TestDirs> dirs_;
    QString path() const { return dirs_->currentDir() + "/bookmark.xml"; }
    std::unique_ptr<Tfrm_BMEdit> editorOn(const QByteArray &file);
    // Opens the tree's menu at pos with a right click, chooses action, and
    // answers the file dialog that follows with file.
    void chooseFromMenu(Tfrm_BMEdit &ed, const QPoint &pos, QAction *action, const QString &file);
};

std::unique_ptr<Tfrm_BMEdit> TestBookmarkHtml::editorOn(const QByteArray &file)
{
    if (!file.isNull())
        writeBytes(path(), file);
    auto ed = std::make_unique<Tfrm_BMEdit>(path());
    ed->show();
    if (!QTest::qWaitForWindowExposed(ed.get()))
        qFatal("the editor is not shown");
    return ed;
}

void TestBookmarkHtml::chooseFromMenu(Tfrm_BMEdit &ed, const QPoint &pos, QAction *action, const QString &file)
{
    WhenOpen menu(
        [action](QWidget *w) {
            auto *m = qobject_cast<QMenu *>(w);
            QVERIFY(m);
            m->setActiveAction(action);
            QTest::keyClick(m, Qt::Key_Return);
        },
        WhenOpen::activePopup);
    WhenOpen dialog(
        [file](QWidget *w) {
            // The dialog refuses a name until it has listed the folder.
            if (auto *name = w->findChild<QLineEdit *>("fileNameEdit"))
                name->setText(file);
            QMetaObject::invokeMethod(w, "accept");
        },
        [] { return static_cast<QWidget *>(qobject_cast<QFileDialog *>(WhenOpen::activeModal())); });
    dialog.repeatWhileOpen();
    // A right click: the press selects, the menu event follows.
    QWidget *viewport = ed.TreeView1->viewport();
    QTest::mouseClick(viewport, Qt::RightButton, {}, pos);
    QContextMenuEvent event(QContextMenuEvent::Mouse, pos, viewport->mapToGlobal(pos));
    QApplication::sendEvent(viewport, &event);
    QTRY_VERIFY(menu.done());
    QTRY_VERIFY(dialog.done());
    QCOMPARE(menu.texts, QStringList{"インポート...|エクスポート..."});
}

void TestBookmarkHtml::reading_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("tree");

    QTest::newRow("by hand: nesting, entities, empty folders")
        << QByteArray("<html><body><dl>\n"
                      "<dt><h3>Work &amp; play</h3>\n"
                      "<dl>\n"
                      "  <dt><a href=\"http://a.example/?x=1&amp;y=2\">A &lt;1&gt;</a>\n"
                      "  <dt><h3>Empty</h3>\n"
                      "  <dl></dl>\n"
                      "  <dt><h3>Inner</h3>\n"
                      "  <dl><dt><a href=\" http://b.example/\n\">&#12354; &quot;q&quot;</a></dl>\n"
                      "</dl>\n"
                      "<dt><h3>No list</h3>\n"
                      "<dt><a href=\"http://c.example/\">  C\n  c  </a>\n"
                      "</dl>")
        << "Work & play[A <1>=http://a.example/?x=1&y=2 Empty[] Inner[あ \"q\"=http://b.example/]] No list[] "
           "C c=http://c.example/";
    QTest::newRow("browser export")
        << QByteArray("<!DOCTYPE NETSCAPE-Bookmark-file-1>\n"
                      "<!-- This is an automatically generated file. -->\n"
                      "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">\n"
                      "<TITLE>Bookmarks</TITLE>\n<H1>Bookmarks Menu</H1>\n\n"
                      "<DL><p>\n"
                      "    <DT><H3 ADD_DATE=\"1700000000\" PERSONAL_TOOLBAR_FOLDER=\"true\">Bar</H3>\n"
                      "    <DD>About the bar\n"
                      "    <DL><p>\n"
                      "        <DT><A HREF=\"https://example.com/\" ADD_DATE=\"1700000000\" "
                      "ICON=\"data:image/png;base64,AAAA\">Example</A>\n"
                      "        <DD>A description\n"
                      "        <HR>\n"
                      "        <DT><A HREF=\"place:sort=8&maxResults=10\">Most visited</A>\n"
                      "        <DT><A HREF=\"javascript:alert(1)\">Bookmarklet</A>\n"
                      "        <DT><A>No address</A>\n"
                      "        <DT><A HREF=\"https://untitled.example/\"></A>\n"
                      "    </DL><p>\n"
                      "    <DT><A HREF=\"https://日本.example/パス\">日本語</A>\n"
                      "</DL><p>\n")
        << "Bar[Example=https://example.com/ Bookmarklet=javascript:alert(1) "
           "https://untitled.example/=https://untitled.example/] 日本語=https://日本.example/パス";
    QTest::newRow("list beside its title, tags closed")
        << QByteArray("<DL><DT><H3>F</H3></DT><DL><DT><A HREF=u1>a</A></DT></DL><DT><A HREF=u2>b</A></DT></DL>")
        << "F[a=u1] b=u2";
    QTest::newRow("list inside an unclosed title")
        << QByteArray("<DL><DT><H3>F\n<DL><DT><A HREF=u1>a</A></DL>\n<DT><A HREF=u2>b</A></DL>") << "F[a=u1] b=u2";
    const QString japanese = QStringLiteral("<DL><DT><H3>日本語フォルダ</H3><DL><DT><A HREF=\"http://x/\">表示～①</A></DL></DL>");
    QTest::newRow("Shift_JIS declared")
        << sjis("<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=Shift_JIS\">" + japanese)
        << "日本語フォルダ[表示～①=http://x/]";
    QTest::newRow("CP932 undeclared") << sjis(japanese) << "日本語フォルダ[表示～①=http://x/]";
    QTest::newRow("EUC-JP declared") << QByteArray("<meta charset=\"euc-jp\"><dl><dt><a href=u>\xA4\xA2</a></dl>")
                                     << "あ=u";
    // The mark wins over a declaration, as in browsers.
    QTest::newRow("UTF-8 with byte-order mark")
        << ("\xEF\xBB\xBF<meta charset=shift_jis><DL><DT><A HREF=\"http://x/\">" + QStringLiteral("ユニコード").toUtf8() +
            "</A></DL>")
        << "ユニコード=http://x/";
    QTest::newRow("declared UTF-8, bytes that are not")
        << QByteArray("<meta charset=utf-8><dl><dt><a href=u>a\xFF</a></dl>") << "a\uFFFD=u";
    QTest::newRow("no bookmarks") << QByteArray("<html><body><p>Nothing <a>here</a></body></html>") << "";
    QTest::newRow("binary") << QByteArray("\x00\x01\x02<dl>\x00", 8) << "";
}

void TestBookmarkHtml::reading()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, tree);
    QCOMPARE(renderedHtml(bookmarks::parseBookmarkHtml(bytes)), tree);
}

void TestBookmarkHtml::deepNestingIsCapped()
{
    // 150 nested folders with a bookmark each: the folders below the
    // deepest kept read into it, no bookmark lost.
    QByteArray bytes = "<DL>";
    for (int i = 0; i < 150; ++i)
        bytes += "<DT><H3>F" + QByteArray::number(i) + "</H3><DL><DT><A HREF=u" + QByteArray::number(i) + ">b</A>";
    bool whole = false;
    const QList<HtmlEntry> entries = bookmarks::parseBookmarkHtml(bytes, &whole);
    QVERIFY(whole);
    const QList<HtmlEntry> *list = &entries;
    int depth = 0;
    for (; !list->isEmpty() && list->last().folder; ++depth)
        list = &list->last().children;
    QCOMPARE(depth, bookmarks::kMaxHtmlFolderDepth);
    QStringList addresses;
    for (const HtmlEntry &e : *list)
        addresses << e.address;
    QCOMPARE(addresses.size(), 51);
    QCOMPARE(addresses.first(), QString("u99"));
    QCOMPARE(addresses.last(), QString("u149"));
}

void TestBookmarkHtml::longListsReadWhole_data()
{
    QTest::addColumn<QString>("item");  // one item of the long folder; %1 its number
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("whole");

    const QString exported = "    <DT><A HREF=\"http://x/%1\" ADD_DATE=\"1700000000\">L%1</A>\n";
    QTest::newRow("export, 300") << exported << 300 << true;
    QTest::newRow("export, 10,000") << exported << 10000 << true;
    QTest::newRow("descriptions") << "<DT><A HREF=\"http://x/%1\">L%1</A>\n<DD>about %1\n<DD>more\n" << 1000 << true;
    QTest::newRow("links left open") << "<DT><A HREF=\"http://x/%1\">L<B>%1\n" << 1000 << true;
    QTest::newRow("titles left open")
        << "<DT><H3>F%1\n<DL><p><DT><A HREF=\"http://x/%1\">L%1</A>\n</DL><p>\n" << 1000 << true;
    QTest::newRow("NUL bytes") << QString("<DT><A HREF=\"http://x/%1\">L%1</A>") + QChar(0) + "\n" << 1000 << true;
    // Where libxml2 decodes the bytes itself, a NUL still ends its reading.
    QTest::newRow("NUL bytes, encoding left to the parser")
        << QString("<meta charset=euc-jp><DT><A HREF=\"http://x/%1\">L%1</A>") + QChar(0) + "\n" << 1000 << false;
    // Lists inside lists, one level per bookmark: more than the parser follows.
    QTest::newRow("nested past reading") << "<DL><DT><A HREF=\"http://x/%1\">L%1</A>\n" << 1000 << false;
}

void TestBookmarkHtml::longListsReadWhole()
{
    QFETCH(QString, item);
    QFETCH(int, count);
    QFETCH(bool, whole);
    QString file = "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<TITLE>Bookmarks</TITLE>\n<H1>Bookmarks</H1>\n<DL><p>\n"
                   "<DT><H3>Long</H3>\n<DL><p>\n";
    for (int i = 0; i < count; ++i)
        file += item.arg(i);
    file += "</DL><p>\n<DT><H3>After</H3>\n<DL><p>\n<DT><A HREF=\"http://after/\">after</A>\n</DL><p>\n"
            "<DT><A HREF=\"http://last/\">last</A>\n</DL><p>\n";
    bool read = !whole;
    const QList<HtmlEntry> entries = bookmarks::parseBookmarkHtml(file.toUtf8(), &read);
    QCOMPARE(read, whole);
    if (!whole)
        return;
    QCOMPARE(entries.size(), 3);
    QStringList addresses;
    std::function<void(const QList<HtmlEntry> &)> collect = [&](const QList<HtmlEntry> &list) {
        for (const HtmlEntry &e : list)
            e.folder ? collect(e.children) : void(addresses << e.address);
    };
    collect(entries.first().children);
    QCOMPARE(addresses.size(), count);
    QCOMPARE(addresses.last(), QString("http://x/%1").arg(count - 1));
    QCOMPARE(renderedHtml(entries.mid(1)), QString("After[after=http://after/] last=http://last/"));
}

void TestBookmarkHtml::writingReadsBack()
{
    const QList<HtmlEntry> tree = {
        entry("a & b <c> \"d\" 'e'", "http://h/?a=1&b=\"2\"<3>"),
        dir("日本語 😀", {dir("空"), entry("～①髙\\", "https://日本.example/パス"), dir("", QList<HtmlEntry>{entry("x", "javascript:void(0)")})}),
        entry("last", "file:///tmp/a%20b.html")};
    const QByteArray bytes = bookmarks::bookmarkHtml(tree);
    QVERIFY(bytes.startsWith("<!DOCTYPE NETSCAPE-Bookmark-file-1>\n"
                             "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">\n"));
    QVERIFY(bytes.contains("\n<DL><p>\n    <DT><A HREF=\"http://h/?a=1&amp;b=&quot;2&quot;&lt;3&gt;\">a &amp; b "
                           "&lt;c&gt; &quot;d&quot; 'e'</A>\n    <DT><H3>日本語 😀</H3>\n    <DL><p>\n"
                           "        <DT><H3>空</H3>\n        <DL><p>\n        </DL><p>\n"));
    QVERIFY(bytes.endsWith("    <DT><A HREF=\"file:///tmp/a%20b.html\">last</A>\n</DL><p>\n"));
    QCOMPARE(bookmarks::parseBookmarkHtml(bytes), tree);
    QCOMPARE(bookmarks::bookmarkHtml({}), QByteArray(bytes.left(bytes.indexOf("<DL><p>"))) + "<DL><p>\n</DL><p>\n");
}

void TestBookmarkHtml::importThroughTreeMenu_data()
{
    QTest::addColumn<QString>("on");
    QTest::addColumn<QString>("tree");
    const QString imported = "my.bookmarks[x=http://x/ Sub[] y=http://y/]";
    QTest::newRow("a bookmark") << "B" << "A=U1 F[" + imported + " B=U2 G[C=U3]]";
    QTest::newRow("a folder") << "G" << "A=U1 F[B=U2 G[" + imported + " C=U3]]";
    QTest::newRow("empty space") << "" << "A=U1 F[B=U2 G[C=U3]] " + imported;
}

void TestBookmarkHtml::importThroughTreeMenu()
{
    QFETCH(QString, on);
    QFETCH(QString, tree);
    const QString file = dirs_->writePage("my.bookmarks.html",
                                          "<DL><DT><A HREF=http://x/>x</A><DT><H3>Sub</H3><DL></DL>"
                                          "<DT><A HREF=http://y/>y</A></DL>");
    ErrorRecorder errors;
    auto ed = editorOn(exampleBytes());
    ed->TreeView1->expandAll();
    const QPoint pos = on.isEmpty() ? QPoint(5, ed->TreeView1->viewport()->height() - 3)
                                    : ed->TreeView1->visualItemRect(named(*ed, on)).center();
    chooseFromMenu(*ed, pos, ed->mnuImport, file);
    QCOMPARE(errors.messages, QStringList());
    QCOMPARE(treeText(*ed), tree);
    QTreeWidgetItem *made = named(*ed, "my.bookmarks");
    QCOMPARE(ed->SelNode, made);
    QCOMPARE(ed->URLList.count("フォルダ"), 4);

    ed->btnOK->click();
    QVERIFY(!ed->isVisible());
    QCOMPARE(treeText(*editorOn(QByteArray())), tree);
}

void TestBookmarkHtml::cancelAfterImportSavesNothing()
{
    const QString file = dirs_->writePage("imp.htm", "<DL><DT><A HREF=u>a</A></DL>");
    auto ed = editorOn(exampleBytes());
    ed->ImportBookmarks(file, nullptr);
    ed->btnCancel->click();
    QVERIFY(!ed->isVisible());
    QCOMPARE(readBytes(path()), exampleBytes());
    // Like any edit: kept in the editor, saved by a later OK.
    ed->show();
    QCOMPARE(treeText(*ed), QString("A=U1 F[B=U2 G[C=U3]] imp[a=u]"));
    ed->btnOK->click();
    QCOMPARE(readBack(readBytes(path())), QString("A=U1 F[B=U2 G[C=U3]] imp[a=u]"));
}

void TestBookmarkHtml::importErrorsLeaveTheTree()
{
    ErrorRecorder errors;
    auto ed = editorOn(exampleBytes());
    const QStringList urls = ed->URLList;
    const QString missing = dirs_->currentDir() + "/missing.html";
    const QString empty = dirs_->writePage("empty.html", "<p>hello <a>there</a></p>");
    // Read only in part: nested past the parser's reach, or bytes its
    // encoding cannot hold before the last bookmark.
    const QString deep = dirs_->writePage("deep.html", "<DL><DT><A HREF=u>a</A>" + QByteArray("<DL>").repeated(300));
    const QString undecodable = dirs_->writePage(
        "undecodable.html", "<meta charset=euc-jp><DL><DT><A HREF=u>a</A><DT><A HREF=v>\xFF\xFF</A><DT><A HREF=w>c</A>");
    for (const QString &file : {missing, empty, dirs_->currentDir(), deep, undecodable})
        QVERIFY(!runGuarded([&] { ed->ImportBookmarks(file, named(*ed, "A")); }));
    QCOMPARE(errors.messages, QStringList({missing + " を読み込めません.", empty + " にはブックマークがありません.",
                                           dirs_->currentDir() + " を読み込めません.",
                                           deep + " を最後まで読み込めません.",
                                           undecodable + " を最後まで読み込めません."}));
    QCOMPARE(treeText(*ed), QString("A=U1 F[B=U2 G[C=U3]]"));
    QCOMPARE(ed->URLList, urls);
}

void TestBookmarkHtml::exportThroughTreeMenu()
{
    ErrorRecorder errors;
    auto ed = editorOn(exampleBytes());
    // Unsaved changes are part of what is exported.
    ed->TreeView1->setCurrentItem(named(*ed, "G"));
    ed->txtName->setText("new & <b>");
    ed->txtURL->setText("http://n/?a&b");
    ed->btnAdd->click();
    const QString shown = treeText(*ed);
    QTemporaryDir out;
    const QString file = out.path() + "/export.html";
    chooseFromMenu(*ed, QPoint(5, 5), ed->mnuExport, file);
    QCOMPARE(errors.messages, QStringList());
    QCOMPARE(renderedHtml(bookmarks::parseBookmarkHtml(readBytes(file))), shown);
    QCOMPARE(readBytes(path()), exampleBytes());

    // A folder that refuses the write: reported, nothing left behind.
    const QByteArray folder = QFile::encodeName(out.path());
    QVERIFY(QFile::remove(file));
    ::chmod(folder.constData(), 0555);
    chooseFromMenu(*ed, QPoint(5, 5), ed->mnuExport, file);
    ::chmod(folder.constData(), 0755);
    QCOMPARE(errors.messages, QStringList{file + " に書き込めません."});
    QCOMPARE(QDir(out.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
    QCOMPARE(treeText(*ed), shown);
}

VEXEL_TEST_MAIN(TestBookmarkHtml)
#include "test_bookmarkhtml.moc"
