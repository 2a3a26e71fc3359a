// SPDX-License-Identifier: GPL-3.0-or-later
#include "tlsserver.h"

#include <QFile>
#include <QProcess>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QTcpSocket>

bool SelfSignedServer::start()
{
    const QString key = keys_.path() + "/key.pem", cert = keys_.path() + "/cert.pem";
    QProcess openssl;
    openssl.start("openssl", {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", cert,
                              "-days", "2", "-subj", "/CN=127.0.0.1"});
    if (!openssl.waitForFinished(60000) || openssl.exitCode() != 0)
        return false;
    QFile certFile(cert), keyFile(key);
    if (!certFile.open(QIODevice::ReadOnly) || !keyFile.open(QIODevice::ReadOnly))
        return false;
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setLocalCertificate(QSslCertificate(&certFile));
    tls.setPrivateKey(QSslKey(&keyFile, QSsl::Rsa));
    server_.setSslConfiguration(tls);
    if (!server_.listen(QHostAddress::LocalHost, 0))
        return false;
    connect(&server_, &QTcpServer::pendingConnectionAvailable, this, [this] {
        while (QTcpSocket *s = server_.nextPendingConnection()) {
            connect(s, &QTcpSocket::readyRead, s, [this, s] {
                s->readAll();
                ++served_;
                s->write("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: 21\r\n\r\n<title>Secret</title>");
                s->disconnectFromHost();
            });
        }
    });
    return true;
}

QString SelfSignedServer::url() const
{
    return QStringLiteral("https://127.0.0.1:%1/").arg(server_.serverPort());
}
