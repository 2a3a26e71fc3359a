// SPDX-License-Identifier: GPL-3.0-or-later
#include "webkitdownloads.h"

#include "browser/downloadlist.h"
#include "protocol.h"
#include "webkithost.h"

#include <QHash>
#include <QPointer>

namespace {

struct Key {
    const WebKitHost *host;
    QByteArray id;
    bool operator==(const Key &) const = default;
};

size_t qHash(const Key &key, size_t seed = 0)
{
    return qHashMulti(seed, key.host, key.id);
}

// Running downloads of the hosts, by their numbers; the list's ids.
QHash<Key, int> &running()
{
    static QHash<Key, int> map;
    return map;
}

}  // namespace

namespace webkitdownloads {

void placed(WebKitHost *host, const QByteArray &id, const QString &path, const QUrl &source, bool privateWindow)
{
    if (!host || id.isEmpty())
        return;
    const QPointer<WebKitHost> asked(host);
    const int entry = DownloadList::instance().start(path, source, [asked, id] {
        if (asked && asked->isAlive())
            asked->send(0, VEXEL_VERB_CANCELDOWNLOAD, {id});
    }, privateWindow);
    running().insert(Key{host, id}, entry);
}

void report(WebKitHost *host, const QByteArray &verb, const QList<QByteArray> &fields)
{
    // The download's number is the last field of each message.
    const bool progress = verb == VEXEL_VERB_DOWNLOADING;
    const bool done = verb == VEXEL_VERB_DOWNLOADED;
    const bool failed = verb == VEXEL_VERB_DOWNLOADFAILED;
    if (!progress && !done && !failed)
        return;
    const Key key{host, fields.value(progress ? 3 : done ? 1 : 2)};
    const auto it = running().constFind(key);
    if (it == running().constEnd())
        return;
    const int entry = it.value();
    DownloadList &list = DownloadList::instance();
    if (progress) {
        list.progress(entry, fields.value(1).toLongLong(), fields.value(2).toLongLong());
        return;
    }
    running().remove(key);
    list.finish(entry, done                            ? DownloadList::State::Completed
                       : fields.value(1) == VEXEL_DOWNLOAD_CANCELLED ? DownloadList::State::Cancelled
                                                        : DownloadList::State::Failed);
}

void hostGone(WebKitHost *host)
{
    for (auto it = running().begin(); it != running().end();) {
        if (it.key().host == host) {
            DownloadList::instance().finish(it.value(), DownloadList::State::Failed);
            it = running().erase(it);
        } else {
            ++it;
        }
    }
}

}  // namespace webkitdownloads
