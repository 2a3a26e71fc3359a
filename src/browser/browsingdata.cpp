// SPDX-License-Identifier: GPL-3.0-or-later
#include "browsingdata.h"

#include "engines/webenginepart.h"
#include "engines/webkitgtk/webkitdata.h"

#include <QMap>
#include <QUrl>
#include <memory>

namespace browsingdata {

QString originOf(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    if ((scheme != QLatin1String("http") && scheme != QLatin1String("https")) || url.host().isEmpty())
        return QString();
    QUrl origin;
    origin.setScheme(scheme);
    origin.setHost(url.host().toLower());
    origin.setPort(url.port() == (scheme == QLatin1String("http") ? 80 : 443) ? -1 : url.port());
    return origin.toString();
}

QStringList defaultOrigins(const QString &host)
{
    QStringList origins;
    for (const char *scheme : {"http", "https"}) {
        QUrl url;
        url.setScheme(QLatin1String(scheme));
        url.setHost(host);
        if (const QString origin = originOf(url); !origin.isEmpty())
            origins << origin;
    }
    return origins;
}

void list(const Listed &done)
{
    auto merged = std::make_shared<QMap<QString, Site>>();
    auto left = std::make_shared<int>(2);
    auto add = [merged, left, done](const QList<Site> &sites) {
        for (const Site &s : sites) {
            Site &m = (*merged)[s.host];
            m.host = s.host;
            m.ie |= s.ie;
            m.gecko |= s.gecko;
            m.cookies += s.cookies;
            m.bytes += s.bytes;
            for (const QString &o : s.origins)
                if (!m.origins.contains(o))
                    m.origins << o;
            for (const QString &k : s.storage)
                if (!m.storage.contains(k))
                    m.storage << k;
        }
        if (--*left == 0)
            done(merged->values());
    };
    webenginepart::list(add);
    webkitdata::list(add);
}

void clear(Kinds kinds, const Scope &scope, const Done &done, const QStringList &known)
{
    auto failures = std::make_shared<QStringList>();
    auto left = std::make_shared<int>(2);
    auto end = [failures, left, done](const QStringList &failed) {
        *failures += failed;
        if (--*left == 0)
            done(*failures);
    };
    webenginepart::clear(kinds, scope, end, known);
    webkitdata::clear(kinds, scope, end);
}

void removeSite(const Site &site, const Done &done)
{
    QStringList origins = site.origins;
    for (const QString &o : defaultOrigins(site.host))
        if (!origins.contains(o))
            origins << o;
    clear(Kinds(Cookies) | Storage, origins, done);
}

}  // namespace browsingdata
