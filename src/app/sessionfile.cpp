// SPDX-License-Identifier: GPL-3.0-or-later
#include "sessionfile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>

namespace {

const QString kIE = QStringLiteral("IE");
const QString kGecko = QStringLiteral("Gecko");

// A whole number within the limit; none for anything else (a fraction, a
// string, 1e300).
std::optional<int> coordinate(const QJsonValue &value)
{
    if (!value.isDouble())
        return std::nullopt;
    const double d = value.toDouble();
    if (!(std::abs(d) <= kSessionCoordinateLimit) || d != std::floor(d))
        return std::nullopt;
    return int(d);
}

// The place as written, when it is one: every coordinate present and sane,
// the size positive.
QRect placeOf(const QJsonObject &o)
{
    const auto x = coordinate(o.value(QStringLiteral("x")));
    const auto y = coordinate(o.value(QStringLiteral("y")));
    const auto width = coordinate(o.value(QStringLiteral("width")));
    const auto height = coordinate(o.value(QStringLiteral("height")));
    if (!x || !y || !width || !height || *width <= 0 || *height <= 0)
        return {};
    return {*x, *y, *width, *height};
}

}  // namespace

QByteArray sessionToJson(const SessionSnapshot &snapshot)
{
    QJsonArray windows;
    for (const SessionEntry &e : snapshot.windows) {
        QJsonObject o{{QStringLiteral("engine"), e.ie ? kIE : kGecko},
                      {QStringLiteral("address"), e.address},
                      {QStringLiteral("title"), e.title}};
        if (e.geometry.isValid()) {
            o.insert(QStringLiteral("x"), e.geometry.x());
            o.insert(QStringLiteral("y"), e.geometry.y());
            o.insert(QStringLiteral("width"), e.geometry.width());
            o.insert(QStringLiteral("height"), e.geometry.height());
        }
        if (e.minimized)
            o.insert(QStringLiteral("minimized"), true);
        if (e.maximized)
            o.insert(QStringLiteral("maximized"), true);
        windows.append(o);
    }
    QJsonObject root{{QStringLiteral("windows"), windows}, {QStringLiteral("active"), snapshot.active}};
    if (snapshot.restoring)
        root.insert(QStringLiteral("restoring"), true);
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

std::optional<SessionSnapshot> sessionFromJson(const QByteArray &bytes)
{
    if (bytes.size() > kSessionMaxBytes)
        return std::nullopt;
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return std::nullopt;
    const QJsonObject root = doc.object();
    if (!root.value(QStringLiteral("windows")).isArray())
        return std::nullopt;
    SessionSnapshot snapshot;
    for (const QJsonValue &v : root.value(QStringLiteral("windows")).toArray()) {
        const QJsonObject o = v.toObject();
        const QString engine = o.value(QStringLiteral("engine")).toString();
        if (!v.isObject() || (engine != kIE && engine != kGecko) || !o.value(QStringLiteral("address")).isString())
            return std::nullopt;
        SessionEntry e;
        e.ie = engine == kIE;
        e.address = o.value(QStringLiteral("address")).toString();
        e.title = o.value(QStringLiteral("title")).toString();
        e.geometry = placeOf(o);
        e.minimized = o.value(QStringLiteral("minimized")).toBool();
        e.maximized = o.value(QStringLiteral("maximized")).toBool();
        snapshot.windows.append(e);
    }
    const int active = root.value(QStringLiteral("active")).toInt(-1);
    snapshot.active = active >= 0 && active < snapshot.windows.size() ? active : -1;
    snapshot.restoring = root.value(QStringLiteral("restoring")).toBool();
    return snapshot;
}

QRect restoredPlace(const QRect &saved, const QSize &area)
{
    if (!saved.isValid() || area.isEmpty())
        return {};
    const QSize size = saved.size().boundedTo(area);
    // Moved back inside from whichever edge it crossed.
    const int x = qBound(0, saved.x(), area.width() - size.width());
    const int y = qBound(0, saved.y(), area.height() - size.height());
    return {QPoint(x, y), size};
}
