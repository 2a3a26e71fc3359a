// SPDX-License-Identifier: GPL-3.0-or-later
#include "webenginedownloads.h"

#include "browser/downloadlist.h"
#include "browser/engines/webengine/webenginecontrol.h"
#include "browser/pagedialogs.h"

#include <QFileInfo>
#include <QHash>
#include <QPointer>
#include <QWebEngineDownloadRequest>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <memory>

namespace {

struct Placed {
    QString path;
    int entry = 0;
    // The request now carrying it; the list cancels through it.
    std::shared_ptr<QPointer<QWebEngineDownloadRequest>> current;
};

// The engine's downloads by its ids, until they end for good.
QHash<quint32, Placed> &placed()
{
    static QHash<quint32, Placed> map;
    return map;
}

}  // namespace

namespace webenginedownloads {

QString placedPath(const QWebEngineDownloadRequest *request)
{
    return placed().value(request->id()).path;
}

void follow(QWebEngineDownloadRequest *request, const QString &path)
{
    DownloadList &list = DownloadList::instance();
    const quint32 id = request->id();
    auto known = placed().find(id);
    // Resumed after it was listed as failed: listed anew.
    const DownloadList::Entry *listed = known == placed().end() ? nullptr : list.find(known->entry);
    if (!listed || listed->state != DownloadList::State::Running || known->path != path) {
        auto current = std::make_shared<QPointer<QWebEngineDownloadRequest>>();
        const bool offTheRecord = request->page() && request->page()->profile()->isOffTheRecord();
        const int entry = list.start(
            path, request->url(),
            [current] {
                if (*current)
                    (*current)->cancel();
            },
            offTheRecord);
        known = placed().insert(id, Placed{path, entry, current});
    }
    *known->current = request;
    const int entry = known->entry;
    const auto current = known->current;
    // What an earlier request of the same download still says no longer counts.
    auto carries = [current, request] { return current->data() == request; };
    QObject::connect(request, &QWebEngineDownloadRequest::receivedBytesChanged, &list, [=, &list] {
        if (carries())
            list.progress(entry, request->receivedBytes(), request->totalBytes());
    });
    QObject::connect(request, &QWebEngineDownloadRequest::stateChanged, &list, [=, &list] {
        if (!carries())
            return;
        list.progress(entry, request->receivedBytes(), request->totalBytes());
        switch (request->state()) {
        case QWebEngineDownloadRequest::DownloadRequested:
        case QWebEngineDownloadRequest::DownloadInProgress:
            return;
        case QWebEngineDownloadRequest::DownloadCompleted:
            list.finish(entry, DownloadList::State::Completed);
            break;
        case QWebEngineDownloadRequest::DownloadCancelled:
            list.finish(entry, DownloadList::State::Cancelled);
            break;
        case QWebEngineDownloadRequest::DownloadInterrupted:
            // The engine may still resume it: kept, so nobody is asked again.
            list.finish(entry, DownloadList::State::Failed);
            return;
        }
        placed().remove(id);
    });
    // The carrying request gone unfinished (the engine let go of it): it did
    // not arrive. (A pointer to a request being destroyed reads as null.)
    QObject::connect(request, &QObject::destroyed, &list, [=, &list] {
        if (current->isNull()) {
            list.finish(entry, DownloadList::State::Failed);
            placed().remove(id);
        }
    });
}

}  // namespace webenginedownloads

// --- A page's downloads: the user places them, the status bar follows them ---

void WebEngineControl::handleDownload(QWebEngineDownloadRequest *download)
{
    // The engine's name for a saved page is made of the address ("x_html.mhtml").
    const QString suggested = download->isSavePageDownload()
                                  ? pagedialogs::savedPageName(page_->title(), page_->url())
                                  : download->suggestedFileName();
    // One the engine resumes after an interruption goes on where it was placed.
    QString path = webenginedownloads::placedPath(download);
    if (path.isEmpty())
        path = pagedialogs::chooseDownloadPath(this, suggested);
    if (path.isEmpty()) {
        download->cancel();
        emit StatusMessage(pagedialogs::downloadCancelledText(QString()));
        return;
    }
    const QFileInfo target(path);
    download->setDownloadDirectory(target.absolutePath());
    download->setDownloadFileName(target.fileName());
    const QString name = target.fileName();
    webenginedownloads::follow(download, target.absoluteFilePath());
    connect(download, &QWebEngineDownloadRequest::receivedBytesChanged, this, [this, download, name] {
        emit StatusMessage(pagedialogs::downloadProgressText(name, download->receivedBytes(), download->totalBytes()));
    });
    // An interrupted download that could be resumed is not "finished"; the
    // user still needs to hear that it stopped.
    connect(download, &QWebEngineDownloadRequest::stateChanged, this, [this, download, name] {
        switch (download->state()) {
        case QWebEngineDownloadRequest::DownloadRequested:
        case QWebEngineDownloadRequest::DownloadInProgress:
            break;
        case QWebEngineDownloadRequest::DownloadCompleted:
            emit StatusMessage(pagedialogs::downloadFinishedText(name));
            break;
        case QWebEngineDownloadRequest::DownloadCancelled:
            emit StatusMessage(pagedialogs::downloadCancelledText(name));
            break;
        case QWebEngineDownloadRequest::DownloadInterrupted:
            emit StatusMessage(pagedialogs::downloadFailedText(name, download->interruptReasonString()));
            break;
        }
    });
    download->accept();
}

void WebEngineControl::Download(const QUrl &address)
{
    page_->download(address);
}
