// SPDX-License-Identifier: GPL-3.0-or-later
#include "errorpage.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

namespace {

// Engine and server texts are shown as they are, never read as markup.
QLabel *plainLabel(QWidget *parent, const char *name)
{
    auto *label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    return label;
}

QString sentence(ErrorPage::Kind kind)
{
    switch (kind) {
    case ErrorPage::Kind::NameNotResolved:
        return QStringLiteral("このアドレスのサーバー名が見つかりませんでした。アドレスに入力の誤りがないか確認してください。");
    case ErrorPage::Kind::Refused:
        return QStringLiteral("サーバーが接続を拒否しました。サーバーが停止しているか、アドレスのポート番号が違う可能性があります。");
    case ErrorPage::Kind::Reset:
        return QStringLiteral("サーバーとの接続が途中で切断されました。");
    case ErrorPage::Kind::TimedOut:
        return QStringLiteral("サーバーから時間内に応答がありませんでした。サーバーが混み合っているか、ネットワークに問題がある可能性があります。");
    case ErrorPage::Kind::Offline:
        return QStringLiteral("ネットワークに接続できません。ケーブルや無線 LAN の接続を確認してください。");
    case ErrorPage::Kind::FileNotFound:
        return QStringLiteral("指定されたファイルはありません。移動または削除された可能性があります。");
    case ErrorPage::Kind::Certificate:
        return QStringLiteral("このサイトの証明書に問題があるため、接続を中止しました。第三者がこのサイトになりすまして、"
                              "送受信する情報を盗み見ようとしている可能性があります。");
    case ErrorPage::Kind::Blocked:
        return QStringLiteral("広告ブロックのフィルター リストが、このアドレスを広告、追跡、または危険なサイトとしてブロックしました。"
                              "このサイトを信頼する場合は、ページのメニューの [広告ブロック] で [このサイトでは無効] を選んでください。");
    case ErrorPage::Kind::Other:
        break;
    }
    return QStringLiteral("ページを読み込む途中でエラーが発生しました。");
}

QString dateText(const QDateTime &when)
{
    return when.isValid() ? when.toLocalTime().toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")) : QStringLiteral("不明");
}

}  // namespace

ErrorPage::ErrorPage(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("errorPage"));
    setAutoFillBackground(true);
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto *scroll = new QScrollArea(this);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    outer->addWidget(scroll);
    auto *content = new QWidget(scroll);
    scroll->setWidget(content);
    auto *column = new QVBoxLayout(content);
    column->setContentsMargins(32, 32, 32, 32);
    column->setSpacing(12);

    heading_ = plainLabel(content, "errorHeading");
    QFont big = heading_->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    big.setBold(true);
    heading_->setFont(big);
    sentence_ = plainLabel(content, "errorSentence");
    addressLabel_ = plainLabel(content, "errorAddress");
    addressLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    problems_ = plainLabel(content, "certificateProblems");
    certificateLabel_ = plainLabel(content, "certificateDetails");
    certificateLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    detail_ = plainLabel(content, "errorDetail");
    detail_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QLabel *hint = plainLabel(content, "errorHint");
    hint->setText(QStringLiteral("[再読み込み] を押すと、もう一度読み込みます。"));
    proceed_ = new QPushButton(QStringLiteral("危険性を理解したうえで接続する"), content);
    proceed_->setObjectName(QStringLiteral("proceedButton"));
    connect(proceed_, &QPushButton::clicked, this, &ErrorPage::proceedRequested);

    for (QWidget *w : {static_cast<QWidget *>(heading_), static_cast<QWidget *>(sentence_),
                       static_cast<QWidget *>(addressLabel_), static_cast<QWidget *>(problems_),
                       static_cast<QWidget *>(certificateLabel_), static_cast<QWidget *>(detail_),
                       static_cast<QWidget *>(hint)})
        column->addWidget(w);
    column->addWidget(proceed_, 0, Qt::AlignLeft);
    column->addStretch(1);
    hide();
}

void ErrorPage::fill(Kind kind, const QString &address, const QString &detail)
{
    kind_ = kind;
    address_ = address;
    heading_->setText(heading(kind));
    sentence_->setText(sentence(kind));
    addressLabel_->setText(QStringLiteral("アドレス: ") + address);
    detail_->setText(QStringLiteral("詳細: ") + detail);
    detail_->setVisible(!detail.isEmpty());
}

void ErrorPage::showFailure(Kind kind, const QString &address, const QString &detail)
{
    fill(kind, address, detail);
    certificate_ = QSslCertificate();
    problems_->hide();
    certificateLabel_->hide();
    proceed_->hide();
}

void ErrorPage::showCertificate(const QString &address, Problems problems, const QSslCertificate &certificate,
                                const QString &detail, bool canProceed)
{
    fill(Kind::Certificate, address, detail);
    certificate_ = certificate;
    problems_->setText(QStringLiteral("問題: ") + problemText(refined(problems, certificate)));
    problems_->show();
    if (certificate.isNull()) {
        certificateLabel_->setText(QStringLiteral("証明書: 受け取れませんでした"));
    } else {
        certificateLabel_->setText(QStringLiteral("発行先: %1\n発行元: %2\n有効期間: %3 から %4 まで\n"
                                                  "SHA-256 フィンガープリント:\n%5")
                                       .arg(certificate.subjectDisplayName(), certificate.issuerDisplayName(),
                                            dateText(certificate.effectiveDate()),
                                            dateText(certificate.expiryDate()), fingerprint(certificate)));
    }
    certificateLabel_->show();
    // Only with the certificate in hand: what is allowed is that one.
    proceed_->setVisible(canProceed && !certificate.isNull());
}

QString ErrorPage::heading(Kind kind)
{
    switch (kind) {
    case Kind::NameNotResolved:
        return QStringLiteral("サーバーが見つかりません");
    case Kind::Refused:
        return QStringLiteral("サーバーに接続できません");
    case Kind::Reset:
        return QStringLiteral("接続がリセットされました");
    case Kind::TimedOut:
        return QStringLiteral("接続がタイムアウトしました");
    case Kind::Offline:
        return QStringLiteral("インターネットに接続されていません");
    case Kind::FileNotFound:
        return QStringLiteral("ファイルが見つかりません");
    case Kind::Certificate:
        return QStringLiteral("この接続は安全ではありません");
    case Kind::Blocked:
        return QStringLiteral("このページはブロックされました");
    case Kind::Other:
        break;
    }
    return QStringLiteral("ページを表示できません");
}

QString ErrorPage::problemText(Problems problems)
{
    static const std::pair<Problem, const char *> texts[] = {
        {Expired, "証明書の有効期限が切れています"},
        {NotYetValid, "証明書はまだ有効になっていません"},
        {WrongName, "証明書がサイトの名前と一致しません"},
        {SelfSigned, "自己署名の証明書です (信頼できる発行元の署名がありません)"},
        {UnknownIssuer, "発行元を確認できない証明書です"},
        {Revoked, "証明書は失効しています"},
        {Insecure, "証明書の署名方式が安全ではありません"},
    };
    QStringList words;
    for (const auto &[problem, text] : texts)
        if (problems.testFlag(problem))
            words << QString::fromUtf8(text);
    return words.isEmpty() ? QStringLiteral("証明書を検証できません") : words.join(QStringLiteral("、"));
}

ErrorPage::Problems ErrorPage::refined(Problems problems, const QSslCertificate &certificate)
{
    if (certificate.isNull())
        return problems;
    if (problems.testFlag(UnknownIssuer) && certificate.isSelfSigned())
        problems = (problems & ~Problems(UnknownIssuer)) | SelfSigned;
    // An engine that says only "the dates do not fit" (both flags).
    if (problems.testFlag(Expired) && problems.testFlag(NotYetValid)) {
        problems &= ~Problems(Expired | NotYetValid);
        problems |= certificate.effectiveDate() > QDateTime::currentDateTimeUtc() ? NotYetValid : Expired;
    }
    return problems;
}

QString ErrorPage::fingerprint(const QSslCertificate &certificate)
{
    return QString::fromLatin1(certificate.digest(QCryptographicHash::Sha256).toHex(':').toUpper());
}
