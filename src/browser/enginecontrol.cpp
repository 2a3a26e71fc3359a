#include "enginecontrol.h"

#include "core/errors.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
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

QUrl urlFromUserInput(const QString &address)
{
    const QString trimmed = address.trimmed();
    if (trimmed.isEmpty())
        return QUrl();
    if (trimmed.startsWith(QLatin1Char('/')) || trimmed.startsWith(QLatin1String("./")) ||
        trimmed.startsWith(QLatin1String("../")) || trimmed.startsWith(QLatin1Char('~')) ||
        QFileInfo::exists(QDir::current().absoluteFilePath(trimmed)))
        return QUrl::fromUserInput(trimmed, QDir::currentPath(), QUrl::AssumeLocalFile);
    return QUrl::fromUserInput(trimmed);
}

EngineControl *create(const QString &classId, QWidget *parent)
{
    const Factory factory = registry().value(classId.toUpper());
    if (!factory)
        throw VexelError(classNotRegisteredMessage());
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
