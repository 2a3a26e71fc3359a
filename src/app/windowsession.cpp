#include "windowsession.h"

#include "app/instancelink.h"
#include "app/mainform.h"
#include "browser/browserwindow.h"
#include "browser/childie.h"
#include "browser/childmoz.h"
#include "core/atomicfile.h"
#include "core/errors.h"
#include "core/programdir.h"

#include <QAction>
#include <QEvent>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMdiArea>
#include <QMessageBox>
#include <QPushButton>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <utility>

namespace {

const QString kIE = QStringLiteral("IE");
const QString kGecko = QStringLiteral("Gecko");

}  // namespace

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
        if (w->isHidden())  // closed, waiting to be deleted
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
    const Snapshot now = current();
    const QByteArray bytes = now.windows.isEmpty() ? QByteArray() : toJson(now);
    if (written_ && *written_ == bytes)
        return;
    const QString path = filePath();
    if (bytes.isEmpty()) {
        // Nothing open: nothing to offer after a crash.
        QFile::remove(path);
        written_ = bytes;
        return;
    }
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
    // The addresses are the user's own, like history.
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
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
    if (file.open(QIODevice::ReadOnly))
        found = fromJson(file.readAll());
    file.close();
    if (!found || found->windows.isEmpty()) {
        QFile::remove(path);
        return;
    }
    QMessageBox box(QMessageBox::Question, QStringLiteral("Vexel"), QStringLiteral("前回のウィンドウを復元しますか？"),
                    QMessageBox::NoButton, frame_);
    box.setObjectName(QStringLiteral("RestoreQuestion"));
    QPushButton *yes = box.addButton(QStringLiteral("はい"), QMessageBox::YesRole);
    QPushButton *no = box.addButton(QStringLiteral("いいえ"), QMessageBox::NoRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(no);
    box.exec();
    if (box.clickedButton() == yes)
        offered_ = *found;  // the file stays until the reopened windows replace it
    else
        QFile::remove(path);
}

void TWindowSession::restore()
{
    const Snapshot offered = std::exchange(offered_, Snapshot());
    if (offered.windows.isEmpty())
        return;
    QList<TBrowserWindow *> opened;
    for (const Entry &entry : offered.windows) {
        // Gecko may be switched off since: its page then opens in Internet
        // Explorer rather than being lost.
        const bool ie = entry.ie || !frame_->Moz_Item->isEnabled();
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
        const QRect area(QPoint(0, 0), frame_->MDIClient->viewport()->size());
        if (entry.geometry.isValid() && entry.geometry.intersects(area))
            w->setGeometry(entry.geometry);
        if (entry.maximized)
            w->showMaximized();
        else if (entry.minimized)
            w->showMinimized();
    }
    if (TBrowserWindow *active = opened.value(offered.active))
        frame_->MDIClient->setActiveSubWindow(active);
    markDirty();
}

void TWindowSession::finish()
{
    if (!recording_)
        return;
    recording_ = false;
    timer_.stop();
    QFile::remove(filePath());
    if (lockFd_ >= 0)
        ::close(lockFd_);
    lockFd_ = -1;
}

QByteArray TWindowSession::toJson(const Snapshot &snapshot)
{
    QJsonArray windows;
    for (const Entry &e : snapshot.windows) {
        QJsonObject o{{QStringLiteral("engine"), e.ie ? kIE : kGecko},
                      {QStringLiteral("address"), e.address},
                      {QStringLiteral("title"), e.title}};
        if (e.geometry.isValid()) {
            o.insert(QStringLiteral("x"), e.geometry.x());
            o.insert(QStringLiteral("y"), e.geometry.y());
            o.insert(QStringLiteral("width"), e.geometry.width());
            o.insert(QStringLiteral("height"), e.geometry.height());
        }
        if (e.minimized)
            o.insert(QStringLiteral("minimized"), true);
        if (e.maximized)
            o.insert(QStringLiteral("maximized"), true);
        windows.append(o);
    }
    const QJsonObject root{{QStringLiteral("windows"), windows}, {QStringLiteral("active"), snapshot.active}};
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

std::optional<TWindowSession::Snapshot> TWindowSession::fromJson(const QByteArray &bytes)
{
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return std::nullopt;
    const QJsonObject root = doc.object();
    if (!root.value(QStringLiteral("windows")).isArray())
        return std::nullopt;
    Snapshot snapshot;
    for (const QJsonValue &v : root.value(QStringLiteral("windows")).toArray()) {
        const QJsonObject o = v.toObject();
        const QString engine = o.value(QStringLiteral("engine")).toString();
        if (!v.isObject() || (engine != kIE && engine != kGecko) || !o.value(QStringLiteral("address")).isString())
            return std::nullopt;
        Entry e;
        e.ie = engine == kIE;
        e.address = o.value(QStringLiteral("address")).toString();
        e.title = o.value(QStringLiteral("title")).toString();
        const QRect place(o.value(QStringLiteral("x")).toInt(), o.value(QStringLiteral("y")).toInt(),
                          o.value(QStringLiteral("width")).toInt(), o.value(QStringLiteral("height")).toInt());
        if (place.isValid())
            e.geometry = place;
        e.minimized = o.value(QStringLiteral("minimized")).toBool();
        e.maximized = o.value(QStringLiteral("maximized")).toBool();
        snapshot.windows.append(e);
    }
    const int active = root.value(QStringLiteral("active")).toInt(-1);
    snapshot.active = active >= 0 && active < snapshot.windows.size() ? active : -1;
    return snapshot;
}
