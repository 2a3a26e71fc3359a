// SPDX-License-Identifier: GPL-3.0-or-later
#include "httpserver.h"

#include <QTcpSocket>

HttpServer::HttpServer()
{
    if (!server_.listen(QHostAddress::LocalHost, 0))
        qFatal("cannot listen on loopback");
    connect(&server_, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = server_.nextPendingConnection()) {
            socket->setParent(this);
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { serve(socket); });
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
}

void HttpServer::route(const QByteArray &path, Handler handler)
{
    routes_.insert(path, std::move(handler));
}

QUrl HttpServer::url(const QString &path) const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(server_.serverPort()).arg(path));
}

void HttpServer::serve(QTcpSocket *socket)
{
    QByteArray buffer = socket->property("buffer").toByteArray() + socket->readAll();
    const qsizetype end = buffer.indexOf("\r\n\r\n");
    if (end < 0) {
        socket->setProperty("buffer", buffer);
        return;
    }
    socket->setProperty("buffer", buffer.mid(end + 4));
    const QList<QByteArray> lines = buffer.left(end).split('\n');
    HttpRequest request;
    const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
    request.method = first.value(0);
    request.path = first.value(1);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        if (colon > 0)
            request.headers.insert(lines[i].left(colon).trimmed().toLower(), lines[i].mid(colon + 1).trimmed());
    }
    const QByteArray path = request.path.split('?').value(0);
    counts_[path] += 1;
    emit requested(path);
    HttpResponse response;
    if (routes_.contains(path))
        response = routes_.value(path)(request);
    else
        response = {404, "Not Found", {{"Content-Type", "text/html"}}, "<title>404</title>not found", false};

    QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + ' ' + response.reason + "\r\n";
    bool typed = false, sized = false;
    for (const auto &[name, value] : response.headers) {
        head += name + ": " + value + "\r\n";
        typed = typed || name.toLower() == "content-type";
        sized = sized || name.toLower() == "content-length";
    }
    if (!typed)
        head += "Content-Type: text/html; charset=utf-8\r\n";
    if (response.endless) {
        head += "Cache-Control: no-store\r\n\r\n";
        socket->write(head + response.body);
        return;
    }
    if (!sized)
        head += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n";
    head += "Connection: close\r\n\r\n";
    socket->write(head + response.body);
    socket->disconnectFromHost();
}

void HttpServer::dropConnections()
{
    for (QTcpSocket *socket : findChildren<QTcpSocket *>())
        socket->abort();
}
