// SPDX-License-Identifier: GPL-3.0-or-later
// Loads that fail: our error page covers the engine's, which speaks English
// and offers nothing.

#include "webenginecontrol.h"

#include <QLabel>
#include <QWebEngineLoadingInfo>
#include <QWebEngineView>

namespace {

// Chromium's network error codes (net_error_list.h) as the page names them.
ErrorPage::Kind kindOfError(int code)
{
    switch (code) {
    case -105:  // NAME_NOT_RESOLVED
    case -137:  // NAME_RESOLUTION_FAILED
        return ErrorPage::Kind::NameNotResolved;
    case -102:  // CONNECTION_REFUSED
        return ErrorPage::Kind::Refused;
    case -100:  // CONNECTION_CLOSED
    case -101:  // CONNECTION_RESET
    case -103:  // CONNECTION_ABORTED
    case -324:  // EMPTY_RESPONSE
        return ErrorPage::Kind::Reset;
    case -7:    // TIMED_OUT
    case -118:  // CONNECTION_TIMED_OUT
        return ErrorPage::Kind::TimedOut;
    case -106:  // INTERNET_DISCONNECTED
    case -109:  // ADDRESS_UNREACHABLE
        return ErrorPage::Kind::Offline;
    case -20:  // BLOCKED_BY_CLIENT: our filters
        return ErrorPage::Kind::Blocked;
    case -6:  // FILE_NOT_FOUND
        return ErrorPage::Kind::FileNotFound;
    default:
        return code <= -200 && code > -300 ? ErrorPage::Kind::Certificate : ErrorPage::Kind::Other;
    }
}

}  // namespace

bool WebEngineControl::showsErrorPage() const
{
    return !errorPage_->isHidden();
}

void WebEngineControl::showErrorPage(bool shown)
{
    errorPage_->setVisible(shown);
    view_->setVisible(!shown && crashNotice_->isHidden());
}

void WebEngineControl::loadingChanged(const QWebEngineLoadingInfo &info)
{
    if (info.status() == QWebEngineLoadingInfo::LoadStartedStatus) {
        if (!info.isErrorPage())
            showErrorPage(false);
        return;
    }
    // A stopped load (ABORTED) shows no page; a server's own answer, an
    // error status among them, is the server's page.
    if (info.status() != QWebEngineLoadingInfo::LoadFailedStatus || info.errorCode() == -3 ||
        info.errorDomain() == QWebEngineLoadingInfo::HttpStatusCodeDomain ||
        info.errorDomain() == QWebEngineLoadingInfo::NoErrorDomain)
        return;
    const QString address = info.url().toString();
    const QString detail = QStringLiteral("%1 (%2)").arg(info.errorString()).arg(info.errorCode());
    const ErrorPage::Kind kind = kindOfError(info.errorCode());
    if (kind == ErrorPage::Kind::Certificate || info.errorDomain() == QWebEngineLoadingInfo::CertificateErrorDomain) {
        // The certificate of this host, when the engine asked about one.
        const bool ours = refused_.url.host() == info.url().host() && refused_.url.port() == info.url().port();
        const Refused refused = ours ? refused_ : Refused();
        errorPage_->showCertificate(address, ours ? refused.problems : ErrorPage::Problems(ErrorPage::Unverified),
                                    refused.certificate, ours ? refused.description : detail, refused.overridable);
    } else {
        errorPage_->showFailure(kind, address, detail);
    }
    refused_ = Refused();
    showErrorPage(true);
    emit TitleChange(address);
}
