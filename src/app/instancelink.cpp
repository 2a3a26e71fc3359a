// SPDX-License-Identifier: GPL-3.0-or-later
#include "instancelink.h"

#include <QDataStream>
#include <QFileInfo>
#include <QtEndian>
#include <QGuiApplication>
#include <QLocalSocket>
#include <QRegularExpression>
#include <QStandardPaths>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// The message: a first line naming the format, then one address a line
// (addresses are fully encoded, so none holds a line break).
const QByteArray kMagic = QByteArrayLiteral("VXL1");
const QByteArray kPrivate = QByteArrayLiteral(" private");
// More than any command line can carry; a peer sending more is cut off.
const quint32 kMaxMessage = 4 * 1024 * 1024;
// The length before the message, as QDataStream frames a QByteArray.
const int kLengthBytes = 4;
const int kConnectMs = 2000;
// The running copy answers from its event loop; a page busy in the frame's
// process can hold it for a while.
const int kAnswerMs = 20000;

}  // namespace

// ":0" and ":0.0" are one display.
QString displayKey()
{
    QString display = qEnvironmentVariable("DISPLAY");
    if (display.isEmpty())
        display = qEnvironmentVariable("WAYLAND_DISPLAY");
    if (display.isEmpty())
        display = QGuiApplication::platformName();
    static const QRegularExpression screen(QStringLiteral("(:\\d+)\\.\\d+$"));
    display.replace(screen, QStringLiteral("\\1"));
    static const QRegularExpression unsafe(QStringLiteral("[^A-Za-z0-9._-]"));
    display.replace(unsafe, QStringLiteral("_"));
    return display;
}

namespace {

// Whether the connected peer runs as this user. The folder's permissions
// already keep others out; this holds even if they were loosened.
bool sameUser(QLocalSocket *socket)
{
    struct ucred cred {};
    socklen_t size = sizeof cred;
    if (getsockopt(int(socket->socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &cred, &size) != 0)
        return false;
    return cred.uid == geteuid();
}

}  // namespace

InstanceLink::InstanceLink(QObject *parent) : QObject(parent)
{
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&server_, &QLocalServer::newConnection, this, &InstanceLink::accept);
    checkTimer_.setInterval(CheckIntervalMs);
    connect(&checkTimer_, &QTimer::timeout, this, &InstanceLink::check);
}

InstanceLink::~InstanceLink()
{
    // The sockets go with the server, after this object's other members.
    for (QLocalSocket *socket : std::as_const(peers_))
        socket->disconnect(this);
}

QString InstanceLink::socketPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) + QStringLiteral("/vexel-") +
           displayKey() + QStringLiteral(".sock");
}

InstanceLink::Delivery InstanceLink::forward(const QStringList &addresses, bool privateWindows)
{
    QLocalSocket socket;
    socket.connectToServer(socketPath());
    if (!socket.waitForConnected(kConnectMs))
        return NoCopy;
    socket.write(encodeMessage(addresses, privateWindows));
    if (!socket.waitForBytesWritten(kAnswerMs))
        return NoAnswer;
    while (socket.bytesAvailable() < 1)
        if (!socket.waitForReadyRead(kAnswerMs))
            return NoAnswer;
    return socket.read(1) == "1" ? Delivered : NoAnswer;
}

bool InstanceLink::listen()
{
    const QString path = socketPath();
    if (QFileInfo::exists(path)) {
        // Qt would put its new socket in place of a live copy's; leave that
        // one alone and take over only a socket nobody answers on.
        QLocalSocket probe;
        probe.connectToServer(path);
        if (probe.waitForConnected(kConnectMs)) {
            checkTimer_.stop();  // that copy receives from now on
            return false;
        }
        QLocalServer::removeServer(path);
    }
    checkTimer_.start();
    return server_.listen(path);
}

void InstanceLink::check()
{
    if (server_.isListening() && QFileInfo::exists(server_.fullServerName()))
        return;
    // Qt closes (and removes) the socket when it cannot accept, e.g. out of
    // files; someone may have deleted it. Later copies would find no one.
    server_.close();
    listen();
}

QByteArray InstanceLink::encodeMessage(const QStringList &addresses, bool privateWindows)
{
    QByteArray framed;
    QDataStream out(&framed, QIODevice::WriteOnly);
    out << (kMagic + (privateWindows ? kPrivate : QByteArray()) + '\n' + addresses.join(QLatin1Char('\n')).toUtf8());
    return framed;
}

InstanceLink::ReadStatus InstanceLink::readMessage(const QByteArray &bytes, QStringList *addresses,
                                                   bool *privateWindows)
{
    if (bytes.size() < kLengthBytes)
        return Incomplete;
    const quint32 length = qFromBigEndian<quint32>(bytes.constData());
    if (length > kMaxMessage)  // a null array's 0xffffffff too
        return Invalid;
    if (bytes.size() - kLengthBytes < qsizetype(length))
        return Incomplete;
    QList<QByteArray> lines = bytes.mid(kLengthBytes, length).split('\n');
    if (lines.size() < 2)
        return Invalid;
    // Any other first line is a format this copy does not know: better
    // nothing opened than private addresses in normal windows.
    const QByteArray first = lines.takeFirst();
    if (first != kMagic && first != kMagic + kPrivate)
        return Invalid;
    if (privateWindows)
        *privateWindows = first != kMagic;
    addresses->clear();
    for (const QByteArray &line : lines)
        addresses->append(QString::fromUtf8(line));
    return Complete;
}

void InstanceLink::accept()
{
    while (QLocalSocket *socket = server_.nextPendingConnection()) {
        if (!sameUser(socket)) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        peers_.append(socket);
        if (peers_.size() > MaxConnections)
            drop(peers_.constFirst());
        connect(socket, &QLocalSocket::disconnected, this, [this, socket] { drop(socket); });
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { serve(socket); });
        // Whatever it has not sent by then, it never will.
        QTimer::singleShot(idleMs_, socket, [this, socket] { drop(socket); });
        // A copy sends at once: its message may be here already.
        serve(socket);
    }
}

void InstanceLink::serve(QLocalSocket *socket)
{
    if (!peers_.contains(socket))
        return;
    QStringList addresses;
    bool privateWindows = false;
    switch (readMessage(socket->peek(socket->bytesAvailable()), &addresses, &privateWindows)) {
    case Incomplete:
        return;  // more to come
    case Invalid:
        drop(socket);
        return;
    case Complete:
        break;
    }
    // Answered; the rest is the kernel's.
    peers_.removeOne(socket);
    socket->disconnect(this);
    socket->write("1");
    socket->flush();
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    socket->disconnectFromServer();
    emit addressesReceived(addresses, privateWindows);
}

// Also an answered connection still open when its time is up.
void InstanceLink::drop(QLocalSocket *socket)
{
    peers_.removeOne(socket);
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
}
