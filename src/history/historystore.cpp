// SPDX-License-Identifier: GPL-3.0-or-later
#include "historystore.h"

#include "core/errors.h"
#include "core/programdir.h"

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

// SQLite's primary result code (an extended one keeps it in its low
// byte); -1 when the error carries none.
int resultCode(const QSqlError &error)
{
    bool known = false;
    const int code = error.nativeErrorCode().toInt(&known);
    return known ? code & 0xff : -1;
}

}  // namespace

HistoryStore::HistoryStore(const QString &path, int busyTimeoutMs)
    : connection_(QStringLiteral("vexel-history-%1").arg(reinterpret_cast<quintptr>(this))),
      path_(path),
      busyTimeoutMs_(busyTimeoutMs)
{
    notice_ = recover(open());
}

HistoryStore::~HistoryStore()
{
    // What could not be written yet gets one last chance.
    if (!pending_.isEmpty()) {
        try {
            flush();
        } catch (const VexelError &) {
        }
        if (!pending_.isEmpty())
            qWarning("history: %lld visits not recorded", static_cast<long long>(pending_.size()));
    }
    {
        QSqlDatabase db = QSqlDatabase::database(connection_, false);
        if (db.isValid())
            db.close();
    }
    QSqlDatabase::removeDatabase(connection_);
}

HistoryStore::Outcome HistoryStore::open()
{
    QSqlDatabase db = QSqlDatabase::contains(connection_) ? QSqlDatabase::database(connection_, false)
                                                          : QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection_);
    db.close();
    if (QFileInfo(path_).isDir())
        return {Trouble::Damaged, QString()};
    // The addresses are the user's own. SQLite gives its journal files the
    // database's mode, so they are private with it.
    makePrivateFile(path_);
    for (const char *suffix : {"-wal", "-shm"})
        restrictToOwner(path_ + QLatin1String(suffix));
    db.setDatabaseName(path_);
    // Another running copy may hold the lock for a moment: wait for it.
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(busyTimeoutMs_));
    if (!db.open())
        return outcomeOf(db.lastError());
    const auto fail = [&db](const QSqlQuery &q, bool otherLayout = false) {
        Outcome o = outcomeOf(q.lastError());
        // A table of another layout (another program's, another version's)
        // is no history this one can keep.
        if (otherLayout && resultCode(q.lastError()) == 1)  // SQLITE_ERROR
            o.trouble = Trouble::Damaged;
        db.close();
        return o;
    };
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("PRAGMA journal_mode=WAL")) || !q.next())
        return fail(q);
    if (q.value(0).toString().compare(QLatin1String("wal"), Qt::CaseInsensitive) != 0) {
        // A file SQLite reads but may not switch (read-only, say).
        db.close();
        return {Trouble::Failed, QStringLiteral("journal_mode=%1").arg(q.value(0).toString())};
    }
    if (!q.exec(QStringLiteral("PRAGMA synchronous=NORMAL")))
        return fail(q);
    for (const char *statement : kSchema)
        if (!q.exec(QString::fromLatin1(statement)))
            return fail(q, true);
    if (!q.exec(QStringLiteral("SELECT address, title, last_visit, visit_count, haystack FROM visits LIMIT 0")))
        return fail(q, true);
    return {};
}

// What a failure means for the file. Only a damaged one is ever set aside:
// a lock is another running copy's, a full disk is freed again, and either
// would lose every visit in the file for nothing.
HistoryStore::Outcome HistoryStore::outcomeOf(const QSqlError &error)
{
    const int code = resultCode(error);
    Trouble trouble = Trouble::Failed;  // a full disk (13), an I/O error (10), a read-only file, ...
    if (code == 5 || code == 6)  // SQLITE_BUSY, SQLITE_LOCKED
        trouble = Trouble::Busy;
    else if (code == 11 || code == 26)  // SQLITE_CORRUPT, SQLITE_NOTADB
        trouble = Trouble::Damaged;
    return {trouble, error.text()};
}

QString HistoryStore::recover(const Outcome &failed)
{
    switch (failed.trouble) {
    case Trouble::None:
    case Trouble::Busy:  // waited for already; tried again at the next visit
        return QString();
    case Trouble::Damaged: {
        const QString told = setAside(failed.reason);
        if (told.isEmpty())
            break;  // not even set aside: kept, and reported as a failure
        const Outcome fresh = open();
        if (fresh.trouble == Trouble::None)
            return told;
        told_ = true;
        return cannotRecord(fresh.reason);
    }
    case Trouble::Failed:
        break;
    }
    if (told_)
        return QString();
    told_ = true;
    return cannotRecord(failed.reason);
}

QString HistoryStore::cannotRecord(const QString &reason) const
{
    return QStringLiteral("履歴を記録できません。\n%1\n%2").arg(path_, reason.trimmed());
}

QString HistoryStore::setAside(const QString &reason)
{
    database().close();
    const QString aside = path_ + QStringLiteral(".broken-") +
                          QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    if (!QFile::rename(path_, aside))
        return QString();
    // Its journal belongs to it, not to the new database.
    for (const char *suffix : {"-wal", "-shm"})
        QFile::rename(path_ + QLatin1String(suffix), aside + QLatin1String(suffix));
    QString told = QStringLiteral("履歴ファイルを読めないため、新しい履歴を始めました。\n元のファイルは %1 に残してあります")
                       .arg(aside);
    if (!reason.trimmed().isEmpty())
        told += QStringLiteral("\n(%1)").arg(reason.trimmed());
    return told;
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
    if (address.isEmpty())
        return false;
    // A null text binds as NULL.
    pending_.append({true, address, title.isNull() ? QStringLiteral("") : title, when.toMSecsSinceEpoch()});
    return flush();
}

void HistoryStore::setTitle(const QString &address, const QString &title)
{
    pending_.append({false, address, title.isNull() ? QStringLiteral("") : title, 0});
    flush();
}

// Writes what waits, or keeps it for the next chance. Throws what the user
// should be told.
bool HistoryStore::flush()
{
    // A disk that stays full must not fill the memory too.
    if (pending_.size() > kMaxPending)
        pending_.remove(0, pending_.size() - kMaxPending);
    Outcome outcome = isOpen() ? Outcome() : open();
    if (outcome.trouble == Trouble::None)
        outcome = writePending();
    if (outcome.trouble == Trouble::None) {
        told_ = false;
        return true;
    }
    const QString told = recover(outcome);
    // A damaged file set aside: what waits goes into the new one.
    if (outcome.trouble == Trouble::Damaged && isOpen() && writePending().trouble == Trouble::None)
        told_ = false;
    if (!told.isEmpty())
        throw VexelError(told);
    return pending_.isEmpty();
}

HistoryStore::Outcome HistoryStore::writePending()
{
    QSqlDatabase db = database();
    if (!db.transaction())
        return outcomeOf(db.lastError());
    QSqlQuery visit(db);
    visit.prepare(QStringLiteral("INSERT INTO visits (address, title, last_visit, visit_count, haystack)"
                                 " VALUES (?, ?, ?, 1, ?)"
                                 " ON CONFLICT (address) DO UPDATE SET title = excluded.title,"
                                 " last_visit = excluded.last_visit, visit_count = visit_count + 1,"
                                 " haystack = excluded.haystack"));
    QSqlQuery retitle(db);
    retitle.prepare(QStringLiteral("UPDATE visits SET title = ?, haystack = ? WHERE address = ?"));
    for (const Pending &p : std::as_const(pending_)) {
        QSqlQuery &q = p.visit ? visit : retitle;
        if (p.visit) {
            q.addBindValue(p.address);
            q.addBindValue(p.title);
            q.addBindValue(p.when);
            q.addBindValue(haystackOf(p.address, p.title));
        } else {
            q.addBindValue(p.title);
            q.addBindValue(haystackOf(p.address, p.title));
            q.addBindValue(p.address);
        }
        if (!q.exec()) {
            const QSqlError error = q.lastError();
            db.rollback();
            return outcomeOf(error);
        }
    }
    if (!db.commit()) {
        const QSqlError error = db.lastError();
        db.rollback();
        return outcomeOf(error);
    }
    pending_.clear();
    return {};
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
    pending_.removeIf([&addresses](const Pending &p) { return addresses.contains(p.address); });
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
    pending_.clear();
    QSqlQuery q(database());
    if (!q.exec(QStringLiteral("DELETE FROM visits")))
        throw VexelError(QStringLiteral("履歴を削除できません。%1").arg(q.lastError().text()));
}
