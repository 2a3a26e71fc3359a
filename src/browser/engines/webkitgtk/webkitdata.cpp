// SPDX-License-Identifier: GPL-3.0-or-later
#include "webkitdata.h"

#include "browser/enginecontrol.h"
#include "core/errors.h"
#include "protocol.h"
#include "webkithost.h"

#include <QHash>
#include <QPointer>
#include <QSet>
#include <QTimer>
#include <QUrl>
#include <memory>

using browsingdata::Kinds;
using browsingdata::Site;

namespace webkitdata {

namespace {

constexpr int kAnswerMs = 30000;  // a host that takes longer has failed us
constexpr int kAllTime = 0;       // cleardata's age in seconds: 0 takes all of it

QString failureText(const QString &why)
{
    return QStringLiteral("Gecko エンジン: %1").arg(why);
}

// What the host keeps, as the user reads it.
QString storageLabel(const QByteArray &word)
{
    static const QHash<QByteArray, QString> labels = {
        {VEXEL_DATA_LOCAL_STORAGE, QStringLiteral("localStorage")},
        {VEXEL_DATA_SESSION_STORAGE, QStringLiteral("sessionStorage")},
        {VEXEL_DATA_INDEXEDDB, QStringLiteral("IndexedDB")},
        {VEXEL_DATA_SERVICE_WORKER, QStringLiteral("Service Worker")},
        {VEXEL_DATA_CACHE_STORAGE, QStringLiteral("Cache Storage")},
        {VEXEL_DATA_APPCACHE, QStringLiteral("AppCache")},
        {VEXEL_DATA_WEBSQL, QStringLiteral("Web SQL")},
    };
    return labels.value(word);
}

// Requests to view 0, each numbered; every one ends, by its answer, by a
// timeout or (nothing to ask) at once.
class Requests : public QObject {
public:
    // Returns true when the request has ended.
    using Handler = std::function<bool(const QByteArray &verb, const QList<QByteArray> &fields)>;

    static Requests &instance()
    {
        static auto *requests = new Requests;
        return *requests;
    }

    // Sends verb with the request's number first; handler sees each answer
    // until it says the request has ended, or the time runs out, when it
    // gets an empty verb.
    void send(WebKitHost *host, const char *verb, QList<QByteArray> fields, Handler handler)
    {
        if (host != host_) {
            host_ = host;
            connect(host, &WebKitHost::hostMessage, this,
                    [this](const QByteArray &verb, const QList<QByteArray> &fields) {
                        const QByteArray number = fields.value(0);
                        if (const Handler handler = handlers_.value(number); handler && handler(verb, fields.mid(1)))
                            handlers_.remove(number);
                    });
        }
        const QByteArray number = QByteArray::number(++next_);
        handlers_.insert(number, handler);
        fields.prepend(number);
        if (!host->send(0, verb, fields)) {
            handlers_.remove(number);
            handler(QByteArray(), {});
            return;
        }
        QTimer::singleShot(kAnswerMs, this, [this, number] {
            if (const Handler handler = handlers_.take(number))
                handler(QByteArray(), {});
        });
    }
private:
    QPointer<WebKitHost> host_;
    QHash<QByteArray, Handler> handlers_;
    quint64 next_ = 0;
};

// The running host (started when none runs); nullptr with *failure empty
// when there is no engine host at all.
WebKitHost *host(QString *failure)
{
    try {
        return WebKitHost::running();
    } catch (const VexelError &e) {
        if (e.message() != engines::classNotRegisteredMessage())
            *failure = failureText(e.message());
        return nullptr;
    }
}

QByteArray kindWords(Kinds kinds)
{
    QByteArrayList words;
    if (kinds & browsingdata::Cookies)
        words << VEXEL_DATA_COOKIES;
    if (kinds & browsingdata::Storage)
        words << VEXEL_DATA_STORAGE;
    if (kinds & browsingdata::Cache)
        words << VEXEL_DATA_CACHE;
    return words.join(VEXEL_LIST_SEPARATOR);
}

}  // namespace

void list(const browsingdata::Listed &done)
{
    QString failure;
    WebKitHost *h = host(&failure);
    if (!h) {
        done({});
        return;
    }
    auto sites = std::make_shared<QList<Site>>();
    Requests::instance().send(h, VEXEL_VERB_SITEDATA, {}, [sites, done](const QByteArray &verb, const QList<QByteArray> &fields) {
        if (verb == VEXEL_VERB_SITE && fields.size() >= 4) {
            Site site;
            site.host = QString::fromUtf8(fields[0]).toLower();
            site.gecko = true;
            site.cookies = fields[2].toInt();
            site.bytes = fields[3].toLongLong();
            for (const QByteArray &word : fields[1].split(VEXEL_LIST_SEPARATOR[0]))
                if (const QString label = storageLabel(word); !label.isEmpty())
                    site.storage << label;
            if (!site.host.isEmpty() && (site.cookies > 0 || !site.storage.isEmpty()))
                sites->append(site);
            return false;
        }
        if (verb != VEXEL_VERB_SITEDATAEND && !verb.isEmpty())
            return false;
        // The end, or no answer: what came is what there is.
        done(*sites);
        return true;
    });
}

void clear(Kinds kinds, const browsingdata::Scope &scope, const browsingdata::Done &done)
{
    QString failure;
    WebKitHost *h = host(&failure);
    if (!h) {
        done(failure.isEmpty() ? QStringList() : QStringList{failure});
        return;
    }
    auto join = std::make_shared<browsingdata::Join>();
    join->done = done;
    auto ask = [h, join](const char *verb, const QList<QByteArray> &fields) {
        ++join->parts;
        Requests::instance().send(h, verb, fields, [join](const QByteArray &verb, const QList<QByteArray> &answer) {
            if (verb.isEmpty())
                join->end({failureText(QStringLiteral("応答がありません"))});
            else if (verb == VEXEL_VERB_DATACLEARED)
                join->end(isYes(answer.value(0)) ? QStringList()
                                                 : QStringList{failureText(QString::fromUtf8(answer.value(1)))});
            return verb.isEmpty() || verb == VEXEL_VERB_DATACLEARED;
        });
    };
    const Kinds siteKinds = kinds & ~Kinds(browsingdata::Cache);
    if (kinds & browsingdata::Cache || (!scope && siteKinds))
        ask(VEXEL_VERB_CLEARDATA, {kindWords(scope ? Kinds(browsingdata::Cache) : kinds), QByteArray::number(kAllTime)});
    if (scope && siteKinds) {
        QSet<QString> hosts;
        for (const QString &origin : *scope)
            hosts.insert(QUrl(origin).host().toLower());
        hosts.remove(QString());
        for (const QString &site : hosts)
            ask(VEXEL_VERB_REMOVEDATA, {kindWords(siteKinds), site.toUtf8()});
    }
    join->end();
}

}  // namespace webkitdata
