#pragma once
// One running copy per user and display receives the addresses that later
// copies are started with, over a local socket in the user's runtime
// folder (owner-only), so no other user can reach it.

#include <QLocalServer>
#include <QObject>
#include <QStringList>

// This user's display as a file-name part: one running copy per user and
// display, and what it keeps per display.
QString displayKey();

class InstanceLink : public QObject {
    Q_OBJECT
public:
    explicit InstanceLink(QObject *parent = nullptr);
    ~InstanceLink() override;

    // The socket of this user and display.
    static QString socketPath();

    enum Delivery { NoCopy, Delivered, NoAnswer };
    // Hands the addresses to a running copy. NoCopy: none listens (none
    // runs, or one crashed and left its socket); NoAnswer: one took the
    // connection but never confirmed.
    static Delivery forward(const QStringList &addresses);

    // Starts listening, unless a live copy already does. A socket left by a
    // copy that crashed is replaced.
    bool listen();
    bool isListening() const { return server_.isListening(); }

signals:
    void addressesReceived(const QStringList &addresses);

private:
    void accept();
    QLocalServer server_;
};
