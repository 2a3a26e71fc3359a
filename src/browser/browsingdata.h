// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What sites keep in the engines (cookies, site storage, the cache), listed
// and cleared in both engines at once. Only the normal profile of each
// engine: private windows keep theirs in memory, and nothing here sees it.

#include <QFlags>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class QUrl;

namespace browsingdata {

enum Kind { Cookies = 0x1, Storage = 0x2, Cache = 0x4 };
Q_DECLARE_FLAGS(Kinds, Kind)

// What one host keeps, in one engine or (merged) in both.
struct Site {
    QString host;
    QStringList origins;  // "http://host:port" its storage is kept under, where known
    bool ie = false, gecko = false;
    int cookies = 0;
    qint64 bytes = 0;        // the storage's size where the engine tells it
    QStringList storage;     // what kinds of storage, as the user reads them
};

// Which sites: every one (nullopt), or those of these origins
// ("http://host:port"); cookies go by the origins' hosts.
using Scope = std::optional<QStringList>;

// Failures as the user reads them; empty when all went well.
using Done = std::function<void(const QStringList &failures)>;
using Listed = std::function<void(const QList<Site> &sites)>;

// Calls done(failures) once every part of a piece of work has ended: the
// caller's own part counts as one, ended by its own end().
struct Join {
    int parts = 1;
    QStringList failures;
    Done done;
    void end(const QStringList &failed = {})
    {
        failures += failed;
        if (--parts == 0)
            done(failures);
    }
};

// "http://host:port" of an address, or "" when it names no web site.
QString originOf(const QUrl &url);
// The origin any site of host may use when nothing else is known of it.
QStringList defaultOrigins(const QString &host);

// Both engines' sites, one entry a host, sorted by host. The Gecko engine's
// host process is asked only when it runs or can be started.
void list(const Listed &done);
// Clears kinds of the sites of scope in both engines; done once both have
// answered. known: origins the caller knows of (the history's), looked at
// too when clearing every site, since storage written a moment ago may not
// be on the disk yet for the engine's folders to name it.
void clear(Kinds kinds, const Scope &scope, const Done &done, const QStringList &known = {});
// Every kind of one host's data, in both engines.
void removeSite(const Site &site, const Done &done);

}  // namespace browsingdata

Q_DECLARE_OPERATORS_FOR_FLAGS(browsingdata::Kinds)
