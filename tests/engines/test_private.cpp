// SPDX-License-Identifier: GPL-3.0-or-later
// Private windows in both engines: a page that keeps a cookie, local
// storage and IndexedDB leaves no file changed under the user's folders or
// the program's; what it opens is private too; a normal window afterwards
// sees none of it.

#include "webkittests.h"

#include "app/framekeys.h"
#include "browser/contentblocking.h"
#include "browser/engines/webengine/webenginecontrol.h"
#include "httpserver.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QMap>

namespace {

// Keeps a cookie, a local storage entry and an IndexedDB record, then says
// so in its title; the whole page is a button that opens a window.
const QByteArray kStorePage = R"html(<!DOCTYPE html><html><head><meta charset="utf-8"><title>storing</title></head>
<body style="margin:0"><button id="open" style="width:100vw;height:100vh"
 onclick="window.open('/popup.html')">open</button><script>
document.cookie = 'script=1; max-age=86400';
localStorage.setItem('secret', 'kept');
const request = indexedDB.open('private-db', 1);
request.onupgradeneeded = () => request.result.createObjectStore('store');
request.onsuccess = () => {
    const tx = request.result.transaction('store', 'readwrite');
    tx.objectStore('store').put('kept', 'secret');
    tx.oncomplete = () => { document.title = 'stored'; };
};
</script></body></html>)html";

// What a page of the same site finds: cookies, local storage, IndexedDB.
const QByteArray kReadPage = R"html(<!DOCTYPE html><html><head><meta charset="utf-8"><title>reading</title></head>
<body><script>
const cookie = document.cookie.includes('secret') || document.cookie.includes('script') ? 'seen' : 'none';
const storage = localStorage.getItem('secret') || 'none';
let fresh = false;
const request = indexedDB.open('private-db', 1);
request.onupgradeneeded = () => { fresh = true; };
request.onsuccess = () => {
    document.title = TITLE + ' cookie:' + cookie + ' storage:' + storage + ' db:' + (fresh ? 'none' : 'seen');
};
</script></body></html>)html";

// Every folder and file under the roots: path, size, modification time and
// a hash of the content.
QMap<QString, QString> snapshot(const QStringList &roots)
{
    QMap<QString, QString> all;
    for (const QString &root : roots) {
        QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QFileInfo info(it.next());
            QString what = QStringLiteral("folder");
            if (info.isFile()) {
                QFile f(info.filePath());
                const QByteArray hash = f.open(QIODevice::ReadOnly)
                                            ? QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256).toHex()
                                            : QByteArray("unreadable");
                what = QStringLiteral("%1 bytes, %2, %3")
                           .arg(info.size())
                           .arg(info.lastModified().toMSecsSinceEpoch())
                           .arg(QString::fromLatin1(hash));
            }
            all.insert(info.filePath(), what);
        }
    }
    return all;
}

QStringList differences(const QMap<QString, QString> &before, const QMap<QString, QString> &after)
{
    QStringList changed;
    for (auto it = after.cbegin(); it != after.cend(); ++it)
        if (before.value(it.key()) != it.value())
            changed << it.key() + QStringLiteral(": ") + it.value();
    for (auto it = before.cbegin(); it != before.cend(); ++it)
        if (!after.contains(it.key()))
            changed << it.key() + QStringLiteral(": gone");
    return changed;
}

bool closeAll()
{
    for (TBrowserWindow *w : MainForm->browserWindows())
        w->close();
    return QTest::qWaitFor([] { return MainForm->browserWindows().isEmpty(); }, kWait);
}

}  // namespace

class TestPrivate : public EngineTest {
    Q_OBJECT
private slots:
    void init();
    void leavesNothingBehind_data() { engineRows(); }
    void leavesNothingBehind();
    void normalWindowSeesNothing_data() { engineRows(); }
    void normalWindowSeesNothing();

private:
    // Opens a private window with the frame's key on the engine's slot, on
    // the page that stores; the window once the page has stored.
    TBrowserWindow *openPrivateAndStore(const QString &engine);

    std::unique_ptr<HttpServer> server_;
};

void TestPrivate::init()
{
    EngineTest::init();
    server_ = std::make_unique<HttpServer>();
    server_->route("/store.html", [](const HttpRequest &) {
        return HttpResponse{200, "OK",
                            {{"Content-Type", "text/html"}, {"Set-Cookie", "secret=1; Max-Age=86400; Path=/"}},
                            kStorePage, false};
    });
    const auto reader = [](const QByteArray &title) {
        return [title](const HttpRequest &) {
            return HttpResponse{
                200, "OK", {{"Content-Type", "text/html"}}, QByteArray(kReadPage).replace("TITLE", "'" + title + "'"),
                false};
        };
    };
    server_->route("/popup.html", reader("popup"));
    server_->route("/read.html", reader("read"));
    server_->route("/second.html", reader("second"));
    // The filters load once, after the frame is up; they are no trace of a
    // private window.
    const QString list = fixture_.dirs().programDir() + QStringLiteral("test-list.txt");
    QFile file(list);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("||ads.invalid^\n");
    file.close();
    ContentBlocking::setPackagedListsForTesting({list});
    QSignalSpy loaded(&ContentBlocking::instance(), &ContentBlocking::changed);
    ContentBlocking::instance().reload();
    QTRY_VERIFY_WITH_TIMEOUT(!loaded.isEmpty(), kWait);
    QVERIFY(ContentBlocking::instance().engine());
}

TBrowserWindow *TestPrivate::openPrivateAndStore(const QString &engine)
{
    if (isGecko(engine)) {
        MainForm->Moz_Item->setEnabled(true);
        MainForm->Moz_ItemClick();
    } else {
        MainForm->IE_itemClick();
    }
    MainForm->Keys->PrivateWindowAction->trigger();
    TBrowserWindow *w = MainForm->ActiveMDIChild();
    if (!w || !w->isPrivate() || w->control()->IsPrivate() != true)
        return nullptr;
    w->control()->Navigate(server_->url(QStringLiteral("/store.html")).toString());
    if (!QTest::qWaitFor([w] { return w->windowTitle() == QStringLiteral("stored（プライベート）"); }, kWait))
        return nullptr;
    return w;
}

void TestPrivate::leavesNothingBehind()
{
    QFETCH(QString, engine);
    const QStringList roots{qEnvironmentVariable("HOME"), qEnvironmentVariable("XDG_DATA_HOME"),
                            qEnvironmentVariable("XDG_CACHE_HOME"), qEnvironmentVariable("XDG_CONFIG_HOME"),
                            fixture_.dirs().programDir(), fixture_.dirs().currentDir()};
    const QMap<QString, QString> before = snapshot(roots);

    TBrowserWindow *first = openPrivateAndStore(engine);
    QVERIFY(first);
    QCOMPARE(first->pageCaption(), QString("stored"));
    QVERIFY(first->palette().color(QPalette::Highlight) != QApplication::palette().color(QPalette::Highlight));

    // A page's window.open, on the user's click: private too, and of the
    // same private session.
    const QWidget *page = first->control();
    QVERIFY(clickAt(onScreen(page, page->rect().center())));
    QTRY_VERIFY_WITH_TIMEOUT(MainForm->browserWindows().size() == 2, kWait);
    TBrowserWindow *popup = MainForm->browserWindows().last();
    QVERIFY(popup->isPrivate());
    QTRY_COMPARE_WITH_TIMEOUT(popup->windowTitle(), QString("popup cookie:seen storage:kept db:seen（プライベート）"),
                              kWait);

    // Two more pages in the first window.
    first->control()->Navigate(server_->url(QStringLiteral("/second.html")).toString());
    QTRY_COMPARE_WITH_TIMEOUT(first->windowTitle(), QString("second cookie:seen storage:kept db:seen（プライベート）"),
                              kWait);
    first->control()->Navigate(server_->url(QStringLiteral("/read.html")).toString());
    QTRY_COMPARE_WITH_TIMEOUT(first->windowTitle(), QString("read cookie:seen storage:kept db:seen（プライベート）"),
                              kWait);
    QVERIFY(closeAll());
    // The engines let go of the private session in the event loop.
    QTRY_VERIFY_WITH_TIMEOUT(!WebEngineControl::hasPrivateProfile(), kWait);

    const QStringList changed = differences(before, snapshot(roots));
    QVERIFY2(changed.isEmpty(), qPrintable(changed.join(QLatin1Char('\n'))));
}

void TestPrivate::normalWindowSeesNothing()
{
    QFETCH(QString, engine);
    QVERIFY(openPrivateAndStore(engine));
    QVERIFY(closeAll());
    TBrowserWindow *w = openOn(engine, server_->url(QStringLiteral("/read.html")).toString());
    QVERIFY(!w->isPrivate());
    QTRY_COMPARE_WITH_TIMEOUT(w->windowTitle(), QString("read cookie:none storage:none db:none"), kWait);
}

int main(int argc, char *argv[])
{
    TestPrivate tc;
    // The user's home is the test's too: whatever the engines keep there
    // is compared. The graphics driver's cache of compiled shaders holds
    // nothing of a page, and fills whenever anything is drawn.
    return vexelTestMain(argc, argv, &tc, [] {
        qputenv("HOME", QFileInfo(qEnvironmentVariable("XDG_DATA_HOME")).path().toLocal8Bit());
        qputenv("MESA_SHADER_CACHE_DISABLE", "true");
        // As on a desktop with an input method: the folder where IBus says
        // where it listens, which its GTK module makes otherwise.
        QDir().mkpath(qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/ibus/bus"));
    });
}

#include "test_private.moc"
