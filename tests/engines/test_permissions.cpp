// SPDX-License-Identifier: GPL-3.0-or-later
// A page asking where the user is, or to show notifications, gets the
// user's answer through our question in both engines; a remembered decision
// answers without one; a damaged decisions file costs only its damage.

#include "webkittests.h"

#include "browser/sitepermissions.h"
#include "browser/sitesettings.h"
#include "httpserver.h"

#include <QCheckBox>
#include <QDeadlineTimer>
#include <QDBusConnection>
#include <QDialog>
#include <QFile>
#include <QPushButton>
#include <QTreeWidget>
#include <csignal>
#include <cstdio>

namespace {

using sitepermissions::Kind;

// Asks for kind as it loads; its title becomes "granted" or "denied". Where
// the user is may be unknown here: only a refusal counts as denied.
HttpResponse askingPage(Kind kind)
{
    const QByteArray script =
        kind == Kind::Geolocation
            ? "navigator.geolocation.getCurrentPosition(() => document.title = 'granted',"
              " e => document.title = e.code == e.PERMISSION_DENIED ? 'denied' : 'granted', {timeout: 3000});"
            : "document.onclick = () => { document.onclick = null; document.title = 'asked';"
              " Notification.requestPermission().then(p => document.title = p); };"
              " document.title = 'click';";
    HttpResponse r;
    r.headers = {{"Content-Type", "text/html; charset=utf-8"}};
    r.body = "<!DOCTYPE html><title>asking</title><body style='height:100vh'><script>" + script + "</script>";
    return r;
}

// Notifications are asked for on a click, as sites do (WebKit asks no
// other way). A page just shown may not take input yet on a busy machine:
// click again until it has seen a click (it asks on its first only).
bool prompt(TBrowserWindow *w, Kind kind)
{
    if (kind != Kind::Notifications)
        return true;
    const auto waiting = [w] { return w->windowTitle() == QLatin1String("click"); };
    if (!QTest::qWaitFor(waiting, kWait))
        return false;
    QDeadlineTimer deadline(kWait);
    while (waiting() && !deadline.hasExpired()) {
        if (!clickAt(onScreen(w->control(), w->control()->rect().center())))
            return false;
        (void)QTest::qWaitFor([&] { return !waiting(); }, 3000);
    }
    return !waiting();
}

WhenOpen::Step answer(bool allow, bool remember)
{
    return [allow, remember](QWidget *dialog) {
        QVERIFY(qobject_cast<QDialog *>(dialog));
        dialog->findChild<QCheckBox *>("chkRemember")->setChecked(remember);
        dialog->findChild<QPushButton *>(allow ? "btnAllow" : "btnDeny")->click();
    };
}

void rows(const QList<std::tuple<const char *, Kind, bool>> &cases)
{
    QTest::addColumn<QString>("engine");
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<bool>("allow");
    for (const EngineSlot &e : engineSlots())
        for (const auto &[name, kind, allow] : cases)
            QTest::addRow("%s-%s", e.tag, name) << e.clsid << kind << allow;
}

// A desktop's notification service on a bus of the run's own, recording
// what it is asked to show.
class FakeNotifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    QStringList shown;  // "summary|body"
public slots:
    QStringList GetCapabilities() { return {QStringLiteral("body")}; }
    uint Notify(const QString &, uint, const QString &, const QString &summary, const QString &body,
                const QStringList &, const QVariantMap &, int)
    {
        shown << summary + '|' + body;
        return uint(shown.size());
    }
};

// The bus: a dbus-daemon of this run, started before the application
// reads the session's address; 0 when there is none to start.
pid_t busDaemon = 0;

void startOwnBus()
{
    FILE *out = popen("dbus-daemon --session --fork --print-address=1 --print-pid=1 2>/dev/null", "r");
    char address[512] = {}, pid[32] = {};
    if (out && fgets(address, sizeof address, out) && fgets(pid, sizeof pid, out)) {
        qputenv("DBUS_SESSION_BUS_ADDRESS", QByteArray(address).trimmed());
        busDaemon = pid_t(QByteArray(pid).trimmed().toInt());
    }
    if (out)
        pclose(out);
}

}  // namespace

class TestPermissions : public EngineTest {
    Q_OBJECT
private slots:
    void init()
    {
        QFile::remove(sitepermissions::storePath());
        EngineTest::init();
    }

    void answerReachesThePage_data();
    void answerReachesThePage();
    void rememberedDecisionAnswers_data();
    void rememberedDecisionAnswers();
    void closingWhileAskingRefuses_data() { engineRows(); }
    void closingWhileAskingRefuses();
    void allowedNotificationsReachTheDesktop_data() { engineRows(); }
    void allowedNotificationsReachTheDesktop();
    void damagedFileKeepsTheRest();
    void siteSettingsChangeAndForget();

};

void TestPermissions::answerReachesThePage_data()
{
    rows({{"geolocation-allow", Kind::Geolocation, true},
          {"geolocation-deny", Kind::Geolocation, false},
          {"notifications-allow", Kind::Notifications, true},
          {"notifications-deny", Kind::Notifications, false}});
}

// The question names the site and what it asks; the answer reaches the
// page, and, remembered, answers the next page of the site without a word.
void TestPermissions::answerReachesThePage()
{
    QFETCH(QString, engine);
    QFETCH(Kind, kind);
    QFETCH(bool, allow);
    HttpServer server;
    server.route("/", [&](const HttpRequest &) { return askingPage(kind); });
    const QString site = sitepermissions::siteOf(server.url("/"));
    const QString outcome = allow ? QStringLiteral("granted") : QStringLiteral("denied");

    WhenOpen answers(answer(allow, true));
    TBrowserWindow *first = openOn(engine, server.url("/").toString());
    QVERIFY(prompt(first, kind));
    QTRY_COMPARE_WITH_TIMEOUT(first->windowTitle(), outcome, kWait);
    QCOMPARE(answers.texts,
             QStringList{QStringLiteral("127.0.0.1 が%1へのアクセスを求めています").arg(sitepermissions::kindLabel(kind))});
    QVERIFY(answers.parents.value(0) && first->isAncestorOf(answers.parents.first()));
    QCOMPARE(sitepermissions::rememberedDecision(site, kind), std::optional<bool>(allow));

    // The other answer, should anything ask again.
    WhenOpen again(answer(!allow, false));
    TBrowserWindow *second = openOn(engine, server.url("/").toString());
    QVERIFY(prompt(second, kind));
    QTRY_COMPARE_WITH_TIMEOUT(second->windowTitle(), outcome, kWait);
    QCOMPARE(again.texts, QStringList());
}

void TestPermissions::rememberedDecisionAnswers_data()
{
    rows({{"geolocation-allow", Kind::Geolocation, true}, {"notifications-deny", Kind::Notifications, false}});
}

// A decision in the file before the engine ever met the site answers the
// site's first question.
void TestPermissions::rememberedDecisionAnswers()
{
    QFETCH(QString, engine);
    QFETCH(Kind, kind);
    QFETCH(bool, allow);
    HttpServer server;
    server.route("/", [&](const HttpRequest &) { return askingPage(kind); });
    sitepermissions::remember(sitepermissions::siteOf(server.url("/")), kind, allow);

    WhenOpen asked(answer(!allow, false));
    TBrowserWindow *w = openOn(engine, server.url("/").toString());
    QVERIFY(prompt(w, kind));
    QTRY_COMPARE_WITH_TIMEOUT(w->windowTitle(), allow ? QString("granted") : QString("denied"), kWait);
    QCOMPARE(asked.texts, QStringList());
}

// The window goes while its page asks: the question goes with it, nothing
// is allowed or remembered.
void TestPermissions::closingWhileAskingRefuses()
{
    QFETCH(QString, engine);
    HttpServer server;
    server.route("/", [&](const HttpRequest &) { return askingPage(Kind::Geolocation); });
    QPointer<TBrowserWindow> w;
    QPointer<QWidget> question;
    WhenOpen closing(WhenOpen::Step([&](QWidget *dialog) {
        question = dialog;
        // The second close does not wait for the page.
        for (int i = 0; i < 2 && w; ++i)
            w->close();
    }));
    w = openOn(engine, server.url("/").toString());
    QTRY_VERIFY_WITH_TIMEOUT(closing.done(), kWait);
    QTRY_VERIFY_WITH_TIMEOUT(w.isNull() && question.isNull(), kWait);
    QCOMPARE(sitepermissions::remembered().size(), 0);
}

// A site's notification, the page's words as they are, and whose it is.
void TestPermissions::allowedNotificationsReachTheDesktop()
{
    QFETCH(QString, engine);
    if (!busDaemon)
        QSKIP("no dbus-daemon to run a notification service on");
    QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("desktop"));
    FakeNotifications desktop;
    QVERIFY(bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &desktop,
                               QDBusConnection::ExportAllSlots));
    QVERIFY(bus.registerService(QStringLiteral("org.freedesktop.Notifications")));
    const auto leave = qScopeGuard([&] {
        bus.unregisterService(QStringLiteral("org.freedesktop.Notifications"));
        bus.unregisterObject(QStringLiteral("/org/freedesktop/Notifications"));
    });

    HttpServer server;
    server.route("/", [&](const HttpRequest &) {
        HttpResponse r = askingPage(Kind::Notifications);
        r.body += "<script>document.onclick = () => { document.onclick = null; document.title = 'shown';"
                  " new Notification('お知らせ', {body: '<b>届きました</b>'}); };</script>";
        return r;
    });
    sitepermissions::remember(sitepermissions::siteOf(server.url("/")), Kind::Notifications, true);
    TBrowserWindow *w = openOn(engine, server.url("/").toString());
    QVERIFY(prompt(w, Kind::Notifications));
    QTRY_COMPARE_WITH_TIMEOUT(desktop.shown, QStringList{"お知らせ|<b>届きました</b>\n127.0.0.1"}, kWait);
}

void TestPermissions::damagedFileKeepsTheRest()
{
    QFile file(sitepermissions::storePath());
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("http://a.example:80\tgeolocation\tallow\n"
               "\x01\xff\xfe garbage\n"
               "http://b.example:80\tcamera\n"                      // a field short
               "http://b.example:80\tteleport\tallow\n"             // no such kind
               "http://b.example:80\tcamera\tmaybe\n"               // no such decision
               "http://b.example/path\tcamera\tallow\n"             // not a site
               "https://c.example:443\tnotifications\tdeny\n"
               "http://a.example:80\tgeolocation\tdeny");           // the last word, cut short
    file.close();

    const auto read = [] {
        QStringList entries;
        for (const sitepermissions::Entry &e : sitepermissions::remembered())
            entries << e.site + ' ' + sitepermissions::kindKey(e.kind) + ' ' + (e.allowed ? "allow" : "deny");
        return entries;
    };
    const QStringList kept{"https://c.example:443 notifications deny", "http://a.example:80 geolocation deny"};
    QCOMPARE(read(), kept);
    sitepermissions::remember(QStringLiteral("http://d.example:8080"), Kind::Microphone, true);
    QCOMPARE(read(), kept + QStringList{"http://d.example:8080 microphone allow"});
}

// The window opens on the page's site; what it changes or forgets is what
// both engines read next.
void TestPermissions::siteSettingsChangeAndForget()
{
    const QString a = QStringLiteral("http://a.example:80"), b = QStringLiteral("https://b.example:443");
    sitepermissions::remember(a, Kind::Geolocation, true);
    sitepermissions::remember(b, Kind::Camera, true);
    sitepermissions::remember(a, Kind::Notifications, true);
    SiteSettingsForm *form = SiteSettingsForm::showFor(MainForm, a);
    QCOMPARE(form->lvPermissions->topLevelItemCount(), 3);
    QStringList selected;
    for (QTreeWidgetItem *item : form->lvPermissions->selectedItems())
        selected << item->text(0) + ' ' + item->text(1) + ' ' + item->text(2);
    selected.sort();
    QCOMPARE(selected, QStringList({a + " 位置情報 許可", a + " 通知の表示 許可"}));

    form->btnDeny->click();
    QCOMPARE(sitepermissions::rememberedDecision(a, Kind::Geolocation), std::optional<bool>(false));
    QCOMPARE(sitepermissions::rememberedDecision(a, Kind::Notifications), std::optional<bool>(false));
    QCOMPARE(form->lvPermissions->selectedItems().value(0)->text(2), QString("拒否"));
    form->selectSite(b);
    form->btnRemove->click();
    QCOMPARE(sitepermissions::rememberedDecision(b, Kind::Camera), std::nullopt);
    QCOMPARE(form->lvPermissions->topLevelItemCount(), 2);
    form->close();
}

int main(int argc, char *argv[])
{
    TestPermissions tc;
    const int result = vexelTestMain(argc, argv, &tc, startOwnBus);
    if (busDaemon)
        kill(busDaemon, SIGTERM);
    return result;
}
#include "test_permissions.moc"
