// SPDX-License-Identifier: GPL-3.0-or-later
#include "enginerules.h"

#include "browser/enginecontrol.h"
#include "core/atomicfile.h"
#include "core/programdir.h"

#include <QFile>
#include <QRegularExpression>

namespace enginerules {

namespace {

// A bare host (no port, no brackets) as rules keep it.
QString hostKey(const QString &host)
{
    if (host.isEmpty())
        return {};
    // An IPv6 address has no ASCII form of its own.
    if (host.contains(QLatin1Char(':')))
        return host.toLower();
    QString ascii = QString::fromLatin1(QUrl::toAce(host)).toLower();
    while (ascii.endsWith(QLatin1Char('.')))
        ascii.chop(1);
    return ascii;
}

// Where the rule for host and subdomains sits in rules, -1 when none.
qsizetype indexOf(const QList<Rule> &rules, const QString &host, bool subdomains)
{
    for (qsizetype i = 0; i < rules.size(); ++i)
        if (rules[i].host == host && rules[i].subdomains == subdomains)
            return i;
    return -1;
}

void put(QList<Rule> &rules, const Rule &rule)
{
    const qsizetype at = indexOf(rules, rule.host, rule.subdomains);
    if (at >= 0)
        rules[at] = rule;
    else
        rules.append(rule);
}

}  // namespace

QString normalHost(const QString &text)
{
    static const QRegularExpression notHost(QStringLiteral("[\\s/@?#\\\\]"));
    if (text.isEmpty() || text.contains(notHost))
        return {};
    const QUrl url(QStringLiteral("http://") + text + QLatin1Char('/'), QUrl::StrictMode);
    if (!url.isValid())
        return {};
    return hostKey(url.host());
}

QString displayHost(const QString &host)
{
    return host.contains(QLatin1Char(':')) ? host : QUrl::fromAce(host.toLatin1());
}

namespace {
// Each engine's word in the rules file.
const std::pair<const QString &, QLatin1String> engineWords[] = {{engines::IE_CLSID, QLatin1String("ie")},
                                                                  {engines::MOZILLA_CLSID, QLatin1String("gecko")}};
}  // namespace

QString engineWord(const QString &classId)
{
    for (const auto &[engine, word] : engineWords)
        if (classId == engine)
            return word;
    return {};
}

QString engineOfWord(const QString &word)
{
    for (const auto &[engine, name] : engineWords)
        if (word.compare(name, Qt::CaseInsensitive) == 0)
            return engine;
    return {};
}

QString engineLabel(const QString &classId)
{
    return classId == engines::IE_CLSID ? QStringLiteral("Internet Explorer") : QStringLiteral("Gecko");
}

Reading parse(const QByteArray &text)
{
    Reading reading;
    QString all = QString::fromUtf8(text);
    if (all.startsWith(QChar(0xFEFF)))
        all.remove(0, 1);
    for (QString line : all.split(QLatin1Char('\n'))) {
        line = line.left(line.indexOf(QLatin1Char('#'))).trimmed();
        if (line.isEmpty())
            continue;
        const QStringList fields = line.split(QRegularExpression(QStringLiteral("\\s+")));
        Rule rule;
        QString host = fields.value(0);
        for (const QLatin1String mark : {QLatin1String("*."), QLatin1String(".")})
            if (!rule.subdomains && host.startsWith(mark)) {
                host.remove(0, mark.size());
                rule.subdomains = true;
            }
        rule.host = normalHost(host);
        rule.engine = engineOfWord(fields.value(1));
        if (fields.size() != 2 || rule.host.isEmpty() || rule.engine.isEmpty()) {
            ++reading.skipped;
            continue;
        }
        ++reading.read;
        put(reading.rules, rule);
    }
    return reading;
}

QByteArray format(const QList<Rule> &rules)
{
    QByteArray text("# host engine (ie or gecko); a leading \".\" takes in the subdomains\n");
    for (const Rule &rule : rules)
        text += (rule.subdomains ? "." : "") + rule.host.toUtf8() + ' ' + engineWord(rule.engine).toUtf8() + '\n';
    return text;
}

std::optional<Rule> match(const QList<Rule> &rules, const QUrl &url)
{
    if (url.isLocalFile() || url.scheme() == QLatin1String("file"))
        return std::nullopt;
    const QString host = hostKey(url.host());
    if (host.isEmpty())
        return std::nullopt;
    const qsizetype exact = indexOf(rules, host, false);
    if (exact >= 0)
        return rules[exact];
    std::optional<Rule> best;
    for (const Rule &rule : rules) {
        if (!rule.subdomains || (best && best->host.size() >= rule.host.size()))
            continue;
        if (host == rule.host || host.endsWith(QLatin1Char('.') + rule.host))
            best = rule;
    }
    return best;
}

QString storePath()
{
    return userDataDirectory() + QStringLiteral("engine-rules.txt");
}

QList<Rule> rules()
{
    QFile file(storePath());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return parse(file.readAll()).rules;
}

std::optional<Rule> ruleFor(const QUrl &url)
{
    return match(rules(), url);
}

void setRules(const QList<Rule> &list)
{
    writeFileAtomically(storePath(), format(list));
    emit Notifier::instance().changed();
}

void setSiteEngine(const QUrl &url, const QString &engine)
{
    QList<Rule> list = rules();
    if (engine.isEmpty()) {
        const std::optional<Rule> applies = match(list, url);
        if (!applies)
            return;
        list.removeAll(*applies);
    } else {
        const QString host = url.isLocalFile() ? QString() : hostKey(url.host());
        if (host.isEmpty())
            return;
        put(list, {host, false, engine});
    }
    setRules(list);
}

Reading importText(const QByteArray &text)
{
    Reading reading = parse(text);
    QList<Rule> list = rules();
    for (const Rule &rule : reading.rules)
        put(list, rule);
    setRules(list);
    return reading;
}

Choice choose(const QString &address, bool ie, bool geckoAvailable)
{
    const std::optional<Rule> rule = address.isEmpty() ? std::nullopt : ruleFor(QUrl(address));
    if (!rule)
        return {ie};
    if (rule->engine == engines::IE_CLSID)
        return {true};
    if (!geckoAvailable)
        return {ie, ie};
    return {false};
}

QString geckoOffText()
{
    return QStringLiteral("このサイトは Gecko で開くルールですが、Gecko が無効になっているため、ルールを使わずに開きました");
}

Notifier &Notifier::instance()
{
    static Notifier notifier;
    return notifier;
}

}  // namespace enginerules
