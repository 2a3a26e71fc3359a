// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The program's downloads, of both engines, this run's and earlier runs'.
// The engines report into the one list; the downloads window shows it. The
// list is kept per user in one small file, written when a download ends or
// leaves the list (not at every step of its progress), and read at start.

#include <QDateTime>
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>
#include <functional>

class DownloadList : public QObject {
    Q_OBJECT
public:
    enum class State { Running, Completed, Failed, Cancelled };

    struct Entry {
        int id = 0;
        QString name;   // the saved file's name
        QString path;   // where it is saved
        QUrl source;    // what was downloaded, for a retry
        qint64 size = 0;      // bytes to come, 0 while unknown
        qint64 received = 0;
        qint64 speed = 0;     // bytes a second while running
        State state = State::Running;
        QDateTime started;
        bool privateWindow = false;  // shown this run, never written
    };

    // The list kept in file (read now; a missing or damaged file is an
    // empty list).
    explicit DownloadList(const QString &file, QObject *parent = nullptr);
    // The program's list, in the user's data folder.
    static DownloadList &instance();
    static QString defaultFile();

    QString file() const { return file_; }
    // Oldest first.
    QList<Entry> entries() const { return entries_; }
    const Entry *find(int id) const;
    static QString stateText(State state);

    // A download that has begun, saved at path; cancel stops it in its
    // engine. Returns its id in the list.
    // A private window's download is listed for this run only.
    int start(const QString &path, const QUrl &source, std::function<void()> cancel, bool privateWindow = false);
    void progress(int id, qint64 received, qint64 total);
    void finish(int id, State state);
    // Asks the engine to stop a running download; its end comes as finish.
    void cancel(int id);
    // The entry leaves the list; the file stays where it is.
    void remove(int id);
    // The last private window has closed: its downloads leave the list
    // (a running one is stopped first).
    void dropPrivate();

    // The list keeps this many entries, dropping the oldest ended ones.
    static constexpr int kKept = 500;

signals:
    void added(int id);
    void changed(int id);
    void removed(int id);

private:
    Entry *entry(int id);
    void read();
    void save();

    QString file_;
    QList<Entry> entries_;
    int nextId_ = 1;
    struct Live {
        std::function<void()> cancel;
        QElapsedTimer clock;  // since the last speed sample
        qint64 sampled = 0;   // bytes at the last speed sample
    };
    QHash<int, Live> live_;
};

namespace downloads {
// Whether a status-bar text is one of a download's messages.
bool isDownloadMessage(const QString &text);
}  // namespace downloads
