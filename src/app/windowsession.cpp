// SPDX-License-Identifier: GPL-3.0-or-later
#include "windowsession.h"

#include "app/instancelink.h"
#include "app/mainform.h"
#include "browser/browserwindow.h"
#include "browser/childie.h"
#include "browser/childmoz.h"
#include "browser/enginerules.h"
#include "core/atomicfile.h"
#include "core/errors.h"
#include "core/placement.h"
#include "core/programdir.h"

#include <QAction>
#include <QEvent>
#include <QFile>
#include <QMdiArea>
#include <QMessageBox>
#include <QPushButton>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <utility>

namespace {

// A question in the frame's own words: はい and いいえ, the default given.
bool askYesNo(QWidget *parent, const QString &objectName, const QString &text, bool yesByDefault)
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("Vexel"), text, QMessageBox::NoButton, parent);
    box.setObjectName(objectName);
    box.setTextFormat(Qt::PlainText);
    QPushButton *yes = box.addButton(QStringLiteral("はい"), QMessageBox::YesRole);
    QPushButton *no = box.addButton(QStringLiteral("いいえ"), QMessageBox::NoRole);
    box.setDefaultButton(yesByDefault ? yes : no);
    box.setEscapeButton(no);
    waitUntilPlaced(parent);
    centreOver(&box, parent);
    box.exec();
    return box.clickedButton() == yes;
}

}  // namespace

// Many windows at once keep the frame busy for minutes: No is the default.
std::function<bool(QWidget *, int)> TWindowSession::askToOpenMany = [](QWidget *parent, int count) {
    return askYesNo(parent, QStringLiteral("ManyWindowsQuestion"),
                    QStringLiteral("%1 個のウィンドウを開きますか？").arg(count), false);
};

TWindowSession::TWindowSession(TMainForm *frame) : QObject(frame), frame_(frame)
{
    // The kernel lets go of the lock however this process ends, so a list
    // whose lock is free was left by a copy that no longer runs. Not
    // inherited by the engines' processes, which may outlive a killed frame.
    const QByteArray lockPath = QFile::encodeName(filePath() + QStringLiteral(".lock"));
    lockFd_ = ::open(lockPath.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lockFd_ >= 0 && ::flock(lockFd_, LOCK_EX | LOCK_NB) != 0) {
        const bool held = errno == EWOULDBLOCK;
        ::close(lockFd_);
        lockFd_ = -1;
        if (held)
            return;
    }
    // Without a lock file (a folder that refuses it) the list is still kept;
    // its writes then report why they fail.
    recording_ = true;
    timer_.setSingleShot(true);
    timer_.setInterval(WriteIntervalMs);
    connect(&timer_, &QTimer::timeout, this, [this] { runGuarded([this] { write(); }); });
    connect(frame->MDIClient, &QMdiArea::subWindowActivated, this, [this] { markDirty(); });
    settle_.setSingleShot(true);
    connect(&settle_, &QTimer::timeout, this, [this] {
        restoring_ = false;
        markDirty();
    });
}

TWindowSession::~TWindowSession()
{
    finish();
}

QString TWindowSession::filePath()
{
    return userDataDirectory() + QStringLiteral("session-") + displayKey() + QStringLiteral(".json");
}

void TWindowSession::watch(TBrowserWindow *window)
{
    if (!recording_)
        return;
    window->installEventFilter(this);
    connect(window, &TBrowserWindow::stateChanged, this, [this] { markDirty(); });
    connect(window, &QWidget::windowTitleChanged, this, [this] { markDirty(); });
    connect(window, &QObject::destroyed, this, [this](QObject *gone) {
        normalPlace_.remove(gone);
        lastAddress_.remove(gone);
        markDirty();
    });
    markDirty();
}

bool TWindowSession::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::Move:
    case QEvent::Resize:
        rememberPlace(static_cast<QMdiSubWindow *>(watched));
        markDirty();
        break;
    case QEvent::WindowStateChange:
    case QEvent::Hide:
        markDirty();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void TWindowSession::rememberPlace(QMdiSubWindow *window)
{
    // A minimized or maximized window goes back to this place when restored.
    if (!(window->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized)))
        normalPlace_[window] = window->geometry();
}

void TWindowSession::markDirty()
{
    // The first change starts the wait; the ones during it ride along.
    if (recording_ && !timer_.isActive())
        timer_.start();
}

TWindowSession::Snapshot TWindowSession::current()
{
    Snapshot snapshot;
    TBrowserWindow *active = frame_->ActiveMDIChild();
    for (TBrowserWindow *w : frame_->browserWindows()) {
        if (w->isHidden() || w->isPrivate())  // closed, waiting to be deleted; or private
            continue;
        Entry entry;
        entry.ie = qobject_cast<Tfrm_IE *>(w) != nullptr;
        // An engine between pages (or one whose helper has gone) may answer
        // nothing: the window's last known address stands.
        QString address;
        try {
            address = w->control()->LocationURL();
        } catch (const std::exception &) {
        }
        if (!address.isEmpty())
            lastAddress_[w] = address;
        entry.address = lastAddress_.value(w);
        entry.title = w->windowTitle();
        entry.minimized = w->isMinimized();
        entry.maximized = w->isMaximized();
        rememberPlace(w);
        entry.geometry = normalPlace_.value(w);
        if (w == active)
            snapshot.active = int(snapshot.windows.size());
        snapshot.windows.append(entry);
    }
    return snapshot;
}

void TWindowSession::write()
{
    if (!recording_)
        return;
    Snapshot now = current();
    now.restoring = restoring_;
    if (now.windows.isEmpty()) {
        // Nothing open: nothing to offer after a crash.
        if (written_ && written_->isEmpty())
            return;
        QFile::remove(filePath());
        written_ = QByteArray();
        return;
    }
    writeList(toJson(now));
}

void TWindowSession::writeList(const QByteArray &bytes)
{
    if (written_ && *written_ == bytes)
        return;
    const QString path = filePath();
    ++attempts_;
    try {
        writeFileAtomically(path, bytes);
    } catch (const VexelError &) {
        // Retried at the next change. Reported once until a write succeeds
        // again: a box every second would bury the frame, and the user can
        // do nothing about it between two boxes.
        written_.reset();
        if (failing_)
            return;
        failing_ = true;
        throw;
    }
    failing_ = false;
    written_ = bytes;
}

void TWindowSession::ask()
{
    if (!recording_)
        return;
    const QString path = filePath();
    QFile file(path);
    if (!file.exists())
        return;
    std::optional<Snapshot> found;
    // One byte past the limit is enough for the reader to refuse the file.
    if (file.open(QIODevice::ReadOnly))
        found = fromJson(file.read(kSessionMaxBytes + 1));
    file.close();
    if (!found || found->windows.isEmpty()) {
        QFile::remove(path);
        return;
    }
    const qsizetype count = found->windows.size();
    QString text;
    if (found->restoring)
        // The last run ended while reopening these (or soon after): they may
        // be what ended it. The user decides, told so; a reflexive Enter
        // does not run into it again.
        text = QStringLiteral("前回はウィンドウの復元中に Vexel が終了しました。%1 個のウィンドウをもう一度復元しますか？")
                   .arg(count);
    else if (count > ManyWindows)
        text = QStringLiteral("前回の %1 個のウィンドウを復元しますか？").arg(count);
    else
        text = QStringLiteral("前回のウィンドウを復元しますか？");
    if (askYesNo(frame_, QStringLiteral("RestoreQuestion"), text, !found->restoring))
        offered_ = *found;  // the file stays until the reopened windows replace it
    else
        QFile::remove(path);
}

void TWindowSession::restore()
{
    Snapshot offered = std::exchange(offered_, Snapshot());
    if (offered.windows.isEmpty())
        return;
    // Marked before the first window opens: should these windows end the
    // program, the next start says so instead of offering them as usual.
    // The mark goes once they have stood for a while.
    restoring_ = true;
    offered.restoring = true;
    runGuarded([&] { writeList(toJson(offered)); });
    QList<TBrowserWindow *> opened;
    for (const Entry &entry : offered.windows) {
        // Gecko may be switched off since: its page then opens in Internet
        // Explorer rather than being lost.
        // A site with a rule comes back in the engine the rule names.
        const bool ie = enginerules::choose(entry.address, entry.ie || !frame_->Moz_Item->isEnabled(),
                                            frame_->Moz_Item->isEnabled())
                            .ie;
        const qsizetype before = frame_->browserWindows().size();
        runGuarded([&] {
            const QString caption =
                !entry.title.isEmpty() ? entry.title : ie ? Tfrm_IE::Caption : Tfrm_MZ::Caption;
            const QString address =
                entry.address.isEmpty() && !ie ? QStringLiteral("about:blank") : entry.address;
            frame_->openWindowOn(ie, caption, address);
        });
        // A window whose page failed to load still stands.
        const QList<TBrowserWindow *> now = frame_->browserWindows();
        TBrowserWindow *w = now.size() > before ? now.last() : nullptr;
        opened.append(w);
        if (!w)
            continue;
        // Until its engine reports the page, the window is at this address.
        if (!entry.address.isEmpty())
            lastAddress_[w] = entry.address;
        // A window larger than the frame (one of 40000 pixels brings the
        // engines down) or outside it comes back inside it.
        const QRect place = restoredPlace(entry.geometry, frame_->MDIClient->viewport()->size());
        if (!place.isNull())
            w->setGeometry(place);
        if (entry.maximized)
            w->showMaximized();
        else if (entry.minimized)
            w->showMinimized();
    }
    if (TBrowserWindow *active = opened.value(offered.active))
        frame_->MDIClient->setActiveSubWindow(active);
    settle_.start(restoreSettleMs);
    markDirty();
}

void TWindowSession::openRequested(const QStringList &addresses, bool privateWindows)
{
    if (addresses.size() > ManyWindows && !askToOpenMany(frame_, int(addresses.size())))
        return;
    frame_->openAddresses(addresses, privateWindows);
}

void TWindowSession::finish()
{
    if (!recording_)
        return;
    recording_ = false;
    timer_.stop();
    settle_.stop();
    QFile::remove(filePath());
    if (lockFd_ >= 0)
        ::close(lockFd_);
    lockFd_ = -1;
}
