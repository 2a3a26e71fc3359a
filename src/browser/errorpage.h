// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a window shows instead of the engine's own page when a load fails:
// what went wrong in the user's words, the address asked for, the engine's
// own words as a detail, and for a certificate the certificate itself and
// the one way past it. A widget of the frame laid over the engine's view,
// so nothing in a page can reach it. The same in both engines.

#include <QFlags>
#include <QSslCertificate>
#include <QWidget>

class QLabel;
class QPushButton;

class ErrorPage : public QWidget {
    Q_OBJECT
public:
    enum class Kind { NameNotResolved, Refused, Reset, TimedOut, Offline, FileNotFound, Certificate, Blocked, Other };
    enum Problem {
        Expired = 0x1,
        NotYetValid = 0x2,
        WrongName = 0x4,
        UnknownIssuer = 0x8,
        SelfSigned = 0x10,
        Revoked = 0x20,
        Insecure = 0x40,
        Unverified = 0x80,  // a fault the engine names in no other way
    };
    Q_DECLARE_FLAGS(Problems, Problem)

    explicit ErrorPage(QWidget *parent);

    // A load that failed before any page came.
    void showFailure(Kind kind, const QString &address, const QString &detail);
    // A certificate refused; canProceed offers the button (not for a site
    // that demands a checked certificate).
    void showCertificate(const QString &address, Problems problems, const QSslCertificate &certificate,
                         const QString &detail, bool canProceed = true);

    Kind kind() const { return kind_; }
    QString address() const { return address_; }
    QSslCertificate certificate() const { return certificate_; }

    static QString heading(Kind kind);
    static QString problemText(Problems problems);
    // What the certificate shows of itself beside the engine's words: an
    // unknown issuer that is the certificate itself, which of its dates
    // has passed.
    static Problems refined(Problems problems, const QSslCertificate &certificate);
    // SHA-256 as users compare it: upper-case hex pairs with colons.
    static QString fingerprint(const QSslCertificate &certificate);

signals:
    // The user accepts the risk: allow this certificate for this host, for
    // this run, and load the address again.
    void proceedRequested();

private:
    void fill(Kind kind, const QString &address, const QString &detail);

    Kind kind_ = Kind::Other;
    QString address_;
    QSslCertificate certificate_;
    QLabel *heading_;
    QLabel *sentence_;
    QLabel *addressLabel_;
    QLabel *problems_;
    QLabel *certificateLabel_;
    QLabel *detail_;
    QPushButton *proceed_;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(ErrorPage::Problems)
