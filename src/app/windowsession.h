// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The frame's open browser windows, kept on disk while the program runs, so
// that the start after a crash, a kill or a power loss can offer them again.
// A normal close removes the list; a start that finds one asks whether to
// reopen it.

#include "app/sessionfile.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <optional>

class QMdiSubWindow;
class QWidget;
class TBrowserWindow;
class TMainForm;

class TWindowSession : public QObject {
    Q_OBJECT
public:
    using Entry = SessionEntry;
    using Snapshot = SessionSnapshot;

    // Opening more windows than this at once is asked first.
    static constexpr int ManyWindows = 20;
    // Asks whether to open count windows at once (はい: true). The frame's
    // box by default; tests put their answer here.
    static std::function<bool(QWidget *parent, int count)> askToOpenMany;
    // Reopened windows keep the list marked as being restored this long, so
    // that a start after a crash they caused does not offer them as usual.
    static inline int restoreSettleMs = 10000;

    // Watches frame's windows. A copy already running on this display keeps
    // its own list; this one then neither asks nor writes.
    explicit TWindowSession(TMainForm *frame);
    ~TWindowSession() override;

    // The list of this user and display, in the user's data folder.
    static QString filePath();
    // Changes are written at most this often.
    static constexpr int WriteIntervalMs = 1000;

    // The frame connects every new window here.
    void watch(TBrowserWindow *window);

    // At start, once the frame is shown: a list left by a run that did not
    // end normally is offered. Yes keeps it for restore(); no discards it. An
    // empty or unreadable list is discarded without a question. A list whose
    // restore that run had not finished is offered with what happened, and
    // No as the default.
    void ask();
    // Reopens what ask() kept, once the frame is complete, each window
    // inside the frame's area. A window that cannot be opened is reported
    // and the rest still open.
    void restore();
    // Whether the list on disk is marked as being restored.
    bool isRestoring() const { return restoring_; }

    // Addresses from a command line or a later copy, each in a new window;
    // more than ManyWindows only once the user agrees.
    void openRequested(const QStringList &addresses, bool privateWindows = false);

    // The frame closes normally: nothing more is written, and the list goes.
    void finish();

    bool isRecording() const { return recording_; }
    // Whether changes wait to be written.
    bool writePending() const { return timer_.isActive(); }
    // How many times this run tried to write a changed list.
    int writeAttempts() const { return attempts_; }

    // What the frame holds now.
    Snapshot current();

    static QByteArray toJson(const Snapshot &snapshot) { return sessionToJson(snapshot); }
    // Null when the bytes are not a list this program wrote.
    static std::optional<Snapshot> fromJson(const QByteArray &bytes) { return sessionFromJson(bytes); }

private:
    void markDirty();
    void write();
    void writeList(const QByteArray &bytes);
    void rememberPlace(QMdiSubWindow *window);
    bool eventFilter(QObject *watched, QEvent *event) override;

    TMainForm *frame_;
    QTimer timer_;
    int lockFd_ = -1;
    bool recording_ = false;  // this copy owns the list of its display
    bool failing_ = false;    // the last write failed (and was reported)
    bool restoring_ = false;  // the list is marked as being restored
    QTimer settle_;
    int attempts_ = 0;
    std::optional<QByteArray> written_;  // what the file holds; none: not known (yet)
    Snapshot offered_;        // kept by ask() for restore()
    QHash<QObject *, QRect> normalPlace_;
    QHash<QObject *, QString> lastAddress_;
};
