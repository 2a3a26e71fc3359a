// SPDX-License-Identifier: GPL-3.0-or-later
// The history: visits recorded from the windows' loads, the database kept
// whole (two writers, a damaged file set aside, a locked or full one kept),
// its files private. The history window and the address field's suggestions
// are in test_historyviews.cpp.

#include "historytests.h"


void TestHistory::init()
{
    // The test program's data folder outlives a case: each starts empty.
    for (const QFileInfo &file :
         QDir(userDataDirectory()).entryInfoList({QStringLiteral("history.sqlite*")}, QDir::AllEntries))
        QVERIFY(file.isDir() ? QDir(file.filePath()).removeRecursively() : QFile::remove(file.filePath()));
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

VEXEL_TEST_MAIN(TestHistory)
