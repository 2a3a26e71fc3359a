// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// An HTTPS server on loopback with a freshly made self-signed certificate:
// what a browser must refuse rather than accept silently.

#include <QSslServer>
#include <QString>
#include <QTemporaryDir>

class SelfSignedServer : public QObject {
    Q_OBJECT
public:
    // Makes the certificate (with the openssl command) and listens; false
    // when either fails.
    bool start();
    QString url() const;
    int served() const { return served_; }  // requests that got a page

private:
    QTemporaryDir keys_;
    QSslServer server_;
    int served_ = 0;
};
