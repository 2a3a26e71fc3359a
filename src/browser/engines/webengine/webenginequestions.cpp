// SPDX-License-Identifier: GPL-3.0-or-later
// What the page's loads ask of the user: credentials for a site or a proxy,
// and whether a refused certificate may be accepted after all.

#include "webenginecontrol.h"

#include "browser/pagedialogs.h"

#include <QAuthenticator>
#include <QCryptographicHash>
#include <QSet>
#include <QWebEngineCertificateError>

namespace {

// Certificates the user accepted, each for one host, until the program ends;
// nothing of them is written anywhere.
QSet<std::pair<QString, QByteArray>> &allowedCertificates()
{
    static QSet<std::pair<QString, QByteArray>> allowed;
    return allowed;
}

std::pair<QString, QByteArray> allowanceOf(const QUrl &url, const QSslCertificate &certificate)
{
    return {url.host().toLower(), certificate.digest(QCryptographicHash::Sha256)};
}

ErrorPage::Problems problemsOf(QWebEngineCertificateError::Type type)
{
    switch (type) {
    case QWebEngineCertificateError::CertificateCommonNameInvalid:
    case QWebEngineCertificateError::CertificateNonUniqueName:
    case QWebEngineCertificateError::CertificateNameConstraintViolation:
        return ErrorPage::WrongName;
    case QWebEngineCertificateError::CertificateDateInvalid:
        // Which of the two the certificate's dates tell.
        return ErrorPage::Expired | ErrorPage::NotYetValid;
    case QWebEngineCertificateError::CertificateAuthorityInvalid:
    case QWebEngineCertificateError::CertificateSymantecLegacy:
    case QWebEngineCertificateError::CertificateKnownInterceptionBlocked:
        return ErrorPage::UnknownIssuer;
    case QWebEngineCertificateError::CertificateRevoked:
        return ErrorPage::Revoked;
    case QWebEngineCertificateError::CertificateWeakSignatureAlgorithm:
    case QWebEngineCertificateError::CertificateWeakKey:
    case QWebEngineCertificateError::SslObsoleteVersion:
        return ErrorPage::Insecure;
    default:
        return ErrorPage::Unverified;
    }
}

}  // namespace

void WebEngineControl::askCredentials(const QString &who, QAuthenticator *authenticator)
{
    QString user, password;
    if (!pagedialogs::askCredentials(this, who, authenticator->realm(), &user, &password)) {
        // A null authenticator cancels: the page shows the server's answer.
        *authenticator = QAuthenticator();
        return;
    }
    authenticator->setUser(user);
    authenticator->setPassword(password);
}

void WebEngineControl::refuseCertificate(const QWebEngineCertificateError &error)
{
    QWebEngineCertificateError decision = error;
    const QSslCertificate certificate = error.certificateChain().value(0);
    if (!certificate.isNull() && allowedCertificates().contains(allowanceOf(error.url(), certificate))) {
        decision.acceptCertificate();
        return;
    }
    // Refused: the load fails, and its page shows the certificate.
    decision.rejectCertificate();
    refused_ = {error.url(), certificate, problemsOf(error.type()), error.isOverridable(), error.description()};
    emit StatusMessage(pagedialogs::certificateRefusedText(error.description()));
}

void WebEngineControl::proceedPastCertificate()
{
    const QSslCertificate certificate = errorPage_->certificate();
    if (certificate.isNull())
        return;
    allowedCertificates().insert(allowanceOf(QUrl(errorPage_->address()), certificate));
    page_->triggerAction(QWebEnginePage::Reload);
}
