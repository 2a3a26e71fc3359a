// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The pages the user has visited, one row per address, in an SQLite
// database. WAL mode: a second running copy writes beside this one, and a
// crash loses at most the visit being written.

#include <QDateTime>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

class HistoryStore {
public:
    struct Entry {
        QString address;
        QString title;
        QDateTime lastVisit;
        int visits = 0;
    };

    // How long a statement waits for another running copy's lock before
    // what it writes is kept for the next chance.
    static constexpr int kBusyTimeoutMs = 5000;
    // At most this many visits and titles wait in memory for a database that
    // cannot be written; beyond it the oldest go.
    static constexpr int kMaxPending = 10000;

    // Opens the database at path, creating it (for the owner alone) when
    // missing. Only a damaged file is set aside, under a new name (path +
    // ".broken-<time>"), and a new one started: one SQLite finds corrupt or no
    // database at all, a folder, or a table of another layout; notice() says
    // so. A busy, full or failing one is kept as it is and tried again at the
    // next visit.
    explicit HistoryStore(const QString &path, int busyTimeoutMs = kBusyTimeoutMs);
    ~HistoryStore();
    HistoryStore(const HistoryStore &) = delete;
    HistoryStore &operator=(const HistoryStore &) = delete;

    // Whether the database is open now (false while another copy locks it,
    // or when it could not be made; notice() then says why).
    bool isOpen() const;
    // What the user should be told about opening the history, or empty.
    QString notice() const { return notice_; }

    // One more visit of address. True when written; false when the database
    // cannot take it now: the visit then waits in memory and is written
    // with the next one (or when the store closes). Throws VexelError with
    // what the user should know: the database was damaged and set aside, or
    // it cannot be written (a full disk, an I/O error) -- the latter once,
    // until a write succeeds again.
    bool recordVisit(const QString &address, const QString &title,
                     const QDateTime &when = QDateTime::currentDateTime());
    // The title a page got after its visit was recorded; kept and reported
    // as a visit is.
    void setTitle(const QString &address, const QString &title);

    // Entries whose address or title contains text (any case), most visited
    // first, then most recent; at most limit of them.
    QList<Entry> matches(const QString &text, int limit) const;
    // Every entry containing text (all when empty), most recent first.
    QList<Entry> entries(const QString &text = QString()) const;

    // Remove entries, or all of them, also those still waiting to be
    // written. Throw VexelError when the database refuses.
    void remove(const QStringList &addresses);
    void clear();

    // The connection, for a view over the table (the history window).
    QSqlDatabase database() const;

    // The entries containing :needle, most recent first, as columns.
    static QString listQuery(const QString &columns);
    // What a search for text looks for (any case).
    static QString needle(const QString &text);

private:
    enum class Trouble { None, Busy, Damaged, Failed };
    struct Outcome {
        Trouble trouble = Trouble::None;
        QString reason;
    };
    struct Pending {
        bool visit;  // or a title only
        QString address;
        QString title;
        qint64 when;  // milliseconds since the epoch
    };

    Outcome open();
    Outcome writePending();
    bool flush();
    QString recover(const Outcome &failed);
    QString setAside(const QString &reason);
    static Outcome outcomeOf(const class QSqlError &error);
    QString cannotRecord(const QString &reason) const;

    QString connection_;
    QString path_;
    int busyTimeoutMs_;
    QString notice_;
    QList<Pending> pending_;
    bool told_ = false;  // a failure to write was reported and has not ended
};
