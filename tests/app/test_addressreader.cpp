// SPDX-License-Identifier: GPL-3.0-or-later
// What typed text becomes: an address, or the search of its words in the
// engine the user chose from the address field's menu, in the frame and
// from the command line.

#include "app/forms.h"
#include "app/mainform.h"
#include "app/searchengines.h"
#include "app/windowsession.h"
#include "browser/browserwindow.h"
#include "core/programdir.h"
#include "settings/config.h"
#include "testsupport.h"

#include <QActionGroup>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>

class TestAddressReader : public QObject {
    Q_OBJECT
private slots:
    void reader_data();
    void reader();
    void ownTemplates_data();
    void ownTemplates();
    void chosenEngineSearches();
};

static QString google(const QString &query)
{
    return QStringLiteral("https://www.google.co.jp/search?q=%1&ie=UTF-8").arg(query);
}

void TestAddressReader::reader_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("opens");
    QTest::newRow("empty") << "  " << "";
    QTest::newRow("words") << "りんご 価格" << google("%E3%82%8A%E3%82%93%E3%81%94%20%E4%BE%A1%E6%A0%BC");
    QTest::newRow("English words") << "vexel browser review" << google("vexel%20browser%20review");
    QTest::newRow("one word") << "  tenki \t" << google("tenki");
    QTest::newRow("Japanese word") << "日本" << google("%E6%97%A5%E6%9C%AC");
    QTest::newRow("blanks inside") << "a \t　b" << google("a%20b");
    QTest::newRow("% & # encoded") << "100% & #1" << google("100%25%20%26%20%231");
    QTest::newRow("unknown scheme") << "note:milk" << google("note%3Amilk");
    QTest::newRow("numbers") << "3.14" << google("3.14");
    QTest::newRow("host with blanks") << "vexel.jp review" << google("vexel.jp%20review");
    QTest::newRow("IDN") << "日本.jp" << "http://xn--wgv71a.jp";
    QTest::newRow("IDN test") << "例え.テスト" << "http://xn--r8jz45g.xn--zckzah";
    QTest::newRow("localhost") << "localhost" << "http://localhost";
    QTest::newRow("localhost:port") << "localhost:8080" << "http://localhost:8080";
    QTest::newRow("host:port/path") << "example.com:8080/a b" << "http://example.com:8080/a%20b";
    QTest::newRow("IPv4") << "192.168.0.1" << "http://192.168.0.1";
    QTest::newRow("IPv6") << "[::1]:80" << "http://[::1]:80";
    QTest::newRow("bad port") << "example.com:99999" << google("example.com%3A99999");
    QTest::newRow("http") << " http://x " << "http://x";
    QTest::newRow("about") << "about:blank" << "about:blank";
    QTest::newRow("file") << "file:///tmp" << "file:///tmp";
    QTest::newRow("mailto") << "mailto:a@b" << "mailto:a@b";
    QTest::newRow("any scheme://") << "gopher://x/" << "gopher://x/";
    QTest::newRow("absolute path") << "/tmp/a b" << "file:///tmp/a%20b";
    QTest::newRow("home") << "~/a b" << QUrl::fromLocalFile(QDir::homePath() + "/a b").toString(QUrl::FullyEncoded);
}

void TestAddressReader::reader()
{
    QFETCH(QString, typed);
    QFETCH(QString, opens);
    QCOMPARE(engines::urlFromUserInput(typed).toString(QUrl::FullyEncoded), opens);
}

void TestAddressReader::ownTemplates_data()
{
    QTest::addColumn<QString>("searchTemplate");
    QTest::addColumn<bool>("usable");
    QTest::newRow("https") << "https://s.example/find?q=%s&x=1" << true;
    QTest::newRow("http") << "http://s.example/%s" << true;
    QTest::newRow("no %s") << "https://s.example/find?q=" << false;
    QTest::newRow("not the web") << "file:///tmp/%s" << false;
    QTest::newRow("script") << "javascript:alert(%s)" << false;
    QTest::newRow("no host") << "https:///%s" << false;
}

void TestAddressReader::ownTemplates()
{
    QFETCH(QString, searchTemplate);
    QFETCH(bool, usable);
    QCOMPARE(SearchEngines::templateProblem(searchTemplate).isEmpty(), usable);
}

static QAction *menuItem(QMenu *menu, const QString &text)
{
    for (QAction *action : menu->actions())
        if (action->text() == text)
            return action;
    return nullptr;
}

// The choice is kept only once made; typed words then go to that engine,
// from the address field and from the command line, and an address typed
// still reaches the engine as typed.
void TestAddressReader::chosenEngineSearches()
{
    ScriptedCase c;
    c.begin();
    const QString ini = configPath(MainForm->ProgramDir);
    auto *searchEngines = MainForm->txtAddress->findChild<SearchEngines *>();
    QVERIFY(searchEngines);
    const QByteArray firstStart = c.dirs().readIni();
    QVERIFY(!firstStart.contains("[Search]"));

    std::unique_ptr<QMenu> menu(searchEngines->engineMenu(nullptr));
    QCOMPARE(menu->title(), QString("検索エンジン"));
    QStringList names;
    for (QAction *action : menu->actions())
        names << action->text();
    QCOMPARE(names, QStringList({"Google", "Yahoo! JAPAN", "Bing", "DuckDuckGo", "", "検索エンジンを追加..."}));
    QVERIFY(menuItem(menu.get(), "Google")->isChecked());
    menuItem(menu.get(), "Google")->trigger();
    QCOMPARE(c.dirs().readIni(), firstStart);
    menuItem(menu.get(), "Bing")->trigger();
    QCOMPARE(config::searchEngine(ini), QString("Bing"));

    // The user's own engine, once kept, is offered and chosen like the others.
    config::writeOwnSearch(ini, "R&D", "https://s.example/?q=%s");
    menu.reset(searchEngines->engineMenu(nullptr));
    QVERIFY(menuItem(menu.get(), "Bing")->isChecked());
    QVERIFY(menuItem(menu.get(), "R&&D"));
    menuItem(menu.get(), "R&&D")->trigger();
    QCOMPARE(config::searchEngine(ini), SearchEngines::OwnId);
    QCOMPARE(SearchEngines::chosen(ini).searchTemplate, QString("https://s.example/?q=%s"));
    menuItem(menu.get(), "Bing")->trigger();

    MainForm->FileNew1->trigger();
    auto *page = qobject_cast<ScriptedEngine *>(MainForm->ActiveMDIChild()->control());
    page->calls.clear();
    MainForm->txtAddress->setText(" りんご 価格 ");
    QTest::keyClick(MainForm->txtAddress, Qt::Key_Return);
    MainForm->txtAddress->setText("example.com");
    MainForm->btnMove->click();
    QCOMPARE(page->calls, QStringList({"Navigate https://www.bing.com/search?q=%E3%82%8A%E3%82%93%E3%81%94%20%E4%BE%A1%E6%A0%BC",
                                       "Navigate example.com"}));

    // Words from the command line, even the name of a file in the current
    // directory here (they were read where they were given).
    c.dirs().writePage("tenki", "x");
    QDir::setCurrent(c.dirs().currentDir());
    MainForm->WindowSession->openRequested({"tenki"});
    QCOMPARE(MainForm->browserWindows().size(), 2);
    page = qobject_cast<ScriptedEngine *>(MainForm->ActiveMDIChild()->control());
    QCOMPARE(page->calls, QStringList({"Navigate https://www.bing.com/search?q=tenki"}));
    QCOMPARE(c.end(), QStringList());
}

VEXEL_TEST_MAIN(TestAddressReader)
#include "test_addressreader.moc"
