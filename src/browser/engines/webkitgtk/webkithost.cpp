#include "webkithost.h"

#include "app/errors.h"
#include "browser/enginecontrol.h"
#include "protocol.h"
#include "webkitcontrol.h"
#include "xembed.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>

namespace {

WebKitHost *current = nullptr;
QString executableOverride;
// Generous: a first start on a loaded machine takes a second or two, and
// the wait ends as soon as the answer is there.
int replyTimeout = 15000;

QString hostExecutable()
{
    if (!executableOverride.isEmpty())
        return executableOverride;
    // Beside the program only: the current directory or the search path
    // could hand the pages to a program someone else put there.
    return QCoreApplication::applicationDirPath() + QLatin1Char('/') + QStringLiteral(VEXEL_WEBKIT_HOST);
}

}  // namespace

WebKitHost::WebKitHost() : QObject(QCoreApplication::instance())
{
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    connect(&process_, &QProcess::readyReadStandardOutput, this, &WebKitHost::read);
    connect(&process_, &QProcess::finished, this, &WebKitHost::onGone);
    connect(&process_, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart || error == QProcess::Crashed)
            onGone();
    });
}

WebKitHost::~WebKitHost()
{
    if (current == this)
        current = nullptr;
    process_.disconnect(this);
    if (process_.state() == QProcess::NotRunning)
        return;
    // Closing its input ends the host, and with it its web processes.
    process_.closeWriteChannel();
    if (!process_.waitForFinished(3000)) {
        process_.kill();
        process_.waitForFinished(1000);
    }
}

WebKitHost *WebKitHost::running()
{
    if (current && !current->gone_)
        return current;
    // A host that has gone stays an idle object until the program ends: its
    // callers may still be on the stack.
    current = nullptr;

    const QString program = hostExecutable();
    if (!QFileInfo(program).isExecutable())
        throw VexelError(engines::classNotRegisteredMessage());
    if (!xembed::available())
        throw VexelError(engines::activationFailedMessage());
    auto *host = new WebKitHost;
    if (!host->start(program)) {
        host->process_.kill();
        host->process_.waitForFinished(1000);
        delete host;
        throw VexelError(engines::classNotRegisteredMessage());
    }
    current = host;
    return host;
}

bool WebKitHost::start(const QString &program)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // Its views are X windows, also in a Wayland session.
    environment.insert(QStringLiteral("GDK_BACKEND"), QStringLiteral("x11"));
    process_.setProcessEnvironment(environment);
    // Holds no directory of the user's.
    process_.setWorkingDirectory(QDir::rootPath());
    process_.start(program, QStringList());
    // A host that cannot start (no program, a library missing) ends at once.
    return waitUntil([this] { return ready_ || gone_; }) && ready_;
}

bool WebKitHost::waitUntil(const std::function<bool()> &done)
{
    if (done())
        return true;
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    connect(this, &WebKitHost::changed, &loop, [&] {
        if (done())
            loop.quit();
    });
    timer.start(replyTimeout);
    // The user's clicks and keys wait: the window being made is not there yet.
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    return done();
}

int WebKitHost::createView(WebKitControl *control, quint32 *plugWindow)
{
    const int view = nextView_++;
    pending_.insert(view);
    send(view, "create");
    const bool answered = waitUntil([this, view] { return plugs_.contains(view) || gone_; });
    pending_.remove(view);
    const quint32 plug = plugs_.take(view);
    if (!answered) {
        // A host that does not answer is of no use to any window: the next
        // one starts a new host.
        process_.kill();
        process_.waitForFinished(1000);
        onGone();
    }
    if (!plug) {
        send(view, "release");
        throw VexelError(engines::activationFailedMessage());
    }
    controls_.insert(view, control);
    *plugWindow = plug;
    return view;
}

void WebKitHost::releaseView(int view)
{
    controls_.remove(view);
    plugs_.remove(view);
    send(view, "release");
}

void WebKitHost::send(int view, const QByteArray &verb, const QByteArray &fields)
{
    if (gone_)
        return;
    QByteArray line = QByteArray::number(view) + ' ' + verb;
    if (!fields.isNull())
        line += ' ' + fields;
    line += '\n';
    process_.write(line);
}

void WebKitHost::read()
{
    buffer_ += process_.readAllStandardOutput();
    // Handled from the event loop, not inside this signal: a handler may
    // wait for the host (a page opening a window), and QProcess does not
    // signal new output to a slot that is still running.
    if (!linesQueued_) {
        linesQueued_ = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                linesQueued_ = false;
                processLines();
            },
            Qt::QueuedConnection);
    }
}

void WebKitHost::processLines()
{
    // One line at a time, taken off the buffer first: a handler may run a
    // nested event loop that handles the lines after it.
    for (;;) {
        const qsizetype end = buffer_.indexOf('\n');
        if (end < 0)
            return;
        const QByteArray line = buffer_.left(end);
        buffer_.remove(0, end + 1);
        dispatch(line);
        emit changed();
    }
}

void WebKitHost::dispatch(const QByteArray &line)
{
    QList<QByteArray> fields = line.split(' ');
    if (fields.size() < 2)
        return;
    bool ok = false;
    const int view = fields.takeFirst().toInt(&ok);
    const QByteArray verb = fields.takeFirst();
    if (!ok)
        return;
    if (view == 0) {
        if (verb == "ready")
            ready_ = true;
        return;
    }
    if (verb == "plug" || verb == "error") {
        if (pending_.contains(view))
            plugs_.insert(view, verb == "plug" && !fields.isEmpty() ? fields.first().toUInt() : 0);
        return;
    }
    if (WebKitControl *control = controls_.value(view))
        control->hostEvent(verb, fields);
}

void WebKitHost::onGone()
{
    if (gone_)
        return;
    // What it said before it went still counts.
    buffer_ += process_.readAllStandardOutput();
    processLines();
    gone_ = true;
    if (current == this)
        current = nullptr;
    const QList<WebKitControl *> controls = controls_.values();
    controls_.clear();
    for (WebKitControl *control : controls)
        control->hostGone();
    emit changed();
}

void WebKitHost::setExecutableForTesting(const QString &path)
{
    executableOverride = path;
}

void WebKitHost::setReplyTimeoutForTesting(int milliseconds)
{
    replyTimeout = milliseconds > 0 ? milliseconds : 15000;
}

qint64 WebKitHost::runningProcessId()
{
    return current && !current->gone_ ? current->process_.processId() : 0;
}
