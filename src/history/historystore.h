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

    // Opens the database at path, creating it when missing. A file that is
    // no database, or that cannot be read, is set aside under a new name
    // (path + ".broken-<time>") and a new one started; notice() says so.
    explicit HistoryStore(const QString &path);
    ~HistoryStore();
    HistoryStore(const HistoryStore &) = delete;
    HistoryStore &operator=(const HistoryStore &) = delete;

    // Whether visits can be recorded at all (false when not even a new
    // database could be made; notice() then says why).
    bool isOpen() const;
    // What the user should be told about opening the history, or empty.
    QString notice() const { return notice_; }

    // One more visit of address. False when it could not be written (the
    // reason is logged): browsing goes on without it.
    bool recordVisit(const QString &address, const QString &title,
                     const QDateTime &when = QDateTime::currentDateTime());
    // The title a page got after its visit was recorded.
    void setTitle(const QString &address, const QString &title);

    // Entries whose address or title contains text (any case), most visited
    // first, then most recent; at most limit of them.
    QList<Entry> matches(const QString &text, int limit) const;
    // Every entry containing text (all when empty), most recent first.
    QList<Entry> entries(const QString &text = QString()) const;

    // Remove entries, or all of them. Throw VexelError when the database
    // refuses.
    void remove(const QStringList &addresses);
    void clear();

    // The connection, for a view over the table (the history window).
    QSqlDatabase database() const;

    // The entries containing :needle, most recent first, as columns.
    static QString listQuery(const QString &columns);
    // What a search for text looks for (any case).
    static QString needle(const QString &text);

private:
    bool openAt(const QString &path);
    void setAside(const QString &path, const QString &reason);

    QString connection_;
    QString notice_;
};
