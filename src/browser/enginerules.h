// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Sites that always open in one engine: a rule per host (with or without
// its subdomains) naming the engine's class ID, kept in a small text file of
// the user's own, one "host engine" a line, the same text the rules window
// imports and exports. Every look-up reads the file anew.

#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>
#include <optional>

namespace enginerules {

struct Rule {
    QString host;  // ASCII (punycode) and lower case
    bool subdomains = false;
    QString engine;  // engines::IE_CLSID or engines::MOZILLA_CLSID
    bool operator==(const Rule &) const = default;
};

// What a text held: its rules (a later line for the same host and reach
// replaces an earlier one) and how many lines held a rule or could not be
// read. Blank lines and "#" comments are neither.
struct Reading {
    QList<Rule> rules;
    int read = 0;
    int skipped = 0;
};
Reading parse(const QByteArray &text);
QByteArray format(const QList<Rule> &rules);

// A host as rules keep it: ASCII, lower case, without a trailing dot;
// empty when text is no host name (a port is dropped).
QString normalHost(const QString &text);
// The host as the user reads it (an IDN in Unicode).
QString displayHost(const QString &host);
// "ie" / "gecko" and back; empty for an unknown word or class ID.
QString engineWord(const QString &classId);
QString engineOfWord(const QString &word);
// "Internet Explorer" / "Gecko", as the menus name them.
QString engineLabel(const QString &classId);

// The rule for url among rules: an exact host beats a subdomain rule, the
// longest subdomain rule wins. Addresses without a host (file:, about:, data:)
// never match.
std::optional<Rule> match(const QList<Rule> &rules, const QUrl &url);

// The user's rules.
QString storePath();
QList<Rule> rules();
std::optional<Rule> ruleFor(const QUrl &url);
// Writes rules (throws VexelError when the file cannot be written) and says
// so through Notifier.
void setRules(const QList<Rule> &rules);
// The page menu's choice: url's own host always opens in engine; an empty
// engine removes the rule that applies to url.
void setSiteEngine(const QUrl &url, const QString &engine);
// Adds or replaces rules from a file's text; returns what it read.
Reading importText(const QByteArray &text);

// Which engine opens address where ie would have been chosen: the one its
// rule names, unless that is Gecko while Gecko is switched off; then the
// choice stands and geckoRefused says so (geckoOffText() tells the user).
struct Choice {
    bool ie;
    bool geckoRefused = false;
};
Choice choose(const QString &address, bool ie, bool geckoAvailable);
QString geckoOffText();

// Says when this program changed the rules.
class Notifier : public QObject {
    Q_OBJECT
public:
    static Notifier &instance();
signals:
    void changed();
};

}  // namespace enginerules
