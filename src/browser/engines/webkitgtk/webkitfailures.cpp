// SPDX-License-Identifier: GPL-3.0-or-later
// What the window shows when a Gecko page fails: a load that failed, a
// refused certificate, a page that hangs or whose process has gone.

#include "webkitcontrol.h"

#include "browser/errorpage.h"
#include "browser/pagedialogs.h"
#include "protocol.h"
#include "webkithost.h"

#include <QLabel>
#include <QSslCertificate>
#include <QStackedLayout>
#include <QUrl>

namespace {

const QString reloadHint = QStringLiteral("\n再読み込みすると、もう一度表示します。");

// Why the host refused a certificate, in the user's words.
QString certificateProblems(const QByteArray &words)
{
    static const QHash<QByteArray, QString> texts = {
        {VEXEL_CERT_UNKNOWN_CA, QStringLiteral("発行元を確認できない証明書です")},
        {VEXEL_CERT_BAD_IDENTITY, QStringLiteral("証明書がサイトの名前と一致しません")},
        {VEXEL_CERT_NOT_ACTIVATED, QStringLiteral("証明書はまだ有効になっていません")},
        {VEXEL_CERT_EXPIRED, QStringLiteral("証明書の有効期限が切れています")},
        {VEXEL_CERT_REVOKED, QStringLiteral("証明書は失効しています")},
        {VEXEL_CERT_INSECURE, QStringLiteral("証明書の署名方式が安全ではありません")},
    };
    QStringList problems;
    for (const QByteArray &word : words.split(VEXEL_LIST_SEPARATOR[0]))
        if (const QString text = texts.value(word); !text.isEmpty() && !problems.contains(text))
            problems << text;
    return problems.isEmpty() ? QStringLiteral("証明書を検証できません") : problems.join(QStringLiteral("、"));
}

}  // namespace

bool WebKitControl::showsCrash() const
{
    return stack_->currentWidget() == crashPage_;
}

void WebKitControl::showCrash(const QString &why)
{
    crashPage_->setText(why + reloadHint);
    stack_->setCurrentWidget(crashPage_);
    failPrints();
    // A page that has gone no longer hangs.
    if (hung_) {
        hung_ = false;
        emit PageResponsiveChange(true);
    }
    // A load cut short ends here; the window shows no stale link.
    if (progress_ < 100) {
        progress_ = 100;
        emit ProgressChange(100, 100);
    }
    if (!status_.isEmpty()) {
        status_.clear();
        emit StatusTextChange(QString());
    }
    // Also enables Reload, which brings the page back.
    emit CommandStateChange(NavigationCommand::Back, canGoBack_);
    emit CommandStateChange(NavigationCommand::Forward, canGoForward_);
}

void WebKitControl::onCrashed(const QList<QByteArray> &fields)
{
    if (state_ != State::Live)
        return;
    state_ = State::PageGone;
    const QByteArray reason = fields.value(0);
    showCrash(reason == VEXEL_CRASH_MEMORY ? QStringLiteral("メモリを使いすぎたため、ページを表示していたプロセスが終了しました。")
                                 : QStringLiteral("ページを表示していたプロセスが異常終了しました。"));
}

void WebKitControl::onResponsive(const QList<QByteArray> &fields)
{
    const bool hung = fields.value(0) == VEXEL_NO;
    if (state_ == State::Live && hung != hung_) {
        hung_ = hung;
        emit PageResponsiveChange(!hung);
    }
}

void WebKitControl::onCertificate(const QList<QByteArray> &fields)
{
    emit StatusMessage(pagedialogs::certificateRefusedText(certificateProblems(fields.value(0))));
}

bool WebKitControl::showsErrorPage() const
{
    return stack_->currentWidget() == errorPage_;
}

void WebKitControl::hideErrorPage()
{
    if (showsErrorPage())
        stack_->setCurrentWidget(container_ ? container_ : blankPage_);
}

void WebKitControl::onFailed(const QList<QByteArray> &fields)
{
    static const QHash<QByteArray, ErrorPage::Kind> kinds = {
        {VEXEL_FAILED_NAME, ErrorPage::Kind::NameNotResolved},
        {VEXEL_FAILED_REFUSED, ErrorPage::Kind::Refused},
        {VEXEL_FAILED_RESET, ErrorPage::Kind::Reset},
        {VEXEL_FAILED_TIMEOUT, ErrorPage::Kind::TimedOut},
        {VEXEL_FAILED_OFFLINE, ErrorPage::Kind::Offline},
        {VEXEL_FAILED_FILE, ErrorPage::Kind::FileNotFound},
        {VEXEL_FAILED_BLOCKED, ErrorPage::Kind::Blocked},
    };
    static const QHash<QByteArray, ErrorPage::Problem> problems = {
        {VEXEL_CERT_UNKNOWN_CA, ErrorPage::UnknownIssuer},
        {VEXEL_CERT_BAD_IDENTITY, ErrorPage::WrongName},
        {VEXEL_CERT_NOT_ACTIVATED, ErrorPage::NotYetValid},
        {VEXEL_CERT_EXPIRED, ErrorPage::Expired},
        {VEXEL_CERT_REVOKED, ErrorPage::Revoked},
        {VEXEL_CERT_INSECURE, ErrorPage::Insecure},
    };
    if (state_ != State::Live)
        return;
    const QString address = readable(textField(fields, 1));
    const QString message = textField(fields, 2);
    if (fields.value(0) == VEXEL_FAILED_TLS) {
        ErrorPage::Problems found;
        for (const QByteArray &word : fields.value(3).split(VEXEL_LIST_SEPARATOR[0]))
            found |= problems.value(word, ErrorPage::Unverified);
        errorPage_->showCertificate(address, found, QSslCertificate(fields.value(4), QSsl::Pem), message);
    } else {
        errorPage_->showFailure(kinds.value(fields.value(0), ErrorPage::Kind::Other), address, message);
    }
    stack_->setCurrentWidget(errorPage_);
    emit TitleChange(address);
}

void WebKitControl::proceedPastCertificate()
{
    const QSslCertificate certificate = errorPage_->certificate();
    // As WebKit names the host: an IDN host in its ASCII form.
    const QString host = QUrl(errorPage_->address()).host(QUrl::FullyEncoded);
    if (certificate.isNull() || host.isEmpty() || state_ != State::Live)
        return;
    send(VEXEL_VERB_ALLOWCERT, {host.toUtf8(), certificate.toPem()});
    Refresh();
}
