#include "historystore.h"

#include "core/errors.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace {

const char *const kSchema[] = {
    "CREATE TABLE IF NOT EXISTS visits ("
    " address TEXT PRIMARY KEY NOT NULL,"
    " title TEXT NOT NULL DEFAULT '',"
    " last_visit INTEGER NOT NULL,"  // milliseconds since the epoch
    " visit_count INTEGER NOT NULL DEFAULT 1,"
    " haystack TEXT NOT NULL DEFAULT '')",  // address and title in lower case: what a search looks in
    // Completion and the history window walk these in their order and stop
    // at what they show; holding the haystack, a walk reads no table row
    // until one matches.
    "CREATE INDEX IF NOT EXISTS visits_by_rank ON visits (visit_count DESC, last_visit DESC, haystack)",
    "CREATE INDEX IF NOT EXISTS visits_by_time ON visits (last_visit DESC, haystack)",
};

QString haystackOf(const QString &address, const QString &title)
{
    return (address + QLatin1Char('\n') + title).toLower();
}

HistoryStore::Entry entryOf(const QSqlQuery &q)
{
    return {q.value(0).toString(), q.value(1).toString(), QDateTime::fromMSecsSinceEpoch(q.value(2).toLongLong()),
            q.value(3).toInt()};
}

}  // namespace

HistoryStore::HistoryStore(const QString &path)
    : connection_(QStringLiteral("vexel-history-%1").arg(reinterpret_cast<quintptr>(this)))
{
    if (openAt(path))
        return;
    // Whatever is there is not a history we can use: keep it for the user
    // and start afresh rather than lose every later visit.
    const QString reason = database().lastError().text();
    setAside(path, reason);
    if (!openAt(path)) {
        database().close();
        notice_ = QStringLiteral("履歴を記録できません。\n%1\n%2").arg(path, database().lastError().text());
    }
}

HistoryStore::~HistoryStore()
{
    {
        QSqlDatabase db = QSqlDatabase::database(connection_, false);
        if (db.isValid())
            db.close();
    }
    QSqlDatabase::removeDatabase(connection_);
}

bool HistoryStore::openAt(const QString &path)
{
    QSqlDatabase db = QSqlDatabase::contains(connection_) ? QSqlDatabase::database(connection_, false)
                                                          : QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection_);
    db.close();
    db.setDatabaseName(path);
    // Another running copy may hold the lock for a moment: wait for it.
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    if (!db.open())
        return false;
    QSqlQuery q(db);
    // WAL needs a real database: a file of other bytes fails here.
    if (!q.exec(QStringLiteral("PRAGMA journal_mode=WAL")) || !q.next() ||
        q.value(0).toString().compare(QLatin1String("wal"), Qt::CaseInsensitive) != 0)
        return false;
    if (!q.exec(QStringLiteral("PRAGMA synchronous=NORMAL")))
        return false;
    for (const char *statement : kSchema)
        if (!q.exec(QString::fromLatin1(statement)))
            return false;
    // A table of another layout (another program's, another version's) is
    // no history this one can keep.
    return q.exec(QStringLiteral("SELECT address, title, last_visit, visit_count, haystack FROM visits LIMIT 0"));
}

void HistoryStore::setAside(const QString &path, const QString &reason)
{
    database().close();
    const QString aside = path + QStringLiteral(".broken-") +
                          QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QFile::rename(path, aside);
    // Its journal belongs to it, not to the new database.
    for (const char *suffix : {"-wal", "-shm"})
        QFile::rename(path + QLatin1String(suffix), aside + QLatin1String(suffix));
    notice_ = QStringLiteral("履歴ファイルを読めないため、新しい履歴を始めました。\n元のファイルは %1 に残してあります")
                  .arg(aside);
    if (!reason.trimmed().isEmpty())
        notice_ += QStringLiteral("\n(%1)").arg(reason.trimmed());
}

bool HistoryStore::isOpen() const
{
    return database().isOpen();
}

QSqlDatabase HistoryStore::database() const
{
    return QSqlDatabase::database(connection_, false);
}

bool HistoryStore::recordVisit(const QString &address, const QString &title, const QDateTime &when)
{
    if (address.isEmpty() || !isOpen())
        return false;
    QSqlQuery q(database());
    q.prepare(QStringLiteral("INSERT INTO visits (address, title, last_visit, visit_count, haystack)"
                             " VALUES (?, ?, ?, 1, ?)"
                             " ON CONFLICT (address) DO UPDATE SET title = excluded.title,"
                             " last_visit = excluded.last_visit, visit_count = visit_count + 1,"
                             " haystack = excluded.haystack"));
    q.addBindValue(address);
    q.addBindValue(title.isNull() ? QStringLiteral("") : title);  // a null text binds as NULL
    q.addBindValue(when.toMSecsSinceEpoch());
    q.addBindValue(haystackOf(address, title));
    if (q.exec())
        return true;
    qWarning("history: visit not recorded: %s", qPrintable(q.lastError().text()));
    return false;
}

void HistoryStore::setTitle(const QString &address, const QString &title)
{
    if (!isOpen())
        return;
    QSqlQuery q(database());
    q.prepare(QStringLiteral("UPDATE visits SET title = ?, haystack = ? WHERE address = ?"));
    q.addBindValue(title.isNull() ? QStringLiteral("") : title);
    q.addBindValue(haystackOf(address, title));
    q.addBindValue(address);
    if (!q.exec())
        qWarning("history: title not recorded: %s", qPrintable(q.lastError().text()));
}

QString HistoryStore::needle(const QString &text)
{
    // Never a null text: that binds as NULL, which matches nothing.
    return text.isEmpty() ? QStringLiteral("") : text.toLower();
}

QString HistoryStore::listQuery(const QString &columns)
{
    return QStringLiteral("SELECT %1 FROM visits INDEXED BY visits_by_time WHERE instr(haystack, :needle) > 0"
                          " ORDER BY last_visit DESC")
        .arg(columns);
}

QList<HistoryStore::Entry> HistoryStore::matches(const QString &text, int limit) const
{
    QList<Entry> found;
    if (!isOpen())
        return found;
    QSqlQuery q(database());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT address, title, last_visit, visit_count FROM visits INDEXED BY visits_by_rank"
                             " WHERE instr(haystack, :needle) > 0"
                             " ORDER BY visit_count DESC, last_visit DESC LIMIT :limit"));
    q.bindValue(QStringLiteral(":needle"), needle(text));
    q.bindValue(QStringLiteral(":limit"), limit);
    if (!q.exec())
        qWarning("history: %s", qPrintable(q.lastError().text()));
    while (q.next())
        found.append(entryOf(q));
    return found;
}

QList<HistoryStore::Entry> HistoryStore::entries(const QString &text) const
{
    QList<Entry> found;
    if (!isOpen())
        return found;
    QSqlQuery q(database());
    q.setForwardOnly(true);
    q.prepare(listQuery(QStringLiteral("address, title, last_visit, visit_count")));
    q.bindValue(QStringLiteral(":needle"), needle(text));
    q.exec();
    while (q.next())
        found.append(entryOf(q));
    return found;
}

void HistoryStore::remove(const QStringList &addresses)
{
    QSqlDatabase db = database();
    db.transaction();
    QSqlQuery q(db);
    q.prepare(QStringLiteral("DELETE FROM visits WHERE address = ?"));
    for (const QString &address : addresses) {
        q.addBindValue(address);
        if (!q.exec()) {
            db.rollback();
            throw VexelError(QStringLiteral("履歴を削除できません。%1").arg(q.lastError().text()));
        }
    }
    if (!db.commit())
        throw VexelError(QStringLiteral("履歴を削除できません。%1").arg(db.lastError().text()));
}

void HistoryStore::clear()
{
    QSqlQuery q(database());
    if (!q.exec(QStringLiteral("DELETE FROM visits")))
        throw VexelError(QStringLiteral("履歴を削除できません。%1").arg(q.lastError().text()));
}
