// SPDX-License-Identifier: GPL-3.0-or-later
#include "webkithost.h"

#include "core/errors.h"
#include "core/renderpath.h"
#include "browser/enginecontrol.h"
#include "protocol.h"
#include "webkitblocking.h"
#include "webkitrules.h"
#include "webkitdownloads.h"
#include "webkitscale.h"
#include "xembed.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>
#include <vector>

namespace {

Q_LOGGING_CATEGORY(lcProtocol, "vexel.webkit.protocol")

WebKitHost *current = nullptr;
QString executableOverride;
// Generous: a first start on a loaded machine takes a second or two, and
// nothing waits for it meanwhile.
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

// --- The codec --------------------------------------------------------------

QByteArray webkitprotocol::encode(quint32 view, const char *verb, const QList<QByteArray> &fields)
{
    std::vector<const char *> texts;
    std::vector<size_t> lengths;
    for (const QByteArray &field : fields) {
        texts.push_back(field.constData());
        lengths.push_back(size_t(field.size()));
    }
    char *line = nullptr;
    size_t length = 0;
    if (vexel_proto_encode_line(view, verb, texts.data(), lengths.data(), texts.size(), &line, &length) !=
        VEXEL_PROTO_OK)
        return QByteArray();
    QByteArray encoded(line, qsizetype(length));
    free(line);
    return encoded;
}

int webkitprotocol::decode(const QByteArray &line, WebKitMessage *message)
{
    VexelProtoMessage decoded;
    const int error = vexel_proto_decode_line(line.constData(), size_t(line.size()), &decoded);
    if (error != VEXEL_PROTO_OK)
        return error;
    message->view = decoded.view;
    message->verb = QByteArray(decoded.verb);
    message->fields.clear();
    for (size_t i = 0; i < decoded.count; ++i)
        message->fields.append(QByteArray(decoded.fields[i], qsizetype(decoded.lengths[i])));
    vexel_proto_message_clear(&decoded);
    return VEXEL_PROTO_OK;
}

// --- The host ---------------------------------------------------------------

WebKitHost::WebKitHost() : QObject(QCoreApplication::instance())
{
    vexel_proto_reader_init(&reader_);
    replyTimer_.setSingleShot(true);
    connect(&replyTimer_, &QTimer::timeout, this, &WebKitHost::onTimeout);
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
    if (process_.state() != QProcess::NotRunning) {
        // Closing its input ends the host, and with it its web processes.
        process_.closeWriteChannel();
        if (!process_.waitForFinished(3000)) {
            process_.kill();
            process_.waitForFinished(1000);
        }
    }
    vexel_proto_reader_free(&reader_);
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
    host->start(program);
    current = host;
    return host;
}

void WebKitHost::start(const QString &program)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // Its views are X windows, also in a Wayland session.
    environment.insert(QStringLiteral("GDK_BACKEND"), QStringLiteral("x11"));
    // Its pages as large as the frame's: GDK scales by whole factors only,
    // the views' zoom does the rest.
    scale_ = webkitscale::hostScale();
    environment.insert(QStringLiteral("GDK_SCALE"), QString::number(scale_));
    process_.setProcessEnvironment(environment);
    // Holds no directory of the user's.
    process_.setWorkingDirectory(QDir::rootPath());
    // Without a GPU its views draw without compositing, as the frame does.
    QStringList arguments;
    if (rendering::current() == rendering::Path::Software)
        arguments << QStringLiteral("--no-compositing");
    process_.start(program, arguments);
    // Before any view: its web process starts with the filters.
    webkitblocking::follow(this);
    webkitrules::follow(this);
    // A host that cannot start (no program, a library missing) ends at once;
    // one that never says it is ready is let go.
    awaitAnswer();
}

void WebKitHost::startEarly(bool warmPage)
{
    WebKitHost *host = nullptr;
    try {
        host = running();
    } catch (const VexelError &) {
        return;
    }
    // After the filters (sent at start): the process starts with them.
    if (warmPage)
        host->send(0, VEXEL_VERB_PREWARM);
}

int WebKitHost::requestView(WebKitView *owner)
{
    const int view = nextView_++;
    pending_.insert(view, owner);
    // The pipe keeps the request while the host is still starting.
    // A private window's view keeps its data in memory only.
    send(view, VEXEL_VERB_CREATE, {yesNo(owner->isPrivateView())});
    awaitAnswer();
    return view;
}

void WebKitHost::releaseView(int view)
{
    views_.remove(view);
    // An answer still on its way finds no one and is dropped.
    pending_.remove(view);
    send(view, VEXEL_VERB_RELEASE);
    awaitAnswer();
}

bool WebKitHost::send(int view, const char *verb, const QList<QByteArray> &fields)
{
    if (gone_)
        return false;
    const QByteArray line = webkitprotocol::encode(quint32(view), verb, fields);
    if (line.isEmpty()) {
        qCWarning(lcProtocol, "\"%s\" for view %d not sent: too long or not text", verb, view);
        return false;
    }
    process_.write(line);
    return true;
}

void WebKitHost::awaitAnswer()
{
    // One clock for whatever is awaited: it starts again with every answer
    // and stops when nothing is awaited any more.
    if (gone_ || (ready_ && pending_.isEmpty()))
        replyTimer_.stop();
    else if (!replyTimer_.isActive())
        replyTimer_.start(replyTimeout);
}

void WebKitHost::onTimeout()
{
    if (gone_ || (ready_ && pending_.isEmpty()))
        return;
    // A host that does not answer is of no use to any window: the windows
    // waiting for it fail (or try the next host), and the next one starts a
    // new host.
    qCWarning(lcProtocol, "vexel-webkit did not answer in time; ending it");
    process_.kill();
    onGone();
}

void WebKitHost::read()
{
    const QByteArray data = process_.readAllStandardOutput();
    if (vexel_proto_reader_feed(&reader_, data.constData(), size_t(data.size())) != VEXEL_PROTO_OK)
        qFatal("out of memory");
    const char *line = nullptr;
    size_t length = 0;
    for (int got; (got = vexel_proto_reader_next(&reader_, &line, &length)) != 0;) {
        if (got == 1)
            lines_.append(QByteArray(line, qsizetype(length)));
        else
            qCWarning(lcProtocol, "line from vexel-webkit dropped: %s", vexel_proto_error_text(got));
    }
    // Handled from the event loop, not inside this signal: a handler may
    // run a dialog of the page, and QProcess does not signal new output to
    // a slot that is still running.
    if (!linesQueued_ && !lines_.isEmpty()) {
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
    // One line at a time, taken off the queue first: a handler may run a
    // nested event loop (a page's dialog) that handles the lines after it.
    while (!lines_.isEmpty() && !gone_) {
        const QByteArray line = lines_.takeFirst();
        WebKitMessage message;
        const int error = webkitprotocol::decode(line, &message);
        if (error != VEXEL_PROTO_OK) {
            qCWarning(lcProtocol, "line from vexel-webkit dropped: %s", vexel_proto_error_text(error));
            // Not even its first line makes sense: whatever it is, it is not
            // this frame's engine host.
            if (!ready_) {
                process_.kill();
                onGone();
            }
            continue;
        }
        dispatch(message);
    }
}

void WebKitHost::dispatch(const WebKitMessage &message)
{
    // Downloads are followed whether their window is still there or not.
    webkitdownloads::report(this, message.verb, message.fields);
    if (message.view == 0) {
        if (message.verb == VEXEL_VERB_READY)
            onReady(message.fields);
        else
            emit hostMessage(message.verb, message.fields);
        return;
    }
    if (message.verb == VEXEL_VERB_PLUG || message.verb == VEXEL_VERB_ERROR) {
        onViewAnswer(message);
        return;
    }
    if (WebKitView *owner = views_.value(int(message.view)))
        owner->hostEvent(message.verb, message.fields);
}

void WebKitHost::onReady(const QList<QByteArray> &fields)
{
    if (ready_)
        return;
    if (fields.value(0) != VEXEL_PROTO_VERSION) {
        // Another build's host would misread what this frame says: the
        // engine is not there for this frame.
        qCWarning(lcProtocol, "vexel-webkit speaks protocol \"%s\", not \"%s\"; not used",
                  fields.value(0).constData(), VEXEL_PROTO_VERSION);
        process_.kill();
        onGone();
        return;
    }
    ready_ = true;
    replyTimer_.stop();
    awaitAnswer();
}

void WebKitHost::onViewAnswer(const WebKitMessage &message)
{
    const int view = int(message.view);
    if (!pending_.contains(view))
        return;
    WebKitView *owner = pending_.take(view);
    replyTimer_.stop();
    awaitAnswer();
    bool ok = false;
    const quint32 plug = message.verb == VEXEL_VERB_PLUG ? message.fields.value(0).toUInt(&ok) : 0;
    if (!ok || plug == 0) {
        send(view, VEXEL_VERB_RELEASE);
        owner->viewFailed(engines::activationFailedMessage(), false);
        return;
    }
    views_.insert(view, owner);
    owner->viewArrived(plug);
}

void WebKitHost::onGone()
{
    if (gone_)
        return;
    // What it said before it went still counts.
    read();
    linesQueued_ = false;
    processLines();
    gone_ = true;
    replyTimer_.stop();
    if (current == this)
        current = nullptr;
    webkitdownloads::hostGone(this);
    // A host that never got ready is not there for this frame; one that
    // was may have just crashed, and its windows may try the next host.
    const QString message = ready_ ? engines::activationFailedMessage() : engines::classNotRegisteredMessage();
    // One at a time, taken off first: an owner told may make others go,
    // which release their views (and so leave these lists) as they do.
    while (!views_.isEmpty())
        views_.take(views_.constBegin().key())->hostGone();
    while (!pending_.isEmpty())
        pending_.take(pending_.constBegin().key())->viewFailed(message, ready_);
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
