// The history: visits recorded from the windows' loads, the database kept
// whole (two writers, a broken file), the history window and the address
// field's suggestions.

#include "app/addresscompleter.h"
#include "app/browsinghistory.h"
#include "app/forms.h"
#include "app/mainform.h"
#include "core/programdir.h"
#include "history/historyform.h"
#include "history/historystore.h"
#include "settings/config.h"
#include "testsupport.h"
#include "whenopen.h"

#include <QAbstractItemView>
#include <QAction>
#include <QDir>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QMdiArea>
#include <QMessageBox>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTreeView>
#include <thread>

class TestHistory : public QObject {
    Q_OBJECT
private slots:
    void init();
    void visitsFromWindowLoads();
    void twoWritersLoseNothing();
    void brokenDatabaseSetAside_data();
    void brokenDatabaseSetAside();
    void historyWindow();
    void suggestionOrder();
    void suggestionKeys();
};

static QString historyPath()
{
    return userDataDirectory() + QStringLiteral("history.sqlite");
}

void TestHistory::init()
{
    // The test program's data folder outlives a case: each starts empty.
    for (const QFileInfo &file :
         QDir(userDataDirectory()).entryInfoList({QStringLiteral("history.sqlite*")}, QDir::AllEntries))
        QVERIFY(file.isDir() ? QDir(file.filePath()).removeRecursively() : QFile::remove(file.filePath()));
}

static QStringList addressesOf(const QList<HistoryStore::Entry> &entries)
{
    QStringList list;
    for (const auto &e : entries)
        list.append(e.address);
    return list;
}

void TestHistory::visitsFromWindowLoads()
{
    {
        ScriptedCase c;
        c.begin();
        MainForm->FileNew1Execute();
        auto *page = qobject_cast<ScriptedEngine *>(MainForm->ActiveMDIChild()->control());
        QVERIFY(page);
        page->location = QStringLiteral("file:///tmp/a.html");
        page->raiseTitle(QStringLiteral("ページ A"));
        page->raiseLoadFinished(true);
        page->raiseLoadFinished(true);  // the same page again: a second visit
        // A failed load is no visit, and a title after it belongs to nothing.
        page->location = QStringLiteral("http://unreachable.invalid/");
        page->raiseLoadFinished(false);
        page->raiseTitle(QStringLiteral("エラー"));
        // A title that comes after the load names the visit.
        page->location = QStringLiteral("about:blank");
        page->raiseTitle(QString());
        page->raiseLoadFinished(true);
        page->raiseTitle(QStringLiteral("後から"));
        const auto entries = MainForm->browsingHistory()->store()->entries();
        QCOMPARE(entries.size(), 2);
        // An engine that cannot say its address: reported, nothing recorded.
        page->failLocation = true;
        page->raiseLoadFinished(true);
        QCOMPARE(MainForm->browsingHistory()->store()->entries().size(), 2);
        QCOMPARE(c.end(), QStringList({QStringLiteral("LocationURL failed.")}));
    }
    // Across a restart: what the database holds.
    HistoryStore reopened(historyPath());
    const auto entries = reopened.entries();
    QCOMPARE(addressesOf(entries).size(), 2);
    QMap<QString, HistoryStore::Entry> byAddress;
    for (const auto &e : entries)
        byAddress.insert(e.address, e);
    QCOMPARE(byAddress.value(QStringLiteral("file:///tmp/a.html")).visits, 2);
    QCOMPARE(byAddress.value(QStringLiteral("file:///tmp/a.html")).title, QStringLiteral("ページ A"));
    QCOMPARE(byAddress.value(QStringLiteral("about:blank")).title, QStringLiteral("後から"));
}

void TestHistory::twoWritersLoseNothing()
{
    // Two running copies: two connections writing the same file at once.
    constexpr int kEach = 300;
    auto writer = [](const QString &name) {
        HistoryStore store(historyPath());
        for (int i = 0; i < kEach; ++i) {
            store.recordVisit(QStringLiteral("http://shared.example/"), QStringLiteral("共有"));
            store.recordVisit(QStringLiteral("http://%1.example/%2").arg(name).arg(i), name);
        }
    };
    HistoryStore first(historyPath());  // the file exists before both start
    std::thread a(writer, QStringLiteral("a"));
    std::thread b(writer, QStringLiteral("b"));
    a.join();
    b.join();
    const auto entries = first.entries();
    QCOMPARE(entries.size(), 2 * kEach + 1);
    QCOMPARE(first.matches(QStringLiteral("shared.example"), 1).value(0).visits, 2 * kEach);
}

void TestHistory::brokenDatabaseSetAside_data()
{
    QTest::addColumn<int>("kind");
    QTest::newRow("not a database") << 0;
    QTest::newRow("unreadable (a folder)") << 1;
    QTest::newRow("a table of another layout") << 2;
}

void TestHistory::brokenDatabaseSetAside()
{
    QFETCH(int, kind);
    if (kind == 1) {
        QVERIFY(QDir().mkpath(historyPath()));
    } else if (kind == 2) {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("other"));
        db.setDatabaseName(historyPath());
        QVERIFY(db.open());
        QVERIFY(QSqlQuery(db).exec(QStringLiteral("CREATE TABLE visits (address TEXT, title TEXT)")));
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("other"));
    } else {
        QFile file(historyPath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(4096, 'x'));
    }
    ScriptedCase c;
    c.begin();
    HistoryStore *store = MainForm->browsingHistory()->store();
    MainForm->browsingHistory()->store();
    QVERIFY(store->isOpen());
    QVERIFY(store->recordVisit(QStringLiteral("http://after.example/"), QString()));
    const QStringList aside = QDir(userDataDirectory()).entryList({QStringLiteral("history.sqlite.broken-*")},
                                                                  QDir::AllEntries);
    QCOMPARE(aside.size(), 1);
    // Told once, with where the old file went.
    const QStringList errors = c.end();
    QCOMPARE(errors.size(), 1);
    QVERIFY2(errors.first().contains(aside.first()), qPrintable(errors.first()));
}

void TestHistory::historyWindow()
{
    {
        HistoryStore store(historyPath());
        const QDateTime now = QDateTime::currentDateTime();
        store.recordVisit(QStringLiteral("http://old.example/"), QStringLiteral("古い"), now.addDays(-1));
        store.recordVisit(QStringLiteral("http://new.example/"), QStringLiteral("新しい"), now);
        store.recordVisit(QStringLiteral("http://100%.example/"), QStringLiteral("百"), now.addSecs(-60));
    }
    ScriptedCase c;
    c.begin();
    config::writeBookmarkWindow(configPath(MainForm->ProgramDir), 0);
    QCOMPARE(MainForm->browsingHistory()->HistoryAction->shortcut(), QKeySequence(QStringLiteral("Ctrl+H")));
    MainForm->browsingHistory()->HistoryAction->trigger();
    THistoryForm *form = MainForm->browsingHistory()->historyForm();
    QVERIFY(form && form->isVisible());
    QCOMPARE(form->windowTitle(), QStringLiteral("履歴"));
    QCOMPARE(form->rowCount(), 3);
    QCOMPARE(form->addressAt(0), QStringLiteral("http://new.example/"));
    // The search takes its text literally: "%" is no wildcard.
    form->txtSearch->setText(QStringLiteral("%"));
    QCOMPARE(form->rowCount(), 1);
    form->txtSearch->setText(QStringLiteral("古"));
    QCOMPARE(form->rowCount(), 1);
    // Enter opens: no window yet, so a new one.
    QTest::keyClick(form->lstHistory, Qt::Key_Return);
    QCOMPARE(MainForm->browserWindows().size(), 1);
    auto *page = qobject_cast<ScriptedEngine *>(MainForm->ActiveMDIChild()->control());
    QCOMPARE(page->calls.last(), QStringLiteral("Navigate http://old.example/"));
    // With a window open and the setting off, the active window goes there.
    form->txtSearch->clear();
    QTest::keyClick(form->lstHistory, Qt::Key_Return);
    QCOMPARE(MainForm->browserWindows().size(), 1);
    QCOMPARE(page->calls.last(), QStringLiteral("Navigate http://new.example/"));
    // Delete the selected row.
    form->lstHistory->setCurrentIndex(form->lstHistory->model()->index(0, 0));
    QTest::keyClick(form->lstHistory, Qt::Key_Delete);
    QCOMPARE(form->rowCount(), 2);
    // Clear all asks first: いいえ keeps, はい clears.
    for (const bool yes : {false, true}) {
        WhenOpen answer([yes](QMessageBox *box) {
            QCOMPARE(box->text(), QStringLiteral("履歴をすべて消去しますか？"));
            box->button(yes ? QMessageBox::Yes : QMessageBox::No)->click();
        });
        form->btnClear->click();
        QCOMPARE(form->rowCount(), yes ? 0 : 2);
    }
    QCOMPARE(c.end(), QStringList());
}

void TestHistory::suggestionOrder()
{
    const QList<Suggestion> bookmarks = {{QStringLiteral("http://news.example/"), QStringLiteral("ニュース")},
                                         {QStringLiteral("http://other.example/"), QStringLiteral("別")},
                                         {QStringLiteral("http://mail.example/"), QStringLiteral("Example メール")}};
    QList<Suggestion> history = {{QStringLiteral("http://mail.example/"), QStringLiteral("重複")},
                                 {QStringLiteral("http://often.example/"), QString()}};
    for (int i = 0; i < 20; ++i)
        history.append({QStringLiteral("http://example.org/%1").arg(i), QString()});
    const auto ranked = TAddressCompleter::rank(QStringLiteral("EXAMPLE"), bookmarks, history);
    QCOMPARE(ranked.size(), int(TAddressCompleter::kMaxShown));
    QCOMPARE(ranked.at(0).address, QStringLiteral("http://news.example/"));
    QCOMPARE(ranked.at(2).address, QStringLiteral("http://mail.example/"));
    QCOMPARE(ranked.at(2).title, QStringLiteral("Example メール"));  // the bookmark, once
    QCOMPARE(ranked.at(3).address, QStringLiteral("http://often.example/"));
    // A title matches as well as an address; history comes ordered by visits.
    QCOMPARE(TAddressCompleter::rank(QStringLiteral("ニュース"), bookmarks, {}).size(), 1);
    HistoryStore store(historyPath());
    const QDateTime now = QDateTime::currentDateTime();
    store.recordVisit(QStringLiteral("http://once-new.example/"), QString(), now);
    store.recordVisit(QStringLiteral("http://twice.example/"), QString(), now.addDays(-2));
    store.recordVisit(QStringLiteral("http://twice.example/"), QString(), now.addDays(-2));
    store.recordVisit(QStringLiteral("http://once-old.example/"), QString(), now.addDays(-3));
    QCOMPARE(addressesOf(store.matches(QStringLiteral(".example"), 10)),
             QStringList({QStringLiteral("http://twice.example/"), QStringLiteral("http://once-new.example/"),
                          QStringLiteral("http://once-old.example/")}));
}

void TestHistory::suggestionKeys()
{
    {
        HistoryStore store(historyPath());
        store.recordVisit(QStringLiteral("http://kana.example/"), QStringLiteral("かな"));
    }
    ScriptedCase c;
    c.begin();
    config::writeAddressBarWindow(configPath(MainForm->ProgramDir), 0);
    MainForm->FileNew1Execute();
    auto *page = qobject_cast<ScriptedEngine *>(MainForm->ActiveMDIChild()->control());
    TAddressCompleter *completer = MainForm->browsingHistory()->completer();
    QTreeView *popup = completer->popup();
    MainForm->activateWindow();
    MainForm->txtAddress->setFocus();
    MainForm->txtAddress->clear();

    // Esc closes the list and leaves what was typed.
    QTest::keyClicks(MainForm->txtAddress, QStringLiteral("kan"));
    QTRY_VERIFY(popup->isVisible());
    QCOMPARE(completer->shown().size(), 1);
    QTest::keyClick(MainForm->txtAddress, Qt::Key_Escape);
    QVERIFY(!popup->isVisible());
    QCOMPARE(MainForm->txtAddress->text(), QStringLiteral("kan"));

    // Enter with nothing chosen (↓ then ↑ is back to none) goes to what was
    // typed, as the Move button.
    page->calls.clear();
    QTest::keyClicks(MainForm->txtAddress, QStringLiteral("a"));
    QTRY_VERIFY(popup->isVisible());
    QTest::keyClick(MainForm->txtAddress, Qt::Key_Down);
    QTest::keyClick(MainForm->txtAddress, Qt::Key_Up);
    QCOMPARE(completer->chosen(), -1);
    QTest::keyClick(MainForm->txtAddress, Qt::Key_Return);
    QVERIFY(!popup->isVisible());
    QCOMPARE(page->calls, QStringList({QStringLiteral("Navigate kana")}));

    // Down chooses the first suggestion; Enter goes there.
    MainForm->txtAddress->clear();
    page->calls.clear();
    QInputMethodEvent commit;  // Japanese comes from the input method
    commit.setCommitString(QStringLiteral("かな"));
    QApplication::sendEvent(MainForm->txtAddress, &commit);
    QTRY_VERIFY(popup->isVisible());
    QTest::keyClick(MainForm->txtAddress, Qt::Key_Down);
    QTest::keyClick(MainForm->txtAddress, Qt::Key_Return);
    QCOMPARE(page->calls, QStringList({QStringLiteral("Navigate http://kana.example/")}));
    QCOMPARE(MainForm->txtAddress->text(), QStringLiteral("http://kana.example/"));

    // A click on a suggestion goes there too.
    MainForm->txtAddress->clear();
    page->calls.clear();
    QTest::keyClicks(MainForm->txtAddress, QStringLiteral("kana."));
    QTRY_VERIFY(popup->isVisible());
    QTest::mouseClick(completer->popup()->viewport(), Qt::LeftButton, {},
                      completer->popup()->visualRect(completer->popup()->model()->index(0, 0)).center());
    QCOMPARE(page->calls, QStringList({QStringLiteral("Navigate http://kana.example/")}));

    // Text nothing matches opens no list.
    MainForm->txtAddress->clear();
    QTest::keyClicks(MainForm->txtAddress, QStringLiteral("zzz"));
    QVERIFY(!popup->isVisible());
    QCOMPARE(c.end(), QStringList());
}

VEXEL_TEST_MAIN(TestHistory)
#include "test_history.moc"
