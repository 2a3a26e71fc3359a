// SPDX-License-Identifier: GPL-3.0-or-later
// A Gecko page's source, saved page and inspector. WebKitGTK has no source
// view: the host writes the page's bytes as they came to a file of ours,
// and the frame shows them in its own viewer, decoded as the page was read.

#include "webkitcontrol.h"

#include "browser/errorpage.h"
#include "browser/pagedialogs.h"
#include "browser/sourceviewer.h"
#include "core/errors.h"
#include "core/placement.h"
#include "protocol.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

void WebKitControl::ViewSource()
{
    // A failed load has no source of its own; a gone page none at all.
    if (state_ != State::Live || showsErrorPage() || location_.isEmpty())
        return;
    if (!sourceDir_ || !sourceDir_->isValid())
        sourceDir_ = std::make_unique<QTemporaryDir>();
    if (!sourceDir_->isValid())
        throw VexelError(QStringLiteral("%1 に書き込めません").arg(QDir::tempPath()));
    static quint64 requests = 0;
    const QString path = sourceDir_->filePath(QStringLiteral("source-%1").arg(++requests));
    sourcesAsked_.insert(path);
    send(VEXEL_VERB_SOURCE, {path.toUtf8()});
}

void WebKitControl::onViewSource(const QList<QByteArray> &)
{
    runGuarded([this] { ViewSource(); });
}

void WebKitControl::onSourceReady(const QList<QByteArray> &fields)
{
    // Only a file this control asked for, once.
    const QString path = textField(fields, 0);
    if (!sourcesAsked_.remove(path))
        return;
    QFile file(path);
    const bool ok = isYes(fields.value(1)) && file.open(QIODevice::ReadOnly);
    const QByteArray bytes = ok ? file.readAll() : QByteArray();
    file.close();
    QFile::remove(path);
    if (!ok) {
        emit StatusMessage(QStringLiteral("このページのソースを取得できませんでした"));
        return;
    }
    const QString uri = textField(fields, 3);
    const QUrl address(uri);
    auto *viewer = new SourceViewer(address.isValid() ? address.toString() : uri,
                                    SourceViewer::decode(bytes, textField(fields, 2)), window());
    centreOver(viewer, window());
    viewer->show();
}

void WebKitControl::onSavePage(const QList<QByteArray> &fields)
{
    const QString suggested = pagedialogs::savedPageName(textField(fields, 0), QUrl(location_));
    ask(VEXEL_VERB_SAVEPAGEAS, [&] {
        const QString path = pagedialogs::chooseDownloadPath(this, suggested);
        if (path.isEmpty()) {
            emit StatusMessage(pagedialogs::downloadCancelledText(QString()));
            return QList<QByteArray>{QByteArray()};
        }
        return QList<QByteArray>{QFileInfo(path).absoluteFilePath().toUtf8()};
    });
}

void WebKitControl::onPageSaved(const QList<QByteArray> &fields)
{
    const QString name = QFileInfo(textField(fields, 0)).fileName();
    emit StatusMessage(isYes(fields.value(1))
                           ? pagedialogs::downloadFinishedText(name)
                           : pagedialogs::downloadFailedText(name, QStringLiteral("保存先に書き込めません")));
}

void WebKitControl::ShowInspector()
{
    if (state_ == State::Live)
        send(VEXEL_VERB_INSPECT);
}

void WebKitControl::onInspector(const QList<QByteArray> &fields)
{
    inspectorShown_ = isYes(fields.value(0));
}
