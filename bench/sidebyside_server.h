// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The loopback server every contestant loads its pages from. Each page is
// asked for as /page/<token> and holds one image, /image/<token>.png; the
// image's request reaching us is the moment the page counts as loaded.

#include <QByteArray>
#include <QHostAddress>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>
#include <functional>

class PageServer {
public:
    std::function<void(const QByteArray &token)> onImageRequested;

    bool listen()
    {
        if (!server_.listen(QHostAddress::LocalHost))
            return false;
        QObject::connect(&server_, &QTcpServer::newConnection, &server_, [this] {
            while (QTcpSocket *socket = server_.nextPendingConnection()) {
                QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { serve(socket); });
            }
        });
        return true;
    }

    QString pageUrl(const QByteArray &token) const
    {
        return QStringLiteral("http://127.0.0.1:%1/page/%2").arg(server_.serverPort()).arg(QString::fromLatin1(token));
    }

private:
    void serve(QTcpSocket *socket)
    {
        if (!socket->peek(socket->bytesAvailable()).contains("\r\n\r\n"))
            return;
        const QByteArray request = socket->readAll();
        const QByteArray path = request.left(request.indexOf('\r')).split(' ').value(1);
        if (path.startsWith("/image/")) {
            // A 1x1 PNG.
            static const QByteArray png = QByteArray::fromBase64(
                "iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mNk+M9QDwADhgGAWjR9awAAAABJRU5ErkJggg==");
            reply(socket, "200 OK", "image/png", png);
            if (onImageRequested)
                onImageRequested(path.mid(7).chopped(path.endsWith(".png") ? 4 : 0));
        } else if (path.startsWith("/page/")) {
            const QByteArray token = path.mid(6);
            reply(socket, "200 OK", "text/html; charset=utf-8",
                  "<!DOCTYPE html><html><head><title>Page " + token +
                      "</title></head><body><h1>A local page</h1><p>Some text to lay out.</p>"
                      "<img src=\"/image/" + token + ".png\" width=\"16\" height=\"16\" alt=\"\"></body></html>");
        } else {
            reply(socket, "404 Not Found", "text/plain", "not here");
        }
    }

    static void reply(QTcpSocket *socket, const QByteArray &status, const QByteArray &type, const QByteArray &body)
    {
        socket->write("HTTP/1.1 " + status + "\r\nContent-Type: " + type + "\r\nCache-Control: no-store\r\n"
                      "Connection: close\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body);
        socket->disconnectFromHost();
    }

    QTcpServer server_;
};
