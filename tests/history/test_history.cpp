// The history: visits recorded from the windows' loads, the database kept
// whole (two writers, a damaged file set aside, a locked or full one kept),
// its files private, the history window and the address field's
// suggestions.

#include "app/addresscompleter.h"
#include "app/browsinghistory.h"
#include "app/forms.h"
#include "app/mainform.h"
#include "core/atomicfile.h"
#include "core/errors.h"
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
#include <sys/stat.h>
#include <thread>

class TestHistory : public QObject {
    Q_OBJECT
private slots:
    void init();
    void visitsFromWindowLoads();
    void twoWritersLoseNothing();
    void damagedDatabaseSetAside_data();
    void damagedDatabaseSetAside();
    void unavailableDatabaseKept_data();
    void unavailableDatabaseKept();
    void historyFilesPrivate_data();
    void historyFilesPrivate();
    void userFoldersPrivate_data();
    void userFoldersPrivate();
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

static QStringList setAside()
{
    return QDir(userDataDirectory()).entryList({QStringLiteral("history.sqlite.broken-*")}, QDir::AllEntries);
}

// A second connection to the history file, as another running copy or
// another program would hold it.
class OtherConnection {
public:
    OtherConnection()
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("other"));
        db.setDatabaseName(historyPath());
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=0"));
        db.open();
    }
    ~OtherConnection()
    {
        QSqlDatabase::database(QStringLiteral("other"), false).close();
        QSqlDatabase::removeDatabase(QStringLiteral("other"));
    }
    bool exec(const char *statement)
    {
        return QSqlQuery(QSqlDatabase::database(QStringLiteral("other"), false)).exec(QString::fromLatin1(statement));
    }
};

// Overwrites the file from offset to its end with bytes no page holds.
static void damage(qint64 offset)
{
    QFile file(historyPath());
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.size() > offset);
    QVERIFY(file.seek(offset));
    file.write(QByteArray(file.size() - offset, '\xa5'));
}

void TestHistory::damagedDatabaseSetAside_data()
{
    QTest::addColumn<int>("kind");
    QTest::newRow("not a database") << 0;
    QTest::newRow("unreadable (a folder)") << 1;
    QTest::newRow("a table of another layout") << 2;
    QTest::newRow("corrupt, found when opened") << 3;
    QTest::newRow("corrupt inside, found when written") << 4;
}

void TestHistory::damagedDatabaseSetAside()
{
    QFETCH(int, kind);
    if (kind == 1) {
        QVERIFY(QDir().mkpath(historyPath()));
    } else if (kind == 2) {
        OtherConnection other;
        QVERIFY(other.exec("CREATE TABLE visits (address TEXT, title TEXT)"));
    } else if (kind >= 3) {
        {
            HistoryStore earlier(historyPath());
            for (int i = 0; i < 50; ++i)
                QVERIFY(earlier.recordVisit(QStringLiteral("http://before.example/%1").arg(i), QStringLiteral("前")));
        }
        // The first page holds the header and the table list; the rows and
        // their indexes lie behind it.
        damage(kind == 3 ? 100 : 4096);
    } else {
        QFile file(historyPath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(4096, 'x'));
    }
    ScriptedCase c;
    c.begin();
    MainForm->FileNew1Execute();
    auto *page = qobject_cast<ScriptedEngine *>(MainForm->ActiveMDIChild()->control());
    page->location = QStringLiteral("http://after.example/");
    page->raiseLoadFinished(true);
    page->location = QStringLiteral("http://later.example/");
    page->raiseLoadFinished(true);
    // The visit that found the damage is kept in the new history.
    QCOMPARE(MainForm->browsingHistory()->store()->entries().size(), 2);
    const QStringList aside = setAside();
    QCOMPARE(aside.size(), 1);
    // Told once, with where the old file went.
    const QStringList errors = c.end();
    QCOMPARE(errors.size(), 1);
    QVERIFY2(errors.first().contains(aside.first()), qPrintable(errors.first()));
}

void TestHistory::unavailableDatabaseKept_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("reports");
    QTest::newRow("locked by another copy before it opens") << 0 << 0;
    QTest::newRow("locked by another copy while it writes") << 1 << 0;
    QTest::newRow("a full disk") << 2 << 1;
}

void TestHistory::unavailableDatabaseKept()
{
    QFETCH(int, kind);
    QFETCH(int, reports);
    {
        HistoryStore earlier(historyPath());
        QVERIFY(earlier.recordVisit(QStringLiteral("http://before.example/"), QStringLiteral("前")));
    }
    ErrorRecorder errors;
    auto other = std::make_unique<OtherConnection>();
    if (kind == 0) {
        // Not even reading: the other copy keeps the file to itself.
        QVERIFY(other->exec("PRAGMA locking_mode=EXCLUSIVE"));
        QVERIFY(other->exec("BEGIN EXCLUSIVE"));
        QVERIFY(other->exec("DELETE FROM visits WHERE 0"));
    }
    // A short wait for the lock: it is held until this case lets it go.
    HistoryStore store(historyPath(), 50);
    QCOMPARE(store.notice(), QString());
    if (kind == 1)
        QVERIFY(other->exec("BEGIN EXCLUSIVE"));
    QSqlQuery limit(store.database());
    if (kind == 2) {
        // SQLite's own limit on the file's pages stands in for the disk.
        QVERIFY(limit.exec(QStringLiteral("PRAGMA page_count")) && limit.next());
        QVERIFY(limit.exec(QStringLiteral("PRAGMA max_page_count = %1").arg(limit.value(0).toInt())));
    }
    // Titles long enough to need pages of their own.
    const QString title(3000, QChar(u'題'));
    for (int i = 0; i < 3; ++i)
        runGuarded([&] {
            QVERIFY(!store.recordVisit(QStringLiteral("http://while.example/%1").arg(i), title));
            store.setTitle(QStringLiteral("http://before.example/"), QStringLiteral("後"));
        });
    QCOMPARE(errors.messages.size(), reports);
    if (reports)
        QVERIFY2(errors.messages.first().startsWith(QStringLiteral("履歴を記録できません。\n") + historyPath()),
                 qPrintable(errors.messages.first()));
    // The lock let go, the disk freed: the next visit writes what waited.
    other.reset();
    if (kind == 2)
        QVERIFY(limit.exec(QStringLiteral("PRAGMA max_page_count = 1000000")));
    runGuarded([&] { QVERIFY(store.recordVisit(QStringLiteral("http://after.example/"), QString())); });
    QCOMPARE(errors.messages.size(), reports);
    const auto entries = store.entries();
    QCOMPARE(entries.size(), 5);
    QCOMPARE(store.matches(QStringLiteral("before.example"), 1).value(0).title, QStringLiteral("後"));
    QCOMPARE(store.matches(QStringLiteral("while.example/2"), 1).value(0).title, title);
    QCOMPARE(setAside(), QStringList());
}

static int modeOf(const QString &path)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

void TestHistory::historyFilesPrivate_data()
{
    boolRows("existing", "a new history", "one left readable by an earlier version");
}

void TestHistory::historyFilesPrivate()
{
    QFETCH(bool, existing);
    if (existing) {
        { HistoryStore earlier(historyPath()); }
        QVERIFY(QFile::setPermissions(historyPath(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                         QFileDevice::ReadGroup | QFileDevice::ReadOther));
    }
    HistoryStore store(historyPath());
    QVERIFY(store.recordVisit(QStringLiteral("http://private.example/"), QString()));
    // SQLite's journal files take the database's mode.
    for (const char *suffix : {"", "-wal", "-shm"})
        QCOMPARE(modeOf(historyPath() + QLatin1String(suffix)), 0600);
    QCOMPARE(modeOf(userDataDirectory()), 0700);
}

// Vexel's per-user folders, asked for the first time in a run, and a folder
// the user chose (the portable program folder), whose files stay as the
// user's umask makes them.
void TestHistory::userFoldersPrivate_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("ownerOnly");
    QTest::newRow("the data folder") << 0 << true;
    QTest::newRow("the installed settings folder") << 1 << true;
    QTest::newRow("the portable program folder") << 2 << false;
}

void TestHistory::userFoldersPrivate()
{
    QFETCH(int, kind);
    QFETCH(bool, ownerOnly);
    const mode_t umask = ::umask(022);
    QTemporaryDir base;
    const QString dir = base.path() + QStringLiteral("/Vexel/");
    QVERIFY(QDir().mkpath(dir + QStringLiteral("engine")));
    const QString left = dir + (kind == 0 ? QStringLiteral("session.json") : QStringLiteral("config.ini"));
    const QString elsewhere = base.path() + QStringLiteral("/elsewhere");
    for (const QString &file : {left, elsewhere}) {
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QVERIFY(f.setPermissions(f.permissions() | QFileDevice::ReadGroup | QFileDevice::ReadOther));
    }
    // A link is not followed: what it points at is not ours.
    QVERIFY(QFile::link(elsewhere, dir + QStringLiteral("link")));
    const QByteArray variable = kind == 0 ? "XDG_DATA_HOME" : "XDG_CONFIG_HOME";
    const QByteArray previous = qgetenv(variable.constData()), previousCache = qgetenv("XDG_CACHE_HOME");
    qputenv(variable.constData(), QFile::encodeName(base.path()));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(base.path() + QStringLiteral("/cache")));
    setInstalledLayout(kind == 1);
    if (kind == 2)
        setExecutableDirectoryForTesting(dir);
    const QString asked = kind == 0 ? userDataDirectory() : programDirectory();
    writeFileAtomically(dir + QStringLiteral("new"), "new");
    setExecutableDirectoryForTesting(QString());
    setInstalledLayout(false);
    qputenv(variable.constData(), previous);
    qputenv("XDG_CACHE_HOME", previousCache);
    ::umask(umask);

    QCOMPARE(asked, dir);
    QCOMPARE(modeOf(dir), ownerOnly ? 0700 : 0755);
    QCOMPARE(modeOf(dir + QStringLiteral("engine")), ownerOnly ? 0700 : 0755);
    QCOMPARE(modeOf(left), ownerOnly ? 0600 : 0644);
    QCOMPARE(modeOf(dir + QStringLiteral("new")), ownerOnly ? 0600 : 0644);
    QCOMPARE(modeOf(elsewhere), 0644);
    if (kind == 0)  // where the engines put their caches, made before they start
        QCOMPARE(modeOf(base.path() + QStringLiteral("/cache/Vexel")), 0700);
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
    QCOMPARE(page->calls, QStringList({QStringLiteral("Navigate https://www.google.co.jp/search?q=kana&ie=UTF-8")}));

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
