// SPDX-License-Identifier: GPL-3.0-or-later
// What sites keep, in both engines: the site data list shows each site's
// cookies and storage; removing one site leaves the other; clearing all of
// it removes it for real, as the sites' own pages read back. A period
// short of all keeps what is older.

#include "webkittests.h"

#include "app/clearingform.h"
#include "app/browsinghistory.h"
#include "app/framekeys.h"
#include "browser/sitedataform.h"
#include "browser/sitepermissions.h"
#include "history/historystore.h"
#include "httpserver.h"

#include <QComboBox>
#include <QCheckBox>
#include <QSignalSpy>
#include <QTreeWidget>

namespace {

// Sets a lasting cookie, localStorage and an IndexedDB database, then says
// "set".
const QByteArray kSetPage =
    "<!DOCTYPE html><title>writing</title><script>"
    "document.cookie = 'kept=1; max-age=3600; path=/';"
    "localStorage.setItem('kept', '1');"
    "const q = indexedDB.open('kept', 1);"
    "q.onupgradeneeded = () => q.result.createObjectStore('s');"
    "q.onerror = () => document.title = 'failed';"
    "q.onsuccess = () => { const db = q.result; const t = db.transaction('s', 'readwrite');"
    "  t.objectStore('s').put('1', 'k'); t.oncomplete = () => { db.close(); document.title = 'set'; }; };"
    "</script>";

// Says which of them the site still has: "read:cookie localStorage IndexedDB", or "read:none".
const QByteArray kReadPage =
    "<!DOCTYPE html><title>reading</title><script>"
    "(async () => { const kept = [];"
    "  if (document.cookie.includes('kept=1')) kept.push('cookie');"
    "  if (localStorage.getItem('kept')) kept.push('localStorage');"
    "  if ((await indexedDB.databases()).some(d => d.name === 'kept')) kept.push('IndexedDB');"
    "  document.title = 'read:' + (kept.join(' ') || 'none'); })();"
    "</script>";

const QString kAll = QStringLiteral("read:cookie localStorage IndexedDB");
const QString kNone = QStringLiteral("read:none");

QUrl onHost(QUrl url, const QString &host)
{
    url.setHost(host);
    return url;
}

// Opens address in a window of engine and returns the title it settles on
// beginning with prefix; the window closes again.
QString titleOf(const QString &engine, const QUrl &address, const QString &prefix)
{
    QPointer<TBrowserWindow> w = openOn(engine, address.toString());
    if (!w)
        return QStringLiteral("no window");
    (void)QTest::qWaitFor([&] { return !w || (w->windowTitle().startsWith(prefix) && w->windowTitle() != QLatin1String("reading")); },
                    kWait);
    const QString title = w ? w->windowTitle() : QStringLiteral("window gone");
    if (w)
        w->close();
    return title;
}

QTreeWidgetItem *row(SiteDataForm *form, const QString &host)
{
    const QList<QTreeWidgetItem *> found = form->lvSites->findItems(host, Qt::MatchExactly, 0);
    return found.value(0);
}

}  // namespace

class TestSiteData : public EngineTest {
    Q_OBJECT
private slots:
    void cleanup()
    {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (qobject_cast<SiteDataForm *>(w) || qobject_cast<TClearingForm *>(w))
                w->close();
        EngineTest::cleanup();
    }

    void listedRemovedCleared_data() { engineRows(); }
    void listedRemovedCleared();
    void periodKeepsWhatIsOlder();

};

void TestSiteData::listedRemovedCleared()
{
    QFETCH(QString, engine);
    HttpServer server;
    server.route("/set", [](const HttpRequest &) {
        HttpResponse r;
        r.headers = {{"Content-Type", "text/html; charset=utf-8"}};
        r.body = kSetPage;
        return r;
    });
    server.route("/read", [](const HttpRequest &) {
        HttpResponse r;
        r.headers = {{"Content-Type", "text/html; charset=utf-8"}};
        r.body = kReadPage;
        return r;
    });
    // Two sites of one server.
    const QStringList hosts = {QStringLiteral("127.0.0.1"), QStringLiteral("localhost")};
    for (const QString &host : hosts)
        QCOMPARE(titleOf(engine, onHost(server.url("/set"), host), QStringLiteral("set")), QStringLiteral("set"));

    // A page's localStorage reaches the engine's store without an answer to
    // the page (IndexedDB's write is answered): on a busy machine a list
    // made at once may not have it yet, and the list is made again.
    SiteDataForm *form = SiteDataForm::showFor(MainForm);
    const auto keepsBoth = [&] {
        if (form->isBusy())
            return false;
        for (const QString &host : hosts) {
            const QTreeWidgetItem *item = row(form, host);
            if (!item || !item->text(3).contains(QStringLiteral("localStorage")) ||
                !item->text(3).contains(QStringLiteral("IndexedDB"))) {
                form->reload();
                return false;
            }
        }
        return true;
    };
    QTRY_VERIFY_WITH_TIMEOUT(keepsBoth(), kWait);
    for (const QString &host : hosts) {
        QTreeWidgetItem *item = row(form, host);
        QVERIFY(item->text(1).contains(isGecko(engine) ? QStringLiteral("Gecko") : QStringLiteral("Internet Explorer")));
        QVERIFY(item->text(2).toInt() >= 1);
    }

    // One site goes; the other keeps everything.
    row(form, QStringLiteral("localhost"))->setSelected(true);
    form->btnRemove->click();
    QTRY_VERIFY_WITH_TIMEOUT(!form->isBusy(), kWait);
    QVERIFY(!row(form, QStringLiteral("localhost")));
    QVERIFY(row(form, QStringLiteral("127.0.0.1")));
    QCOMPARE(titleOf(engine, onHost(server.url("/read"), QStringLiteral("localhost")), QStringLiteral("read:")), kNone);
    QCOMPARE(titleOf(engine, server.url("/read"), QStringLiteral("read:")), kAll);
    form->close();

    // All of it, of all time.
    TClearingForm *clearing = TClearingForm::showFor(MainForm);
    clearing->cmbPeriod->setCurrentIndex(clearing->cmbPeriod->count() - 1);
    QCOMPARE(clearing->cmbPeriod->currentText(), QStringLiteral("すべての期間"));
    QSignalSpy cleared(clearing, &TClearingForm::cleared);
    clearing->btnClear->click();
    QTRY_COMPARE_WITH_TIMEOUT(cleared.size(), 1, kWait);
    const QStringList failures = cleared.first().first().toStringList();
    QVERIFY2(failures.isEmpty(), qPrintable(failures.join('|')));
    QCOMPARE(titleOf(engine, server.url("/read"), QStringLiteral("read:")), kNone);
}

// The last hour: what was visited before it stays in the history, and so
// do the permissions of the sites visited only before it.
void TestSiteData::periodKeepsWhatIsOlder()
{
    HistoryStore *history = MainForm->browsingHistory()->store();
    history->clear();
    const QString older = QStringLiteral("http://older.test/page"), recent = QStringLiteral("http://recent.test:8080/page");
    history->recordVisit(older, QStringLiteral("older"), QDateTime::currentDateTime().addSecs(-2 * 3600));
    history->recordVisit(recent, QStringLiteral("recent"));
    QFile::remove(sitepermissions::storePath());
    for (const QString &address : {older, recent})
        sitepermissions::remember(sitepermissions::siteOf(QUrl(address)), sitepermissions::Kind::Geolocation, true);

    // Ctrl+Shift+Delete opens it, and the key list says so.
    QAction *key = MainForm->findChild<QAction *>(QStringLiteral("ClearDataAction"));
    QVERIFY(key && key->shortcuts().contains(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Delete)));
    const QList<TFrameKeys::Entry> keys = MainForm->Keys->entries();
    QVERIFY(std::any_of(keys.begin(), keys.end(), [](const TFrameKeys::Entry &e) { return e.meaning == QStringLiteral("閲覧データを消去"); }));
    key->trigger();
    auto *clearing = MainForm->findChild<TClearingForm *>();
    QVERIFY(clearing && clearing->isVisible());
    clearing->cmbPeriod->setCurrentIndex(0);
    clearing->chkHistory->setChecked(true);
    clearing->chkPermissions->setChecked(true);
    clearing->chkCookies->setChecked(false);
    clearing->chkCache->setChecked(false);
    QSignalSpy cleared(clearing, &TClearingForm::cleared);
    clearing->btnClear->click();
    QTRY_COMPARE_WITH_TIMEOUT(cleared.size(), 1, kWait);

    QStringList left;
    for (const HistoryStore::Entry &e : history->entries())
        left << e.address;
    QCOMPARE(left, QStringList{older});
    const QList<sitepermissions::Entry> decisions = sitepermissions::remembered();
    QCOMPARE(decisions.size(), 1);
    QCOMPARE(decisions.first().site, sitepermissions::siteOf(QUrl(older)));
}

int main(int argc, char *argv[])
{
    TestSiteData tc;
    return vexelTestMain(argc, argv, &tc);
}

#include "test_sitedata.moc"
