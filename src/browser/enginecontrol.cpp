#include "enginecontrol.h"

#include "app/errors.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>

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

}  // namespace engines
