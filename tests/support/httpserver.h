// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A small HTTP/1.1 server on loopback for tests that need a server's
// answers: slow or endless responses, authentication, downloads.

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QTcpServer>
#include <QUrl>
#include <functional>

class QTcpSocket;

struct HttpRequest {
    QByteArray method;
    QByteArray path;
    QHash<QByteArray, QByteArray> headers;  // lower-case names
};

struct HttpResponse {
    int status = 200;
    QByteArray reason = "OK";
    QList<std::pair<QByteArray, QByteArray>> headers;
    QByteArray body;
    bool endless = false;  // send the head and part of the body, then keep the connection open
};

class HttpServer : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<HttpResponse(const HttpRequest &)>;

    HttpServer();
    void route(const QByteArray &path, Handler handler);
    QUrl url(const QString &path) const;
    int requestCount(const QByteArray &path) const { return counts_.value(path); }
    // Cuts every open connection, as a failing server or network would.
    void dropConnections();

signals:
    void requested(const QByteArray &path);

private:
    void serve(QTcpSocket *socket);

    QTcpServer server_;
    QHash<QByteArray, Handler> routes_;
    QHash<QByteArray, int> counts_;
};
