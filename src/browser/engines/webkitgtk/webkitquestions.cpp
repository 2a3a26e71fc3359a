// SPDX-License-Identifier: GPL-3.0-or-later
// What a Gecko page asks the user (its dialogs, credentials, where to save a
// download) and what it reports of downloads. The host waits for each
// answer; the answer goes to the host and view that asked.

#include "webkitcontrol.h"

#include "browser/pagedialogs.h"
#include "protocol.h"
#include "webkithost.h"
#include "webkitdownloads.h"

#include <QFileInfo>
#include <QPointer>

namespace {

QString downloadFailure(const QByteArray &reason)
{
    if (reason == VEXEL_DOWNLOAD_NETWORK)
        return QStringLiteral("ネットワークエラー");
    if (reason == VEXEL_DOWNLOAD_DESTINATION)
        return QStringLiteral("保存先に書き込めません");
    return QStringLiteral("不明なエラー");
}

}  // namespace

void WebKitControl::ask(const char *verb, const std::function<QList<QByteArray>()> &dialog)
{
    QPointer<WebKitControl> self(this);
    const QPointer<WebKitHost> asker = host_;
    const int view = view_;
    ++asking_;
    const QList<QByteArray> answer = dialog();
    if (!self)
        return;
    // To the host and view that asked, not to one that has replaced them.
    if (host_ && host_ == asker && view_ == view)
        send(verb, answer);
    if (--asking_ == 0 && closeWaiting_) {
        closeWaiting_ = false;
        emit CloseRequested();
    }
}

void WebKitControl::onDialog(const QList<QByteArray> &fields)
{
    const QByteArray number = fields.value(0);
    const QByteArray type = fields.value(1);
    const QString message = textField(fields, 2);
    const QString proposed = textField(fields, 3);
    ask(VEXEL_VERB_ANSWER, [&] {
        bool ok = true;
        QString text;
        if (type == VEXEL_DIALOG_ALERT)
            pagedialogs::alert(this, message);
        else if (type == VEXEL_DIALOG_CONFIRM)
            ok = pagedialogs::confirm(this, message);
        else if (type == VEXEL_DIALOG_PROMPT)
            ok = pagedialogs::prompt(this, message, proposed, &text);
        else if (type == VEXEL_DIALOG_LEAVE)
            ok = pagedialogs::confirmLeaving(this);
        else
            ok = false;
        return QList<QByteArray>{number, yesNo(ok), text.toUtf8()};
    });
}

void WebKitControl::onAuth(const QList<QByteArray> &fields)
{
    const QByteArray number = fields.value(0);
    const QString host = textField(fields, 2);
    const QString who = fields.value(1) == VEXEL_AUTH_PROXY ? QStringLiteral("プロキシ %1").arg(host) : host;
    const QString realm = textField(fields, 3);
    ask(VEXEL_VERB_CREDENTIALS, [&] {
        QString user, password;
        // Cancelled, the page shows what the server answers without them.
        if (!pagedialogs::askCredentials(this, who, realm, &user, &password))
            return QList<QByteArray>{number, VEXEL_NO};
        return QList<QByteArray>{number, VEXEL_YES, user.toUtf8(), password.toUtf8()};
    });
}

void WebKitControl::onDownload(const QList<QByteArray> &fields)
{
    const QByteArray number = fields.value(0);
    // Only a file name: what the server proposes does not choose the folder.
    const QString suggested = QFileInfo(textField(fields, 1)).fileName();
    const QPointer<WebKitHost> asker = host_;
    ask(VEXEL_VERB_SAVE, [&] {
        const QString path = pagedialogs::chooseDownloadPath(this, suggested);
        if (path.isEmpty()) {
            emit StatusMessage(pagedialogs::downloadCancelledText(QString()));
            return QList<QByteArray>{number, QByteArray()};
        }
        // Listed only when the answer reaches the host that asked.
        if (host_ && host_ == asker)
            webkitdownloads::placed(host_, fields.value(2), QFileInfo(path).absoluteFilePath(),
                                    QUrl(textField(fields, 3)), IsPrivate());
        return QList<QByteArray>{number, QFileInfo(path).absoluteFilePath().toUtf8()};
    });
}

void WebKitControl::onDownloading(const QList<QByteArray> &fields)
{
    const qint64 received = fields.value(1).toLongLong();
    const qint64 total = fields.value(2).toLongLong();
    emit StatusMessage(pagedialogs::downloadProgressText(textField(fields, 0), received, total));
}

void WebKitControl::onDownloaded(const QList<QByteArray> &fields)
{
    emit StatusMessage(pagedialogs::downloadFinishedText(textField(fields, 0)));
}

void WebKitControl::onDownloadFailed(const QList<QByteArray> &fields)
{
    const QString name = textField(fields, 0);
    const QByteArray reason = fields.value(1);
    emit StatusMessage(reason == VEXEL_DOWNLOAD_CANCELLED ? pagedialogs::downloadCancelledText(name)
                                             : pagedialogs::downloadFailedText(name, downloadFailure(reason)));
}
