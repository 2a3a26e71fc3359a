// SPDX-License-Identifier: GPL-3.0-or-later
#include "enginecontrol.h"

#include "core/errors.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QHostAddress>
#include <QRegularExpression>
#include <QScopedValueRollback>
#include <algorithm>
#include <array>

namespace engines {

static QHash<QString, Factory> &registry()
{
    static QHash<QString, Factory> map;
    return map;
}

Factory registerEngine(const QString &classId, Factory factory)
{
    const QString key = classId.toUpper();
    Factory previous = registry().value(key);
    if (factory)
        registry().insert(key, std::move(factory));
    else
        registry().remove(key);
    return previous;
}

QString classNotRegisteredMessage()
{
    return QStringLiteral("クラスが登録されていません。");
}

QString activationFailedMessage()
{
    return QStringLiteral("OLE コントロールのアクティベートに失敗しました");
}

namespace {

// Schemes whose addresses need no "//" ("about:blank", "mailto:a@b").
bool knownScheme(const QString &scheme)
{
    static const QStringList known = {QStringLiteral("http"),  QStringLiteral("https"),
                                      QStringLiteral("ftp"),   QStringLiteral("file"),
                                      QStringLiteral("about"), QStringLiteral("data"),
                                      QStringLiteral("mailto"), QStringLiteral("view-source")};
    return known.contains(scheme);
}

bool validPort(const QString &digits)
{
    static const QRegularExpression form(QStringLiteral("^[0-9]{1,5}$"));
    return form.match(digits).hasMatch() && digits.toInt() <= 65535;
}

bool isIPv4(const QString &host)
{
    static const QRegularExpression form(QStringLiteral("^[0-9]{1,3}(\\.[0-9]{1,3}){3}$"));
    QHostAddress address;
    return form.match(host).hasMatch() && address.setAddress(host);
}

// "example.com", "日本.jp", "例え.テスト"; not "1.5" nor ".x" nor "a..b".
bool isDottedName(const QString &host)
{
    QStringList labels = host.split(QLatin1Char('.'));
    if (labels.size() < 2)
        return false;
    if (labels.last().isEmpty())  // the root's dot: "example.com."
        labels.removeLast();
    bool allDigits = true;
    for (const QString &label : labels) {
        if (label.isEmpty())
            return false;
        for (QChar c : label)
            allDigits = allDigits && c.isDigit();
    }
    return labels.size() >= 2 && !allDigits && !QUrl::toAce(host).isEmpty();
}

TypedText addressOf(const QUrl &url)
{
    return {TypedText::Address, url, {}};
}

}  // namespace

TypedText readTypedText(const QString &text, RelativeFiles files)
{
    const QString typed = text.trimmed();
    if (typed.isEmpty())
        return {};
    const TypedText words{TypedText::Search, {}, typed.simplified()};

    if (typed == QLatin1String("~") || typed.startsWith(QLatin1String("~/")))
        return addressOf(QUrl::fromLocalFile(QDir::homePath() + typed.mid(1)));
    if (typed.startsWith(QLatin1Char('/')) || typed.startsWith(QLatin1String("./")) ||
        typed.startsWith(QLatin1String("../")) ||
        (files == RelativeFiles::Look && QFileInfo::exists(QDir::current().absoluteFilePath(typed))))
        return addressOf(QUrl::fromUserInput(typed, QDir::currentPath(), QUrl::AssumeLocalFile));

    // "localhost:8080" and "example.com:8080/x" look like a scheme but are a
    // host and its port.
    static const QRegularExpression schemeForm(QStringLiteral("^([A-Za-z][A-Za-z0-9+.-]*):(.*)$"),
                                               QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression portForm(QStringLiteral("^([0-9]+)([/?#].*)?$"),
                                             QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch scheme = schemeForm.match(typed);
    const QRegularExpressionMatch port = portForm.match(scheme.captured(2));
    if (scheme.hasMatch() && !(port.hasMatch() && validPort(port.captured(1)))) {
        if (!knownScheme(scheme.captured(1).toLower()) && !scheme.captured(2).startsWith(QLatin1String("//")))
            return words;  // "note: milk", "c++:"
        const QUrl url = QUrl::fromUserInput(typed);
        return url.isValid() ? addressOf(url) : words;
    }

    // A host, with its user and port, up to the path.
    static const QRegularExpression pathStart(QStringLiteral("[/?#]"));
    const qsizetype end = typed.indexOf(pathStart);
    QString host = end < 0 ? typed : typed.left(end);
    if (host.isEmpty() || std::any_of(host.cbegin(), host.cend(), [](QChar c) { return c.isSpace(); }))
        return words;
    host = host.mid(host.lastIndexOf(QLatin1Char('@')) + 1);
    QHostAddress ip;
    if (end < 0 && ip.setAddress(host) && ip.protocol() == QAbstractSocket::IPv6Protocol)
        return addressOf(QUrl(QStringLiteral("http://[%1]/").arg(host)));  // "::1"
    bool hasPort = false;
    if (host.startsWith(QLatin1Char('['))) {
        const qsizetype close = host.indexOf(QLatin1Char(']'));
        const QString after = close < 0 ? QString() : host.mid(close + 1);
        if (close < 0 || !ip.setAddress(host.mid(1, close - 1)) ||
            ip.protocol() != QAbstractSocket::IPv6Protocol ||
            (!after.isEmpty() && !(after.startsWith(QLatin1Char(':')) && validPort(after.mid(1)))))
            return words;
    } else {
        const qsizetype colon = host.lastIndexOf(QLatin1Char(':'));
        if (colon >= 0) {
            if (!validPort(host.mid(colon + 1)))
                return words;
            host.truncate(colon);
            hasPort = true;
        }
        if (host.isEmpty() ||
            !(hasPort || host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0 || isIPv4(host) ||
              isDottedName(host)))
            return words;  // "tenki", "日本"
    }
    const QUrl url(QStringLiteral("http://") + typed, QUrl::TolerantMode);
    return url.isValid() && !url.host().isEmpty() ? addressOf(url) : words;
}

QUrl searchAddress(const QString &searchTemplate, const QString &words)
{
    QString address = searchTemplate;
    address.replace(QLatin1String("%s"), QString::fromLatin1(QUrl::toPercentEncoding(words)));
    return QUrl(address, QUrl::TolerantMode);
}

QString defaultSearchTemplate()
{
    return QStringLiteral("https://www.google.co.jp/search?q=%s&ie=UTF-8");
}

QUrl urlFromUserInput(const QString &address)
{
    const TypedText typed = readTypedText(address);
    switch (typed.kind) {
    case TypedText::Address:
        return typed.address;
    case TypedText::Search:
        return searchAddress(defaultSearchTemplate(), typed.words);
    case TypedText::Empty:
        break;
    }
    return QUrl();
}

namespace {
bool privateBeingMade = false;
}  // namespace

bool makingPrivate()
{
    return privateBeingMade;
}

EngineControl *create(const QString &classId, QWidget *parent, bool privateWindow)
{
    const Factory factory = registry().value(classId.toUpper());
    if (!factory)
        throw VexelError(classNotRegisteredMessage());
    // A factory makes its control before it returns (it may throw).
    const QScopedValueRollback making(privateBeingMade, privateWindow);
    EngineControl *control = factory(parent);
    if (!control)
        throw VexelError(classNotRegisteredMessage());
    return control;
}

qreal nextZoom(qreal current, int step)
{
    static constexpr std::array<qreal, 15> levels = {0.25, 0.33, 0.5, 0.67, 0.75, 0.8, 0.9, 1.0,
                                                     1.1,  1.25, 1.5, 1.75, 2.0, 2.5, 3.0};
    if (step == 0)
        return 1.0;
    if (step > 0) {
        for (qreal level : levels)
            if (level > current + 0.001)
                return level;
        return levels.back();
    }
    for (auto it = levels.rbegin(); it != levels.rend(); ++it)
        if (*it < current - 0.001)
            return *it;
    return levels.front();
}

}  // namespace engines
