// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One running copy per user and display receives the addresses that later
// copies are started with, over a local socket in the user's runtime
// folder (owner-only), so no other user can reach it.

#include <QByteArray>
#include <QList>
#include <QLocalServer>
#include <QObject>
#include <QStringList>
#include <QTimer>

class QLocalSocket;

// This user's display as a file-name part: one running copy per user and
// display, and what it keeps per display.
QString displayKey();

class InstanceLink : public QObject {
    Q_OBJECT
public:
    // A connection that has not sent its whole message by then is dropped:
    // idle ones must not pile up until the process runs out of files.
    static constexpr int IdleTimeoutMs = 5000;
    // Connections served at once; one more pushes out the oldest, so a new
    // copy's message always gets a hearing.
    static constexpr int MaxConnections = 16;
    // How often the socket is checked to be still there and listening.
    static constexpr int CheckIntervalMs = 3000;

    explicit InstanceLink(QObject *parent = nullptr);
    ~InstanceLink() override;

    // The socket of this user and display.
    static QString socketPath();

    enum Delivery { NoCopy, Delivered, NoAnswer };
    // Hands the addresses to a running copy. NoCopy: none listens (none
    // runs, or one crashed and left its socket); NoAnswer: one took the
    // connection but never confirmed.
    static Delivery forward(const QStringList &addresses, bool privateWindows = false);

    // Starts listening, unless a live copy already does. A socket left by a
    // copy that crashed is replaced; one that goes while this copy runs
    // (deleted, or closed by Qt after an error) is made again.
    bool listen();
    bool isListening() const { return server_.isListening(); }
    // Connections being served now.
    int connectionCount() const { return int(peers_.size()); }
    void setIdleTimeout(int ms) { idleMs_ = ms; }

    // The bytes a later copy sends: a length-prefixed message whose first
    // line names the format (and "private" after it for private windows),
    // then one address a line.
    static QByteArray encodeMessage(const QStringList &addresses, bool privateWindows = false);
    enum ReadStatus { Incomplete, Complete, Invalid };
    // Reads a message from the start of bytes into addresses. Incomplete:
    // more bytes may still make one; Invalid: they never will.
    static ReadStatus readMessage(const QByteArray &bytes, QStringList *addresses, bool *privateWindows = nullptr);

signals:
    void addressesReceived(const QStringList &addresses, bool privateWindows);

private:
    void accept();
    void serve(QLocalSocket *socket);
    void drop(QLocalSocket *socket);
    void check();
    QLocalServer server_;
    QList<QLocalSocket *> peers_;  // oldest first
    QTimer checkTimer_;
    int idleMs_ = IdleTimeoutMs;
};
