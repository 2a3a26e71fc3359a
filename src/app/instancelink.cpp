#include "instancelink.h"

#include <QDataStream>
#include <QFileInfo>
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
// More than any command line can carry; a peer sending more is cut off.
const qint64 kMaxMessage = 4 * 1024 * 1024;
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
}

InstanceLink::~InstanceLink() = default;

QString InstanceLink::socketPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) + QStringLiteral("/vexel-") +
           displayKey() + QStringLiteral(".sock");
}

InstanceLink::Delivery InstanceLink::forward(const QStringList &addresses)
{
    QLocalSocket socket;
    socket.connectToServer(socketPath());
    if (!socket.waitForConnected(kConnectMs))
        return NoCopy;
    const QByteArray message = kMagic + '\n' + addresses.join(QLatin1Char('\n')).toUtf8();
    QByteArray framed;
    QDataStream out(&framed, QIODevice::WriteOnly);
    out << message;
    socket.write(framed);
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
        if (probe.waitForConnected(kConnectMs))
            return false;
        QLocalServer::removeServer(path);
    }
    return server_.listen(path);
}

void InstanceLink::accept()
{
    while (QLocalSocket *socket = server_.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        if (!sameUser(socket)) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (socket->bytesAvailable() > kMaxMessage + 4) {
                socket->abort();
                return;
            }
            QDataStream in(socket);
            in.startTransaction();
            QByteArray message;
            in >> message;
            if (!in.commitTransaction())
                return;  // more to come
            QList<QByteArray> lines = message.split('\n');
            if (lines.size() < 2 || lines.takeFirst() != kMagic) {
                socket->abort();
                return;
            }
            QStringList addresses;
            for (const QByteArray &line : lines)
                addresses.append(QString::fromUtf8(line));
            socket->write("1");
            socket->flush();
            socket->disconnectFromServer();
            emit addressesReceived(addresses);
        });
    }
}
