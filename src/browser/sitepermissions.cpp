// SPDX-License-Identifier: GPL-3.0-or-later
#include "sitepermissions.h"

#include "browser/enginecontrol.h"
#include "core/atomicfile.h"
#include "core/errors.h"
#include "core/placement.h"
#include "core/programdir.h"

#include <QCheckBox>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSet>
#include <QVBoxLayout>

namespace sitepermissions {

namespace {

struct KindInfo {
    Kind kind;
    const char *key;
    const char *label;
};

const KindInfo kinds[] = {
    {Kind::Geolocation, "geolocation", "位置情報"},
    {Kind::Notifications, "notifications", "通知の表示"},
    {Kind::Camera, "camera", "カメラ"},
    {Kind::Microphone, "microphone", "マイク"},
    {Kind::CameraAndMicrophone, "camera-microphone", "カメラとマイク"},
    {Kind::ScreenSharing, "screen", "画面の共有"},
    {Kind::ClipboardRead, "clipboard-read", "クリップボードの読み取り"},
    {Kind::PointerLock, "pointer-lock", "マウスポインターの固定"},
};

const KindInfo &infoOf(Kind kind)
{
    for (const KindInfo &info : kinds)
        if (info.kind == kind)
            return info;
    return kinds[0];
}

// What was allowed for this run only, so that a decision the user removes
// in the settings window holds back the engine's own memory of it too.
// A private window's decisions "remembered" are kept here, never in the
// file, until the last private window closes.
QHash<std::pair<QString, int>, bool> &privateDecisions()
{
    static QHash<std::pair<QString, int>, bool> decisions;
    return decisions;
}

bool inPrivateWindow(const QWidget *page)
{
    for (const QWidget *w = page; w; w = w->parentWidget())
        if (const auto *control = qobject_cast<const EngineControl *>(w))
            return control->IsPrivate();
    return false;
}

QSet<std::pair<QString, int>> &allowedThisRun()
{
    static QSet<std::pair<QString, int>> allowed;
    return allowed;
}

}  // namespace

QString kindKey(Kind kind)
{
    return QString::fromLatin1(infoOf(kind).key);
}

std::optional<Kind> kindFromKey(const QString &key)
{
    for (const KindInfo &info : kinds)
        if (key == QLatin1String(info.key))
            return info.kind;
    return std::nullopt;
}

QString kindLabel(Kind kind)
{
    return QString::fromUtf8(infoOf(kind).label);
}

QString siteOf(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("file"))
        return QStringLiteral("file://");
    int port = -1;
    if (scheme == QLatin1String("http") || scheme == QLatin1String("ws"))
        port = url.port(80);
    else if (scheme == QLatin1String("https") || scheme == QLatin1String("wss"))
        port = url.port(443);
    if (port < 0 || url.host().isEmpty())
        return QString();
    // Through QUrl again, so an IPv6 host keeps its brackets and a site
    // read back from the file compares equal.
    QUrl site;
    site.setScheme(scheme);
    site.setHost(url.host());
    site.setPort(port);
    return site.toString();
}

QString siteName(const QString &site)
{
    const QUrl url(site);
    // "file://" would read as a fault; the user opened a file of their own.
    if (url.isLocalFile() || url.scheme() == QLatin1String("file"))
        return QStringLiteral("ローカル ファイル");
    return url.host().isEmpty() ? site : url.host();
}

QString questionText(const QString &site, Kind kind)
{
    return QStringLiteral("%1 が%2へのアクセスを求めています").arg(siteName(site), kindLabel(kind));
}

QString storePath()
{
    return userDataDirectory() + QStringLiteral("site-permissions.txt");
}

// One decision a line: site, kind and "allow" or "deny", apart by tabs.
QList<Entry> remembered()
{
    QList<Entry> entries;
    QFile file(storePath());
    if (!file.open(QIODevice::ReadOnly))
        return entries;
    // A small list; anything far larger is not ours.
    const QByteArray bytes = file.read(4 * 1024 * 1024);
    for (const QByteArray &line : bytes.split('\n')) {
        const QStringList fields = QString::fromUtf8(line).split(QLatin1Char('\t'));
        if (fields.size() != 3)
            continue;
        const std::optional<Kind> kind = kindFromKey(fields[1]);
        const bool allow = fields[2] == QLatin1String("allow");
        if (!kind || (!allow && fields[2] != QLatin1String("deny")) || fields[0].isEmpty() ||
            siteOf(QUrl(fields[0])) != fields[0])
            continue;
        // The last word on a site and kind stands.
        entries.removeIf([&](const Entry &e) { return e.site == fields[0] && e.kind == *kind; });
        entries.append({fields[0], *kind, allow});
    }
    return entries;
}

std::optional<bool> rememberedDecision(const QString &site, Kind kind)
{
    for (const Entry &e : remembered())
        if (e.site == site && e.kind == kind)
            return e.allowed;
    return std::nullopt;
}

void remember(const QString &site, Kind kind, std::optional<bool> allowed)
{
    if (!allowed || !*allowed)
        allowedThisRun().remove({site, int(kind)});
    QList<Entry> entries = remembered();
    entries.removeIf([&](const Entry &e) { return e.site == site && e.kind == kind; });
    if (allowed && !site.isEmpty())
        entries.append({site, kind, *allowed});
    QByteArray bytes;
    for (const Entry &e : entries)
        bytes += e.site.toUtf8() + '\t' + kindKey(e.kind).toLatin1() + '\t' + (e.allowed ? "allow" : "deny") + '\n';
    writeFileAtomically(storePath(), bytes);
}

Answer ask(QWidget *page, const QString &site, Kind kind)
{
    // On the heap: a window that goes while asking takes its dialog along.
    QPointer<QDialog> dialog = new QDialog(page);
    dialog->setObjectName(QStringLiteral("PermissionDialog"));
    dialog->setWindowTitle(QStringLiteral("Vexel"));
    auto *layout = new QVBoxLayout(dialog);
    auto *message = new QLabel(dialog);
    message->setObjectName(QStringLiteral("lblQuestion"));
    message->setTextFormat(Qt::PlainText);  // the host is the page's word
    message->setText(questionText(site, kind));
    message->setWordWrap(true);
    layout->addWidget(message);
    auto *rememberBox = new QCheckBox(QStringLiteral("このサイトについて記憶する"), dialog);
    rememberBox->setObjectName(QStringLiteral("chkRemember"));
    layout->addWidget(rememberBox);
    auto *buttons = new QDialogButtonBox(dialog);
    QPushButton *allow = buttons->addButton(QStringLiteral("許可"), QDialogButtonBox::AcceptRole);
    allow->setObjectName(QStringLiteral("btnAllow"));
    QPushButton *deny = buttons->addButton(QStringLiteral("拒否"), QDialogButtonBox::RejectRole);
    deny->setObjectName(QStringLiteral("btnDeny"));
    // Enter alone does not hand the site what it asks for.
    allow->setAutoDefault(false);
    deny->setDefault(true);
    deny->setFocus();
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    layout->addWidget(buttons);
    if (QWidget *over = dialog->parentWidget())
        centreOver(dialog, over->window());
    const bool allowed = dialog->exec() == QDialog::Accepted;
    if (!dialog)
        return {};
    const Answer answer{allowed, rememberBox->isChecked()};
    delete dialog;
    return answer;
}

bool decide(QWidget *page, const QString &site, Kind kind)
{
    if (site.isEmpty())
        return false;
    const bool privateWindow = inPrivateWindow(page);
    // A private window follows the user's refusals, but what was allowed
    // elsewhere is asked again: allowing is no trace it should carry.
    std::optional<bool> known = rememberedDecision(site, kind);
    if (privateWindow && known == true)
        known.reset();
    if (privateWindow && !known && privateDecisions().contains({site, int(kind)}))
        return privateDecisions().value({site, int(kind)});
    if (known) {
        if (*known)
            allowedThisRun().insert({site, int(kind)});
        return *known;
    }
    const QPointer<QWidget> asker(page);
    const Answer answer = ask(page, site, kind);
    // The page has its answer even when the file refuses to keep it.
    if (answer.remember && privateWindow)
        privateDecisions().insert({site, int(kind)}, answer.allowed);
    else if (answer.remember)
        runGuarded([&] { remember(site, kind, answer.allowed); });
    // A window that went while asking gives nothing away.
    const bool allowed = answer.allowed && (asker || !page);
    if (allowed)
        allowedThisRun().insert({site, int(kind)});
    return allowed;
}

void forgetPrivateDecisions()
{
    privateDecisions().clear();
}

bool notifyDesktop(const QString &site, const QString &title, const QString &body)
{
    const std::optional<bool> known = rememberedDecision(site, Kind::Notifications);
    if (known ? !*known : !allowedThisRun().contains({site, int(Kind::Notifications)}))
        return false;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return true;
    static const QString service = QStringLiteral("org.freedesktop.Notifications");
    static const QString path = QStringLiteral("/org/freedesktop/Notifications");
    // A service that reads markup in the body would read the page's; it is
    // escaped for that one only. Neither call waits, and no service (an
    // error answer) shows nothing.
    QDBusMessage capabilities = QDBusMessage::createMethodCall(service, path, service, QStringLiteral("GetCapabilities"));
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(capabilities));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher, [site, title, body](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        const QDBusPendingReply<QStringList> reply = *w;
        if (reply.isError())
            return;
        const bool markup = reply.value().contains(QStringLiteral("body-markup"));
        QDBusMessage notify = QDBusMessage::createMethodCall(service, path, service, QStringLiteral("Notify"));
        // Whose notification it is, under what it says.
        const QString text = (body.isEmpty() ? QString() : (markup ? body.toHtmlEscaped() : body) + QLatin1Char('\n')) +
                             siteName(site);
        notify << QStringLiteral("Vexel") << quint32(0) << QString() << title << text << QStringList()
               << QVariantMap() << qint32(-1);
        QDBusConnection::sessionBus().asyncCall(notify);
    });
    return true;
}

}  // namespace sitepermissions
