// SPDX-License-Identifier: GPL-3.0-or-later
// The bookmark menu: its items from the bookmark file, what choosing one
// opens and where, opening the editor, and start-up with a bad file.

#include "app/bookmarkmenu.h"
#include "app/forms.h"
#include "app/mainform.h"
#include "bookmarks/bmedit.h"
#include "bookmarktree.h"
#include "browser/browserwindow.h"
#include "testsupport.h"

#include <QAction>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QPushButton>
#include <QTreeWidget>

namespace {

// Two bookmarks, then a folder holding a bookmark and an empty folder.
QList<Node> menuExample()
{
    return {bookmark("A", "http://a/"), bookmark("B&C", "http://b/"),
            folder("F", {bookmark("D", "http://d/"), folder("E")})};
}

QString bookmarkFile(const TestDirs &dirs)
{
    return dirs.currentDir() + "/bookmark.xml";
}

QList<QAction *> bookmarkItems()
{
    return MainForm->mnuBookMark->actions().mid(2);
}

QAction *item(const QString &caption, QMenu *menu = nullptr)
{
    for (QAction *a : (menu ? menu->actions() : bookmarkItems()))
        if (a->text() == caption)
            return a;
    return nullptr;
}

// The menu in the tests' one-line form: a folder is an item with image 11,
// a bookmark one with image 12 and its address in the hint.
QString menuText(const QList<QAction *> &items)
{
    QStringList parts;
    for (QAction *a : items) {
        const BookmarkItem what = TBookmarkMenu::itemOf(a);
        const int image = what.image;
        const QString name =
            a->text().startsWith('&') ? a->text().mid(1).replace("&&", "&") : "<no &>" + a->text();
        if (a->icon().cacheKey() != MainForm->ImageList1.value(image).cacheKey() || a->parent() != MainForm)
            parts << "<wrong icon or owner>";
        if (image == 11)
            parts << name + "[" + (a->menu() ? menuText(a->menu()->actions()) : QString()) + "]";
        else if (image == 12 && !a->menu())
            parts << name + "=" + what.address;
        else
            parts << "<image " + QString::number(image) + ">";
    }
    return parts.join(' ');
}

}  // namespace

class TestBookmarkMenu : public QObject {
    Q_OBJECT
private slots:
    void itemsImagesAndSubmenus();
    void captionsKeepTheNamesAmpersands_data();
    void captionsKeepTheNamesAmpersands();
    void lastNodeAndManyEntries();
    void choosingABookmark_data();
    void choosingABookmark();
    void emptyAddressAndFolders();
    void editorOpenedFromMenu();
    void badFileDoesNotStopStartUp();
    void savedChangesShowAtNextStart();
};

void TestBookmarkMenu::itemsImagesAndSubmenus()
{
    TestDirs dirs;
    writeBytes(bookmarkFile(dirs), fileBytes(menuExample()));
    Forms forms;
    const QList<QAction *> all = MainForm->mnuBookMark->actions();
    QCOMPARE(all.size(), 5);
    QCOMPARE(all[0], MainForm->mnuEdit);
    QVERIFY(all[1]->isSeparator());
    // The name's own ampersand shows as itself; the empty folder has no submenu.
    QCOMPARE(menuText(bookmarkItems()), QString("A=http://a/ B&C=http://b/ F[D=http://d/ E[]]"));
    QCOMPARE(all[3]->text(), QString("&B&&C"));
    QVERIFY(!item("&E", item("&F")->menu())->menu());
    for (QAction *a : bookmarkItems() + item("&F")->menu()->actions())
        QVERIFY(a->isVisible() && a->isEnabled());
}

void TestBookmarkMenu::captionsKeepTheNamesAmpersands_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::newRow("inside") << "二ページ目 & more" << "&二ページ目 && more";
    QTest::newRow("leading, doubled") << "&&x&" << "&&&&&x&&";
    QTest::newRow("none") << "" << "&";
}

void TestBookmarkMenu::captionsKeepTheNamesAmpersands()
{
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QCOMPARE(TBookmarkMenu::caption(name), caption);
}

void TestBookmarkMenu::lastNodeAndManyEntries()
{
    TestDirs dirs;
    QList<Node> tree, inner;
    for (int i = 0; i < 300; ++i) {
        tree << bookmark(QString("t%1").arg(i), QString("u%1").arg(i));
        inner << bookmark(QString("f%1").arg(i), QString("v%1").arg(i));
    }
    tree << folder("big", {folder("deeper", inner)});
    QByteArray file = fileBytes(tree);
    // A bookmark's address is its last node, at any level.
    file.replace("<url>u0</url>", "<url>x</url><url>u0</url>").replace("<url>v9</url>", "<url>x</url><z>v9</z>");
    writeBytes(bookmarkFile(dirs), file);
    Forms forms;
    QCOMPARE(bookmarkItems().size(), 301);
    QCOMPARE(menuText(bookmarkItems()), rendered(tree));
}

void TestBookmarkMenu::choosingABookmark_data()
{
    QTest::addColumn<QByteArray>("setting");
    QTest::addColumn<bool>("windowOpen");
    QTest::addColumn<bool>("newWindow");
    QTest::newRow("0, a window") << QByteArray("0") << true << false;
    QTest::newRow("1, a window") << QByteArray("1") << true << true;
    QTest::newRow("257, a window") << QByteArray("257") << true << true;
    QTest::newRow("2, a window") << QByteArray("2") << true << false;
    QTest::newRow("missing, a window") << QByteArray() << true << false;
    QTest::newRow("0, no window") << QByteArray("0") << false << true;
    QTest::newRow("1, no window") << QByteArray("1") << false << true;
}

void TestBookmarkMenu::choosingABookmark()
{
    QFETCH(QByteArray, setting);
    QFETCH(bool, windowOpen);
    QFETCH(bool, newWindow);
    TestDirs dirs;
    dirs.writeIni(setting.isNull() ? QByteArray("[General]\r\nLastEngine=IE\r\n")
                                   : "[Option_Window]\r\nBookMark=" + setting + "\r\n");
    writeBytes(bookmarkFile(dirs), fileBytes(menuExample()));
    ScriptedEngines engines;
    ErrorRecorder errors;
    Forms forms;
    if (windowOpen)
        MainForm->OpenBrowserWindow("page", "http://start/");
    ScriptedEngine *existing = engines.last();

    item("&A")->trigger();
    QCOMPARE(MainForm->browserWindows().size(), int(windowOpen) + int(newWindow));
    if (newWindow) {
        QVERIFY(engines.last() != existing);
        QCOMPARE(engines.last()->calls, QStringList{"Navigate http://a/"});
        QCOMPARE(MainForm->ActiveMDIChild()->windowTitle(), QString());
    } else {
        QCOMPARE(MainForm->txtAddress->text(), QString("http://a/"));
        QCOMPARE(existing->calls, QStringList({"Navigate http://start/", "Navigate http://a/"}));
    }
    QVERIFY(errors.messages.isEmpty());

    // The setting is read at each choice; a folder's bookmarks follow it too.
    dirs.writeIni("[Option_Window]\r\nBookMark=1\r\n");
    const qsizetype before = MainForm->browserWindows().size();
    item("&D", item("&F")->menu())->trigger();
    QCOMPARE(MainForm->browserWindows().size(), before + 1);
    QCOMPARE(engines.last()->calls, QStringList{"Navigate http://d/"});
}

void TestBookmarkMenu::emptyAddressAndFolders()
{
    TestDirs dirs;
    dirs.writeIni("[Option_Window]\r\nBookMark=0\r\n");
    QList<Node> tree = menuExample();
    tree << bookmark("none", "");
    writeBytes(bookmarkFile(dirs), fileBytes(tree));
    ScriptedEngines engines;
    ErrorRecorder errors;
    Forms forms;
    // With no window, choosing a folder opens nothing.
    item("&F")->trigger();
    item("&E", item("&F")->menu())->trigger();
    QVERIFY(MainForm->browserWindows().isEmpty());

    MainForm->OpenBrowserWindow("page", "http://start/");
    MainForm->txtAddress->setText("http://typed/");
    item("&F")->trigger();
    item("&E", item("&F")->menu())->trigger();
    QCOMPARE(engines.last()->calls, QStringList{"Navigate http://start/"});
    // A bookmark without an address opens what the address field holds.
    item("&none")->trigger();
    QCOMPARE(MainForm->txtAddress->text(), QString("http://typed/"));
    QCOMPARE(engines.last()->calls.last(), QString("Navigate http://typed/"));
    QCOMPARE(MainForm->browserWindows().size(), 1);
    QVERIFY(errors.messages.isEmpty());
}

void TestBookmarkMenu::editorOpenedFromMenu()
{
    TestDirs dirs;
    ScriptedEngines engines;
    Forms forms;
    MainForm->txtAddress->setText("http://here/");
    MainForm->mnuEdit->trigger();
    QVERIFY(frm_BMEdit->isVisible());
    QCOMPARE(frm_BMEdit->txtURL->text(), QString("http://here/"));
    QCOMPARE(frm_BMEdit->txtName->text(), QString());  // no window: no name

    MainForm->OpenBrowserWindow("Page title", "http://page/");
    MainForm->txtAddress->setText("http://page/");
    MainForm->mnuEdit->trigger();  // again while shown: both fields overwritten
    QCOMPARE(frm_BMEdit->txtURL->text(), QString("http://page/"));
    QCOMPARE(frm_BMEdit->txtName->text(), QString("Page title"));
    QCOMPARE(bookmarkItems().size(), 0);
}

void TestBookmarkMenu::badFileDoesNotStopStartUp()
{
    TestDirs dirs;
    dirs.writeIni("[General]\r\nLastEngine=Gecko\r\n[Option_Main]\r\nMozilla=0\r\n");
    writeBytes(bookmarkFile(dirs), QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\xff", 17));
    ErrorRecorder errors;
    Forms forms;
    QCOMPARE(MainForm->mnuBookMark->actions().size(), 2);
    QCOMPARE(frm_BMEdit->TreeView1->topLevelItemCount(), 0);
    // The steps after the menu ran.
    QVERIFY(MainForm->Moz_Item->isChecked());
    QVERIFY(!MainForm->Moz_Item->isEnabled());
    QVERIFY(errors.messages.isEmpty());
}

void TestBookmarkMenu::savedChangesShowAtNextStart()
{
    // Only a differently-cased file there: menu and editor both use it, and
    // the editor writes it where the program started.
    TestDirs dirs;
    const QString variant = dirs.currentDir() + "/BookMark.xml";
    writeBytes(variant, fileBytes(menuExample()));
    QTemporaryDir elsewhere;
    {
        Forms forms;
        QDir::setCurrent(elsewhere.path());  // as opening a local file does
        frm_BMEdit->show();
        frm_BMEdit->TreeView1->setCurrentItem(frm_BMEdit->TreeView1->topLevelItem(0));
        frm_BMEdit->txtName->setText("new");
        frm_BMEdit->txtURL->setText("http://new/");
        frm_BMEdit->btnAdd->click();
        frm_BMEdit->btnOK->click();
        QCOMPARE(menuText(bookmarkItems()), rendered(menuExample()));
    }
    QCOMPARE(QDir(dirs.currentDir()).entryList(QDir::Files), QStringList{"BookMark.xml"});
    QVERIFY(QDir(elsewhere.path()).entryList(QDir::Files).isEmpty());
    QDir::setCurrent(dirs.currentDir());
    Forms forms;
    QCOMPARE(menuText(bookmarkItems()), "new=http://new/ " + rendered(menuExample()));
}

VEXEL_TEST_MAIN(TestBookmarkMenu)
#include "test_bookmarkmenu.moc"
