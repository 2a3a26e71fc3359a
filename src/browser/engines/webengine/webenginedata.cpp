// SPDX-License-Identifier: GPL-3.0-or-later
#include "webenginedata.h"

#include "webenginecontrol.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QNetworkCookie>
#include <QPointer>
#include <QRegularExpression>
#include <QSet>
#include <QTimer>
#include <QUrl>
#include <QWebEngineCookieStore>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <algorithm>
#include <deque>
#include <memory>

using browsingdata::Kinds;
using browsingdata::Site;

namespace webenginedata {

namespace {

constexpr int kAnswerMs = 20000;  // a hidden page's script, or the cookie store, that takes longer has failed
constexpr int kMostOrigins = 500;  // what the profile's folders name beyond this is not looked at

QString hostOfCookie(const QNetworkCookie &cookie)
{
    QString domain = cookie.domain();
    if (domain.startsWith(QLatin1Char('.')))
        domain.remove(0, 1);
    return domain.toLower();
}

// Whether a cookie goes to host: set by it or by a domain above it.
bool cookieGoesTo(const QNetworkCookie &cookie, const QString &host)
{
    const QString domain = hostOfCookie(cookie);
    return !domain.isEmpty() && (host == domain || host.endsWith(QLatin1Char('.') + domain));
}

// The shared profile's cookies as the store told them: each change as it
// comes, and what it kept from earlier runs when asked before its first
// page (asked later, it tells nothing).
class CookieMirror : public QObject {
public:
    static QPointer<CookieMirror> &current()
    {
        static QPointer<CookieMirror> mirror;
        return mirror;
    }
    static CookieMirror &instance()
    {
        WebEngineControl::sharedProfile();  // which makes the mirror
        return *current();
    }

    explicit CookieMirror(QWebEngineProfile *profile) : QObject(profile), store_(profile->cookieStore())
    {
        connect(store_, &QWebEngineCookieStore::cookieAdded, this, [this](const QNetworkCookie &c) {
            cookies.removeIf([&](const QNetworkCookie &k) { return k.hasSameIdentifier(c); });
            cookies.append(c);
        });
        connect(store_, &QWebEngineCookieStore::cookieRemoved, this, [this](const QNetworkCookie &c) {
            cookies.removeIf([&](const QNetworkCookie &k) { return k.hasSameIdentifier(c); });
            checkDeletions();
        });
        store_->loadAllCookies();
    }

    QList<QNetworkCookie> cookies;

    // Deletes these cookies; then(true) once the store has said each is
    // gone, then(false) when it has not in time.
    void remove(const QList<QNetworkCookie> &targets, std::function<void(bool ok)> then)
    {
        for (const QNetworkCookie &c : targets)
            store_->deleteCookie(c);
        deletions_.append({targets, std::move(then), QDeadlineTimer(kAnswerMs)});
        QTimer::singleShot(0, this, [this] { checkDeletions(); });
        QTimer::singleShot(kAnswerMs + 1, this, [this] { checkDeletions(); });
    }

private:
    struct Deletion {
        QList<QNetworkCookie> targets;
        std::function<void(bool)> then;
        QDeadlineTimer deadline;
    };

    bool stillKept(const QNetworkCookie &c) const
    {
        return std::any_of(cookies.begin(), cookies.end(), [&](const QNetworkCookie &k) { return k.hasSameIdentifier(c); });
    }
    void checkDeletions()
    {
        for (qsizetype i = 0; i < deletions_.size();) {
            Deletion &d = deletions_[i];
            d.targets.removeIf([this](const QNetworkCookie &c) { return !stillKept(c); });
            if (!d.targets.isEmpty() && !d.deadline.hasExpired()) {
                ++i;
                continue;
            }
            const bool ok = d.targets.isEmpty();
            const std::function<void(bool)> then = d.then;
            deletions_.removeAt(i);
            then(ok);
        }
    }

    QWebEngineCookieStore *store_;
    QList<Deletion> deletions_;
};

// Scripts run in a hidden page of the shared profile, one at a time, each
// in a document of our own whose origin is the site's. A script ends by
// handing its answer to done(), which puts it in the title.
class OriginScripts : public QObject {
public:
    using Answer = std::function<void(std::optional<QJsonValue>)>;

    static OriginScripts &instance()
    {
        static QPointer<OriginScripts> scripts;
        if (!scripts)
            scripts = new OriginScripts(WebEngineControl::sharedProfile());
        return *scripts;
    }

    void run(const QString &origin, const QString &script, Answer answer)
    {
        jobs_.push_back({origin, script, std::move(answer)});
        if (jobs_.size() == 1)
            QTimer::singleShot(0, this, [this] { next(); });
    }

private:
    struct Job {
        QString origin;
        QString script;
        Answer answer;
    };

    explicit OriginScripts(QWebEngineProfile *profile) : QObject(profile), profile_(profile)
    {
        timer_.setSingleShot(true);
        connect(&timer_, &QTimer::timeout, this, [this] { finish(std::nullopt); });
    }

    void next()
    {
        if (jobs_.empty()) {
            // No page lingers: the profile is released at exit only
            // without pages of its own.
            if (page_)
                page_->deleteLater();
            return;
        }
        if (!page_) {
            page_ = new QWebEnginePage(profile_, this);
            connect(page_, &QWebEnginePage::titleChanged, this, [this](const QString &title) {
                const QString prefix = QStringLiteral("vexel-%1:").arg(token_);
                if (title.startsWith(prefix))
                    finish(QJsonDocument::fromJson(title.mid(prefix.size()).toUtf8()).object().value("v"));
            });
        }
        ++token_;
        const QString html = QStringLiteral(
            "<!DOCTYPE html><title></title><script>"
            "const done = v => { document.title = 'vexel-%1:' + JSON.stringify({v: v}); };"
            "(async () => { %2 })().then(done, () => done(null));"
            "</script>").arg(token_).arg(jobs_.front().script);
        timer_.start(kAnswerMs);
        page_->setHtml(html, QUrl(jobs_.front().origin + QLatin1Char('/')));
    }

    void finish(std::optional<QJsonValue> value)
    {
        if (jobs_.empty())
            return;
        timer_.stop();
        Answer answer = std::move(jobs_.front().answer);
        jobs_.pop_front();
        if (value && value->isNull())
            value.reset();
        answer(value);
        QTimer::singleShot(0, this, [this] { next(); });
    }

    QWebEngineProfile *profile_;
    QPointer<QWebEnginePage> page_;
    std::deque<Job> jobs_;
    QTimer timer_;
    quint64 token_ = 0;
};

// What an origin keeps, as counts (the script never creates storage).
const char *const kProbe =
    "const r = {localStorage: 0, IndexedDB: 0, 'Cache Storage': 0, 'Service Worker': 0, bytes: 0};"
    "try { r.localStorage = localStorage.length; } catch (e) {}"
    "try { r.IndexedDB = (await indexedDB.databases()).length; } catch (e) {}"
    "try { if (self.caches) r['Cache Storage'] = (await caches.keys()).length; } catch (e) {}"
    "try { if (navigator.serviceWorker) r['Service Worker'] = (await navigator.serviceWorker.getRegistrations()).length; } catch (e) {}"
    "try { r.bytes = (await navigator.storage.estimate()).usage || 0; } catch (e) {}"
    "return r;";

// Clears an origin's storage; answers the kinds that could not be cleared.
const char *const kClear =
    "const failed = [];"
    "try { localStorage.clear(); } catch (e) { failed.push('localStorage'); }"
    "try { for (const d of await indexedDB.databases())"
    "  await new Promise((ok, no) => { const q = indexedDB.deleteDatabase(d.name);"
    "    q.onsuccess = ok; q.onblocked = ok; q.onerror = () => no(q.error); });"
    "} catch (e) { failed.push('IndexedDB'); }"
    "try { if (self.caches) for (const k of await caches.keys()) await caches.delete(k); }"
    "catch (e) { failed.push('Cache Storage'); }"
    // A document of ours may not see the workers at all (Qt WebEngine 6.4
    // refuses it); those it sees go.
    "let workers = [];"
    "try { if (navigator.serviceWorker) workers = await navigator.serviceWorker.getRegistrations(); } catch (e) {}"
    "try { for (const g of workers) await g.unregister(); } catch (e) { failed.push('Service Worker'); }"
    "return failed;";

// Origins the profile's storage folders name: IndexedDB's folders are
// named by origin; localStorage and service workers keep theirs inside
// their databases' files. Names that keep nothing (any more) fall out when
// probed.
QStringList storedOrigins()
{
    QSet<QString> found;
    const QDir base(WebEngineControl::sharedProfile()->persistentStoragePath());
    static const QRegularExpression folder(QStringLiteral("^(https?)_(.+)_(\\d+)\\.indexeddb\\."));
    for (const QString &name : QDir(base.filePath(QStringLiteral("IndexedDB"))).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QRegularExpressionMatch m = folder.match(name);
        if (m.hasMatch())
        {
            // Port 0 names the scheme's own port.
            QUrl url(QStringLiteral("%1://%2/").arg(m.captured(1), m.captured(2)));
            if (m.captured(3) != QLatin1String("0"))
                url.setPort(m.captured(3).toInt());
            found.insert(browsingdata::originOf(url));
        }
    }
    static const QRegularExpression inFile(
        QStringLiteral("https?://(?:[A-Za-z0-9.-]+|\\[[0-9A-Fa-f:.]+\\])(?::\\d{1,5})?"));
    for (const char *dir : {"Local Storage/leveldb", "Service Worker/Database"}) {
        QDirIterator files(base.filePath(QLatin1String(dir)), QDir::Files);
        while (files.hasNext() && found.size() < kMostOrigins) {
            QFile file(files.next());
            if (!file.open(QIODevice::ReadOnly))
                continue;
            const QString text = QString::fromLatin1(file.read(8 * 1024 * 1024));
            for (auto it = inFile.globalMatch(text); it.hasNext() && found.size() < kMostOrigins;)
                found.insert(browsingdata::originOf(QUrl(it.next().captured(0))));
        }
    }
    found.remove(QString());
    return found.values();
}

using browsingdata::Join;

}  // namespace

void watchCookies(QWebEngineProfile *profile)
{
    if (!CookieMirror::current())
        CookieMirror::current() = new CookieMirror(profile);
}

void list(const browsingdata::Listed &done)
{
    CookieMirror::instance();  // its cookies are those the store has told
    QTimer::singleShot(0, CookieMirror::current(), [done] {
        auto sites = std::make_shared<QMap<QString, Site>>();
        const QStringList stored = storedOrigins();
        QSet<QString> origins(stored.begin(), stored.end());
        for (const QNetworkCookie &c : CookieMirror::instance().cookies) {
            const QString host = hostOfCookie(c);
            Site &site = (*sites)[host];
            site.host = host;
            site.ie = true;
            ++site.cookies;
            for (const QString &o : browsingdata::defaultOrigins(host))
                origins.insert(o);
        }
        auto left = std::make_shared<int>(int(origins.size()) + 1);
        auto finish = [sites, left, done] {
            if (--*left > 0)
                return;
            done(sites->values());
        };
        for (const QString &origin : origins) {
            OriginScripts::instance().run(origin, QLatin1String(kProbe), [=](std::optional<QJsonValue> v) {
                const QJsonObject r = v ? v->toObject() : QJsonObject();
                QStringList kinds;
                for (const char *kind : {"localStorage", "IndexedDB", "Cache Storage", "Service Worker"})
                    if (r.value(QLatin1String(kind)).toInt() > 0)
                        kinds << QLatin1String(kind);
                if (!kinds.isEmpty()) {
                    const QString host = QUrl(origin).host();
                    Site &site = (*sites)[host];
                    site.host = host;
                    site.ie = true;
                    site.origins << origin;
                    site.bytes += qint64(r.value(QLatin1String("bytes")).toDouble());
                    for (const QString &k : kinds)
                        if (!site.storage.contains(k))
                            site.storage << k;
                }
                finish();
            });
        }
        finish();
    });
}

void clear(Kinds kinds, const browsingdata::Scope &scope, const browsingdata::Done &done, const QStringList &known)
{
    auto join = std::make_shared<Join>();
    join->done = done;
    if (kinds & browsingdata::Cache)
        WebEngineControl::sharedProfile()->clearHttpCache();

    QSet<QString> hosts;
    QStringList origins;
    if (scope) {
        origins = *scope;
        for (const QString &o : origins)
            hosts.insert(QUrl(o).host().toLower());
    }

    // Storage first: with every site, its origins are read from the
    // cookies before these go.
    if (kinds & browsingdata::Storage) {
        ++join->parts;
        auto clearOrigins = [join](const QStringList &all) {
            join->parts += int(all.size());
            for (const QString &origin : all)
                OriginScripts::instance().run(origin, QLatin1String(kClear), [join, origin](std::optional<QJsonValue> v) {
                    QStringList failed;
                    if (!v)
                        failed << QStringLiteral("%1 のサイトのデータ").arg(origin);
                    for (const QJsonValue &kind : v ? v->toArray() : QJsonArray())
                        failed << QStringLiteral("%1 の %2").arg(origin, kind.toString());
                    join->end(failed);
                });
            join->end();
        };
        if (scope) {
            clearOrigins(origins);
        } else {
            // Every origin that may keep something: those the folders name
            // and those of every host with cookies.
            QTimer::singleShot(0, CookieMirror::current(), [clearOrigins, known] {
                QStringList stored = storedOrigins();
                for (const QString &o : known)
                    stored << browsingdata::originOf(QUrl(o));
                QSet<QString> all(stored.begin(), stored.end());
                all.remove(QString());
                for (const QNetworkCookie &c : CookieMirror::instance().cookies)
                    for (const QString &o : browsingdata::defaultOrigins(hostOfCookie(c)))
                        all.insert(o);
                clearOrigins(all.values());
            });
        }
    }
    if (kinds & browsingdata::Cookies) {
        ++join->parts;
        CookieMirror &mirror = CookieMirror::instance();
        // One by one, also for all of them: the store's "delete all" says
        // nothing of when it is done.
        QList<QNetworkCookie> targets;
        for (const QNetworkCookie &c : mirror.cookies)
            if (!scope || std::any_of(hosts.begin(), hosts.end(), [&](const QString &h) { return cookieGoesTo(c, h); }))
                targets << c;
        mirror.remove(targets, [join](bool ok) { join->end(ok ? QStringList() : QStringList{QStringLiteral("Cookie")}); });
    }

    join->end();
}

}  // namespace webenginedata
