// What both engines do alike, seen through the frame: every case runs once
// per class ID the two menu slots create ("ie", and "gecko" where the engine
// host is built), with real X input on pages. Where the engines differ, a
// column of the row says how.

#include "webkittests.h"

#include "app/browsinghistory.h"
#include "app/findbar.h"
#include "history/historystore.h"
#include "browser/engines/webengine/webenginecontrol.h"
#include "browser/pagedialogs.h"
#include "core/plaintext.h"
#include "httpserver.h"
#include "tlsserver.h"
#include "whenopen.h"

#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardPaths>
#include <QTcpServer>
#include <QStyle>
#include <QToolButton>
#include <QToolTip>
#include <QWebEngineView>
#include <sys/stat.h>

namespace {

constexpr int kWait = 30000;  // generous for a busy machine; never what a case measures

bool click(TBrowserWindow *w, const QPoint &at)
{
    return clickAt(onScreen(w->control(), at));
}

void reject(QWidget *dialog)
{
    QMetaObject::invokeMethod(dialog, "reject");
}

HttpResponse attachment(const QByteArray &type, const QByteArray &name, const QByteArray &body)
{
    return HttpResponse{200, "OK",
                        {{"Content-Type", type}, {"Content-Disposition", "attachment; filename=\"" + name + "\""}},
                        body, false};
}

}  // namespace

Q_DECLARE_METATYPE(HttpResponse)

class TestEngineContract : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void titleBecomesCaptionAndAddress_data();
    void titleBecomesCaptionAndAddress();
    void visitsRecorded_data() { engineRows(); }
    void visitsRecorded();
    void backAndForwardStates_data() { engineRows(); }
    void backAndForwardStates();
    void addressesAsTyped_data() { engineRows(); }
    void addressesAsTyped();
    void stopAndReload_data() { engineRows(); }
    void stopAndReload();
    void hoveringALinkShowsItsAddress_data() { engineRows(); }
    void hoveringALinkShowsItsAddress();
    void pageAsksForNewWindow_data();
    void pageAsksForNewWindow();
    void pageClosesItsWindow_data() { engineRows(); }
    void pageClosesItsWindow();
    void downloadAsksAndSaves_data();
    void downloadAsksAndSaves();
    void downloadCancelledSavesNothing_data() { engineRows(); }
    void downloadCancelledSavesNothing();
    void downloadThatFailsSaysSo_data();
    void downloadThatFailsSaysSo();
    void authentication_data() { engineRows(); }
    void authentication();
    void selfSignedCertificateRefused_data();
    void selfSignedCertificateRefused();
    void pageDialogs_data() { engineRows(); }
    void pageDialogs();
    void pageTextStaysPlain_data();
    void pageTextStaysPlain();
    void pageDialogIsNoHang_data();
    void pageDialogIsNoHang();
    void leavingPageAsksFirst_data() { engineRows(); }
    void leavingPageAsksFirst();
    void findAndZoom_data() { engineRows(); }
    void findAndZoom();
    void browserKeysFromInsideThePage_data() { engineRows(); }
    void browserKeysFromInsideThePage();

private:
    EngineCase fixture_;
};

void TestEngineContract::initTestCase()
{
    fixture_.prepareRun();
}

void TestEngineContract::init()
{
    fixture_.begin();
}

void TestEngineContract::cleanup()
{
    fixture_.end();
}

// --- What a page reports -----------------------------------------------------------

void TestEngineContract::titleBecomesCaptionAndAddress_data()
{
    QTest::addColumn<QString>("engine");
    QTest::addColumn<QString>("windowName");
    QTest::addColumn<QString>("controlClass");
    QTest::addColumn<int>("finalProgress");  // the last report of a load: (n, n)
    QTest::newRow("ie") << engines::IE_CLSID << "frm_IE"
                        << "WebEngineControl" << 0;
#ifdef VEXEL_GECKO_ROWS
    QTest::newRow("gecko") << engines::MOZILLA_CLSID << "frm_MZ"
                           << "WebKitControl" << 100;
#endif
}

void TestEngineContract::titleBecomesCaptionAndAddress()
{
    QFETCH(QString, engine);
    QFETCH(QString, windowName);
    QFETCH(QString, controlClass);
    QFETCH(int, finalProgress);
    const QString url = fixture_.pages().page("a.html", "ページ A", "<p>text</p>");
    TBrowserWindow *w = openOn(engine, url);
    QCOMPARE(w->objectName(), windowName);
    QCOMPARE(QString::fromLatin1(w->control()->metaObject()->className()), controlClass);
    QTRY_COMPARE_WITH_TIMEOUT(w->windowTitle(), QString("ページ A"), kWait);
    QCOMPARE(w->control()->LocationURL(), url);
    QCOMPARE(MainForm->txtAddress->text(), url);
    QTRY_VERIFY_WITH_TIMEOUT(!MainForm->StopCtrl->isEnabled(), kWait);
    QTRY_COMPARE(MainForm->ProgressBar1->value(), 0);
    QVERIFY(MainForm->ReLoadCtrl->isEnabled());

    // A load reports progress up to its end, Stop enabled meanwhile, and
    // leaves an empty bar.
    QSignalSpy progress(w->control(), &EngineControl::ProgressChange);
    // Runs after the window's own handler, which was connected first.
    bool stopSeenEnabled = false;
    connect(w->control(), &EngineControl::ProgressChange, this, [&](int p, int) {
        if (p < 100)
            stopSeenEnabled = stopSeenEnabled || MainForm->StopCtrl->isEnabled();
    });
    w->control()->Navigate(fixture_.pages().page("b.html", "B"));
    QTRY_COMPARE_WITH_TIMEOUT(w->windowTitle(), QString("B"), kWait);
    QTRY_VERIFY_WITH_TIMEOUT(!progress.isEmpty() && progress.last().at(0).toInt() == finalProgress &&
                                 progress.last().at(1).toInt() == finalProgress,
                             kWait);
    QVERIFY(progress.size() >= 2);  // something before the end
    QCOMPARE(MainForm->ProgressBar1->value(), 0);
    QVERIFY(!MainForm->StopCtrl->isEnabled());
    QVERIFY(stopSeenEnabled);
    QCOMPARE(w->ShownProgress, 0);
}

// A page that loads is a visit, with its title; one that fails is none.
void TestEngineContract::visitsRecorded()
{
    QFETCH(QString, engine);
    HistoryStore *history = MainForm->browsingHistory()->store();
    auto visitOf = [history](const QString &address) {
        for (const HistoryStore::Entry &e : history->entries())
            if (e.address == address)
                return e;
        return HistoryStore::Entry();
    };
    const QString a = fixture_.pages().page("visit-a.html", "訪問 A");
    TBrowserWindow *w = openOn(engine, a);
    QTRY_COMPARE_WITH_TIMEOUT(visitOf(a).title, QString("訪問 A"), kWait);
    const int visits = visitOf(a).visits;

    QTcpServer closed;  // a port nobody listens on any more
    QVERIFY(closed.listen(QHostAddress::LocalHost));
    const QString refused = QStringLiteral("http://127.0.0.1:%1/nothing").arg(closed.serverPort());
    closed.close();
    QSignalSpy ended(w->control(), &EngineControl::LoadFinished);
    w->control()->Navigate(refused);
    QTRY_VERIFY_WITH_TIMEOUT(ended.contains(QVariantList{false}), kWait);
    // Events come in order: once the next page is recorded, the failed one
    // has said all it will.
    w->control()->Navigate(a);
    QTRY_COMPARE_WITH_TIMEOUT(visitOf(a).visits, visits + 1, kWait);
    QCOMPARE(visitOf(refused).visits, 0);
}

void TestEngineContract::backAndForwardStates()
{
    QFETCH(QString, engine);
    const QString one = fixture_.pages().page("one.html", "one");
    const QString two = fixture_.pages().page("two.html", "two");
    TBrowserWindow *w = openOn(engine, one);
    QTRY_COMPARE_WITH_TIMEOUT(w->windowTitle(), QString("one"), kWait);
    QTRY_VERIFY(MainForm->ReLoadCtrl->isEnabled());
    QVERIFY(!MainForm->BackCtrl->isEnabled());
    QVERIFY(!MainForm->FrwrdCtrl->isEnabled());

    MainForm->txtAddress->setText(two);
    MainForm->btnMove->click();
    QTRY_COMPARE_WITH_TIMEOUT(w->windowTitle(), QString("two"), kWait);
    QTRY_VERIFY(MainForm->BackCtrl->isEnabled());
    QVERIFY(!MainForm->FrwrdCtrl->isEnabled());
    QCOMPARE(MainForm->MDIClient->subWindowList().size(), 1);

    MainForm->BackCtrl->click();
    QTRY_COMPARE_WITH_TIMEOUT(w->windowTitle(), QString("one"), kWait);
    QTRY_VERIFY(!MainForm->BackCtrl->isEnabled());
    QTRY_VERIFY(MainForm->FrwrdCtrl->isEnabled());
    QCOMPARE(w->control()->LocationURL(), one);
    QTRY_COMPARE(MainForm->txtAddress->text(), one);

    MainForm->FrwrdCtrl->click();
    QTRY_COMPARE_WITH_TIMEOUT(w->windowTitle(), QString("two"), kWait);
    QTRY_VERIFY(MainForm->BackCtrl->isEnabled());
    QTRY_VERIFY(!MainForm->FrwrdCtrl->isEnabled());
    QVERIFY(w->BackEnabled);
    QVERIFY(!w->ForwardEnabled);
}

void TestEngineContract::addressesAsTyped()
{
    QFETCH(QString, engine);
    const QString url = fixture_.pages().page("typed.html", "typed");
    // An empty address is a blank page.
    TBrowserWindow *w = openOn(engine, QString());
    QTRY_COMPARE_WITH_TIMEOUT(w->control()->LocationURL(), QString("about:blank"), kWait);
    // An absolute path is the local file.
    MainForm->txtAddress->setText(QUrl(url).toLocalFile());
    MainForm->btnMove->click();
    QTRY_COMPARE_WITH_TIMEOUT(w->windowTitle(), QString("typed"), kWait);
    QCOMPARE(w->control()->LocationURL(), url);
    // A host and port without a scheme is a web address.
    HttpServer server;
    server.route("/", [](const HttpRequest &) { return HttpResponse{200, "OK", {}, "<title>Served</title>", false}; });
    MainForm->txtAddress->setText(QStringLiteral("127.0.0.1:%1/").arg(server.url("/").port()));
    MainForm->btnMove->click();
    QTRY_COMPARE_WITH_TIMEOUT(w->windowTitle(), QString("Served"), kWait);
    QCOMPARE(w->control()->LocationURL(), server.url("/").toString());
    // Shown as the user reads it, not percent-encoded, in both engines.
    MainForm->txtAddress->setText(server.url("/").toString() + QStringLiteral("?q=日本"));
    MainForm->btnMove->click();
    QTRY_COMPARE_WITH_TIMEOUT(w->control()->LocationURL(), server.url("/").toString() + QStringLiteral("?q=日本"),
                              kWait);
    w->control()->Navigate(QString());
    QTRY_COMPARE_WITH_TIMEOUT(w->control()->LocationURL(), QString("about:blank"), kWait);
}

void TestEngineContract::stopAndReload()
{
    QFETCH(QString, engine);
    HttpServer server;
    server.route("/endless", [](const HttpRequest &) {
        HttpResponse r;
        r.endless = true;
        r.body = "<title>Endless</title><p>still loading";
        return r;
    });
    TBrowserWindow *w = openOn(engine, server.url("/endless").toString());
    QTRY_VERIFY_WITH_TIMEOUT(server.requestCount("/endless") == 1, kWait);
    QTRY_VERIFY_WITH_TIMEOUT(MainForm->StopCtrl->isEnabled(), kWait);
    MainForm->StopCtrl->click();
    // The load ends there: Stop disabled, an empty bar.
    QTRY_VERIFY_WITH_TIMEOUT(!MainForm->StopCtrl->isEnabled() && MainForm->ProgressBar1->value() == 0, kWait);

    const QString url = fixture_.pages().page("reload.html", "Before");
    MainForm->txtAddress->setText(url);
    MainForm->btnMove->click();
    QTRY_COMPARE_WITH_TIMEOUT(w->windowTitle(), QString("Before"), kWait);
    fixture_.pages().page("reload.html", "After");
    QTRY_VERIFY(MainForm->ReLoadCtrl->isEnabled());
    MainForm->ReLoadCtrl->click();
    QTRY_COMPARE_WITH_TIMEOUT(w->windowTitle(), QString("After"), kWait);
    QCOMPARE(server.requestCount("/endless"), 1);
}

void TestEngineContract::hoveringALinkShowsItsAddress()
{
    QFETCH(QString, engine);
    const QString target = fixture_.pages().page("target.html", "target");
    const QString url = fixture_.pages().page(
        "links.html", "links",
        "<a href=\"target.html\" style=\"position:absolute;left:20px;top:20px;width:200px;height:40px;"
        "display:block;background:#ccf\">link</a>");
    TBrowserWindow *w = openOn(engine, url);
    QTRY_COMPARE_WITH_TIMEOUT(w->windowTitle(), QString("links"), kWait);
    QWidget *page = w->control();
    QVERIFY(movePointer(onScreen(page, QPoint(60, 40))));
    QTRY_COMPARE_WITH_TIMEOUT(MainForm->StatusBar1->panelText(), target, kWait);
    QCOMPARE(w->LastStatusText, target);
    QVERIFY(movePointer(onScreen(page, QPoint(60, 150))));
    QTRY_COMPARE_WITH_TIMEOUT(MainForm->StatusBar1->panelText(), QString(), kWait);

    // Leaving the page straight from the link clears it too.
    QVERIFY(movePointer(onScreen(page, QPoint(60, 40))));
    QTRY_COMPARE_WITH_TIMEOUT(MainForm->StatusBar1->panelText(), target, kWait);
    QVERIFY(movePointer(onScreen(page, QPoint(60, -10))));  // the window's title bar
    QTRY_COMPARE_WITH_TIMEOUT(MainForm->StatusBar1->panelText(), QString(), kWait);
}

// --- Windows a page asks for or closes ----------------------------------------------

void TestEngineContract::pageAsksForNewWindow_data()
{
    QTest::addColumn<QString>("engine");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("chosen");       // the engine chosen in the frame's menu
    QTest::addColumn<QString>("firstCaption");  // the new window's caption until its page has a title
    const QByteArray blank = "<a href=\"opened.html\" target=\"_blank\" style=\"position:absolute;left:20px;"
                             "top:20px;width:200px;height:40px;display:block;background:#ccf\">new</a>";
    const QByteArray script = "<button onclick=\"window.open('opened.html')\" style=\"position:absolute;"
                              "left:20px;top:20px;width:200px;height:40px\">open</button>";
    for (const EngineSlot &from : engineSlots())
        for (const EngineSlot &chosen : engineSlots())
            for (const auto &[how, body] : {std::pair{"target=_blank", blank}, std::pair{"window.open", script}})
                QTest::addRow("%s, %s, %s chosen", from.tag, how, chosen.tag)
                    << from.clsid << body << chosen.clsid
                    << (isGecko(from.clsid) ? QString("Mozilla") : QString("Internet Explorer"));
}

void TestEngineContract::pageAsksForNewWindow()
{
    QFETCH(QString, engine);
    QFETCH(QByteArray, body);
    QFETCH(QString, chosen);
    QFETCH(QString, firstCaption);
    const QString opened = fixture_.pages().page("opened.html", "opened");
    const QString url = fixture_.pages().page("opener.html", "opener", body);
    TBrowserWindow *opener = openOn(engine, url);
    QTRY_COMPARE_WITH_TIMEOUT(opener->windowTitle(), QString("opener"), kWait);
    if (isGecko(chosen))
        MainForm->Moz_ItemClick();
    else
        MainForm->IE_itemClick();
    // Every caption a new window takes, in order.
    QStringList captions;
    connect(MainForm->MDIClient, &QMdiArea::subWindowActivated, this, [&](QMdiSubWindow *sub) {
        if (sub && sub != opener && captions.isEmpty()) {
            captions << sub->windowTitle();
            connect(sub, &QWidget::windowTitleChanged, this, [&](const QString &t) { captions << t; });
        }
    });
    QVERIFY(click(opener, QPoint(60, 40)));
    QTRY_COMPARE_WITH_TIMEOUT(MainForm->MDIClient->subWindowList().size(), 2, kWait);
    TBrowserWindow *child = MainForm->ActiveMDIChild();
    QVERIFY(child != opener);
    QCOMPARE(child->objectName(), isGecko(chosen) ? QString("frm_MZ") : QString("frm_IE"));
    QTRY_COMPARE_WITH_TIMEOUT(child->windowTitle(), QString("opened"), kWait);
    QVERIFY2(captions.contains(firstCaption), qPrintable(captions.join('|')));
    QVERIFY(captions.indexOf(firstCaption) < captions.lastIndexOf("opened"));
    QTRY_COMPARE_WITH_TIMEOUT(child->control()->LocationURL(), opened, kWait);
    // The opener stays as it was.
    QCOMPARE(opener->control()->LocationURL(), url);
}

void TestEngineContract::pageClosesItsWindow()
{
    QFETCH(QString, engine);
    const QByteArray closeButton = "<button onclick=\"window.close()\" style=\"position:absolute;left:20px;top:20px;"
                                   "width:200px;height:40px\">close</button>";
    fixture_.pages().page("child.html", "child", closeButton);
    QPointer<TBrowserWindow> opener =
        openOn(engine, fixture_.pages().page("opener.html", "opener",
                                  "<button onclick=\"window.open('child.html')\" style=\"position:absolute;"
                                  "left:20px;top:20px;width:200px;height:40px\">open</button>"
                                  "<button onclick=\"window.close()\" style=\"position:absolute;left:20px;"
                                  "top:80px;width:200px;height:40px\">close</button>"));
    QTRY_COMPARE_WITH_TIMEOUT(opener->windowTitle(), QString("opener"), kWait);
    QVERIFY(click(opener, QPoint(60, 40)));
    QTRY_COMPARE_WITH_TIMEOUT(MainForm->MDIClient->subWindowList().size(), 2, kWait);
    QPointer<TBrowserWindow> child = MainForm->ActiveMDIChild();
    QTRY_COMPARE_WITH_TIMEOUT(child->windowTitle(), QString("child"), kWait);
    MainForm->WindowTileVertical1Execute();
    // The frame's window, not one of the engine's, is the one that closes.
    QSignalSpy close(child->control(), &EngineControl::CloseRequested);
    QVERIFY(click(child, QPoint(60, 40)));
    QTRY_VERIFY_WITH_TIMEOUT(child.isNull(), kWait);
    QCOMPARE(close.size(), 1);
    QCOMPARE(MainForm->MDIClient->subWindowList().size(), 1);
    QCOMPARE(MainForm->ActiveMDIChild(), opener.data());
    // A page the user opened with nothing before it may close its window too.
    QSignalSpy closeOpener(opener->control(), &EngineControl::CloseRequested);
    QVERIFY(click(opener, QPoint(60, 100)));
    QTRY_VERIFY_WITH_TIMEOUT(opener.isNull(), kWait);
    QCOMPARE(closeOpener.size(), 1);
    QVERIFY(MainForm->MDIClient->subWindowList().isEmpty());
}

// --- Downloads ---------------------------------------------------------------------

void TestEngineContract::downloadAsksAndSaves_data()
{
    QTest::addColumn<QString>("engine");
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<HttpResponse>("response");
    QTest::addColumn<QString>("proposed");
    QTest::addColumn<bool>("totalShown");  // whether the first progress report must say the size to come
    const QByteArray content(300000, 'x');
    for (const EngineSlot &e : engineSlots()) {
        const bool totalShown = isGecko(e.clsid);
        QTest::addRow("%s, attachment", e.tag)
            << e.clsid << QByteArray("/get") << attachment("application/octet-stream", "report.bin", content)
            << "report.bin" << totalShown;
        // An attachment is saved even where the page could show it.
        QTest::addRow("%s, attachment the page could show", e.tag)
            << e.clsid << QByteArray("/get") << attachment("text/plain", "notes.txt", content) << "notes.txt"
            << totalShown;
        // What the page cannot show is saved under the name in its address.
        QTest::addRow("%s, a type the page cannot show", e.tag)
            << e.clsid << QByteArray("/files/data.xyz")
            << HttpResponse{200, "OK", {{"Content-Type", "application/x-vexel-test"}}, content, false} << "data.xyz"
            << totalShown;
    }
}

void TestEngineContract::downloadAsksAndSaves()
{
    QFETCH(QString, engine);
    QFETCH(QByteArray, path);
    QFETCH(HttpResponse, response);
    QFETCH(QString, proposed);
    QFETCH(bool, totalShown);
    HttpServer server;
    server.route(path, [&](const HttpRequest &) { return response; });
    QTemporaryDir target;
    QString asked;
    QWidget *askedFor = nullptr;
    pagedialogs::savePathChooser() = [&](QWidget *page, const QString &p) {
        asked = p;
        askedFor = page;
        return target.path() + "/saved.bin";
    };
    const QString opener = fixture_.pages().page("opener.html", "opener");
    TBrowserWindow *w = openOn(engine, opener);
    QTRY_COMPARE_WITH_TIMEOUT(w->windowTitle(), QString("opener"), kWait);
    QSignalSpy messages(w->control(), &EngineControl::StatusMessage);
    MainForm->txtAddress->setText(server.url(QString::fromLatin1(path)).toString());
    MainForm->btnMove->click();

    QTRY_VERIFY_WITH_TIMEOUT(MainForm->StatusBar1->panelText().contains("完了"), kWait);
    QCOMPARE(MainForm->StatusBar1->panelText(), QString("saved.bin のダウンロードが完了しました"));
    QCOMPARE(asked, QDir(downloadFolder()).filePath(proposed));
    QVERIFY(askedFor && (askedFor == w->control() || w->control()->isAncestorOf(askedFor)));
    QFile saved(target.path() + "/saved.bin");
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(saved.readAll(), response.body);
    QCOMPARE(QDir(target.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList{"saved.bin"});
    // Progress came first, in the status bar's words.
    QVERIFY(messages.size() >= 2);
    for (qsizetype i = 0; i < messages.size() - 1; ++i)
        QVERIFY2(messages.at(i).first().toString().startsWith("saved.bin をダウンロードしています... "),
                 qPrintable(messages.at(i).first().toString()));
    // Qt WebEngine may or may not know the size by its first report.
    if (totalShown)
        QVERIFY2(messages.first().first().toString().endsWith(" / 292 KB"), qPrintable(messages.first().first().toString()));
    QVERIFY2(messages.at(messages.size() - 2).first().toString().endsWith(" 292 KB"),
             qPrintable(messages.at(messages.size() - 2).first().toString()));
    // A download message is no link address; the page stays as it was.
    QVERIFY(w->LastStatusText.isEmpty());
    QTRY_COMPARE(w->control()->LocationURL(), opener);
    QCOMPARE(w->windowTitle(), QString("opener"));
}

void TestEngineContract::downloadCancelledSavesNothing()
{
    QFETCH(QString, engine);
    HttpServer server;
    server.route("/get", [](const HttpRequest &) { return attachment("application/octet-stream", "a.bin", "abc"); });
    QTemporaryDir target;
    int asked = 0;
    pagedialogs::savePathChooser() = [&](QWidget *, const QString &) {
        ++asked;
        return QString();  // the user cancels
    };
    // A link on a page, clicked.
    const QString page = fixture_.pages().page(
        "links.html", "links",
        "<a href=\"" + server.url("/get").toEncoded() +
            "\" style=\"position:absolute;left:20px;top:20px;width:200px;height:40px;display:block\">get</a>");
    TBrowserWindow *w = openOn(engine, page);
    QTRY_COMPARE_WITH_TIMEOUT(w->windowTitle(), QString("links"), kWait);
    QSignalSpy messages(w->control(), &EngineControl::StatusMessage);
    QVERIFY(click(w, QPoint(60, 40)));
    QTRY_COMPARE_WITH_TIMEOUT(MainForm->StatusBar1->panelText(), QString("ダウンロードを中止しました"), kWait);
    QCOMPARE(asked, 1);
    QVERIFY(QDir(target.path()).isEmpty());

    // Asked again next time, and only what was said: the engine's own
    // cancellation adds nothing.
    QVERIFY(click(w, QPoint(80, 40)));
    QTRY_COMPARE_WITH_TIMEOUT(asked, 2, kWait);
    QTRY_COMPARE(messages.size(), 2);
    for (const QList<QVariant> &m : messages)
        QCOMPARE(m.first().toString(), QString("ダウンロードを中止しました"));
    QCOMPARE(w->control()->LocationURL(), page);
    QVERIFY(QDir(target.path()).isEmpty());
}

void TestEngineContract::downloadThatFailsSaysSo_data()
{
    QTest::addColumn<QString>("engine");
    QTest::addColumn<QString>("reason");  // each engine's words for a cut connection
    QTest::newRow("ie") << engines::IE_CLSID << "General server failure";
#ifdef VEXEL_GECKO_ROWS
    QTest::newRow("gecko") << engines::MOZILLA_CLSID << "ネットワークエラー";
#endif
}

void TestEngineContract::downloadThatFailsSaysSo()
{
    QFETCH(QString, engine);
    QFETCH(QString, reason);
    HttpServer server;
    // The server sends part of the file, then fails.
    server.route("/broken", [&server](const HttpRequest &) {
        if (server.requestCount("/broken") > 1)
            return HttpResponse{500, "Internal Server Error", {}, "failed", false};
        return HttpResponse{200, "OK",
                            {{"Content-Type", "application/octet-stream"},
                             {"Content-Disposition", "attachment; filename=\"b.bin\""},
                             {"Content-Length", "100000"}},
                            QByteArray(1000, 'b'), true};
    });
    QTemporaryDir target;
    pagedialogs::savePathChooser() = [&](QWidget *, const QString &) { return target.path() + "/b.bin"; };
    TBrowserWindow *w = openOn(engine, server.url("/broken").toString());
    QTRY_VERIFY_WITH_TIMEOUT(MainForm->StatusBar1->panelText().startsWith("b.bin をダウンロードしています"), kWait);
    QVERIFY(MainForm->StatusBar1->panelText().endsWith(" / 97 KB"));
    server.dropConnections();
    QTRY_VERIFY_WITH_TIMEOUT(MainForm->StatusBar1->panelText().contains("失敗"), kWait);
    QCOMPARE(MainForm->StatusBar1->panelText(), QString("b.bin のダウンロードに失敗しました (%1)").arg(reason));
    QVERIFY(w->LastStatusText.isEmpty());
}

// --- Authentication and certificates ---------------------------------------------

void TestEngineContract::authentication()
{
    QFETCH(QString, engine);
    HttpServer server;
    server.route("/secret", [](const HttpRequest &r) {
        if (r.headers.value("authorization") == "Basic " + QByteArray("user:パス").toBase64())
            return HttpResponse{200, "OK", {}, "<title>Welcome</title>", false};
        return HttpResponse{401, "Unauthorized", {{"WWW-Authenticate", "Basic realm=\"vault\""}},
                            "<title>Denied</title>", false};
    });
    {
        WhenOpen answers(credentials("user", "パス"));
        TBrowserWindow *w = openOn(engine, server.url("/secret").toString());
        QTRY_COMPARE_WITH_TIMEOUT(w->windowTitle(), QString("Welcome"), kWait);
        QCOMPARE(answers.texts, QStringList{"127.0.0.1 がユーザー名とパスワードを求めています。\n領域: vault"});
        QVERIFY(answers.parents.first() && w->isAncestorOf(answers.parents.first()));
    }

    // A wrong password asks again; cancel then shows the server's own
    // answer. (Another server: the engine remembers the first one's
    // credentials.)
    HttpServer other;
    other.route("/secret", [](const HttpRequest &) {
        return HttpResponse{401, "Unauthorized", {{"WWW-Authenticate", "Basic realm=\"vault\""}},
                            "<title>Denied</title>", false};
    });
    WhenOpen answers({credentials("user", "wrong"), reject});
    TBrowserWindow *second = openOn(engine, other.url("/secret").toString());
    QTRY_COMPARE_WITH_TIMEOUT(second->windowTitle(), QString("Denied"), kWait);
    QVERIFY(answers.done());
    QCOMPARE(other.requestCount("/secret"), 2);
    QCOMPARE(second->control()->LocationURL(), other.url("/secret").toString());
}

void TestEngineContract::selfSignedCertificateRefused_data()
{
    QTest::addColumn<QString>("engine");
    QTest::addColumn<QString>("problem");  // each engine's words for the certificate's fault
    QTest::newRow("ie") << engines::IE_CLSID << "";
#ifdef VEXEL_GECKO_ROWS
    QTest::newRow("gecko") << engines::MOZILLA_CLSID << "発行元を確認できない証明書です";
#endif
}

void TestEngineContract::selfSignedCertificateRefused()
{
    QFETCH(QString, engine);
    QFETCH(QString, problem);
    SelfSignedServer server;
    QVERIFY(server.start());
    const QString url = server.url();
    TBrowserWindow *w = openOn(engine, fixture_.pages().page("before.html", "before"));
    QTRY_COMPARE_WITH_TIMEOUT(w->windowTitle(), QString("before"), kWait);
    QSignalSpy messages(w->control(), &EngineControl::StatusMessage);
    w->control()->Navigate(url);
    QTRY_VERIFY_WITH_TIMEOUT(!messages.isEmpty(), kWait);
    const QString message = messages.first().first().toString();
    QVERIFY2(message.startsWith("証明書に問題があるため接続を中止しました: "), qPrintable(message));
    QVERIFY2(message.contains(problem), qPrintable(message));
    QCOMPARE(MainForm->StatusBar1->panelText(), message);
    // The engine's error page, at the refused address; nothing was served.
    QTRY_COMPARE_WITH_TIMEOUT(w->control()->LocationURL(), url, kWait);
    QTRY_VERIFY_WITH_TIMEOUT(!MainForm->StopCtrl->isEnabled(), kWait);
    QCOMPARE(server.served(), 0);
    QVERIFY(w->windowTitle() != "Secret");
    QTRY_VERIFY(MainForm->BackCtrl->isEnabled());
}

// --- The page's dialogs and leaving it ---------------------------------------------

void TestEngineContract::pageDialogs()
{
    QFETCH(QString, engine);
    WhenOpen answers({
        press(QMessageBox::Ok),
        press(QMessageBox::Ok),
        press(QMessageBox::Cancel),
        [](QWidget *modal) {
            auto *input = static_cast<QInputDialog *>(modal);
            input->setTextValue("答え 1");
            input->accept();
        },
        [](QWidget *modal) { static_cast<QInputDialog *>(modal)->reject(); },
    });
    TBrowserWindow *w = openOn(engine, fixture_.pages().page("dialogs.html", "dialogs",
                                                  "<script>addEventListener('load', () => {"
                                                  "  alert('こんにちは\\n二行目');"
                                                  "  const answers = [confirm('続けますか'), confirm('続けますか'),"
                                                  "                   prompt('名前は？', '既定の名前'), prompt('もう一度', 'x')];"
                                                  "  document.title = JSON.stringify(answers);"
                                                  "});</script>"));
    QTRY_COMPARE_WITH_TIMEOUT(w->windowTitle(), QString("[true,false,\"答え 1\",null]"), kWait);
    QCOMPARE(answers.texts, QStringList({"こんにちは\n二行目", "続けますか", "続けますか", "名前は？", "もう一度"}));
    for (const QPointer<QWidget> &parent : answers.parents)
        QVERIFY(parent && w->isAncestorOf(parent));  // dialogs of their own window
}

void TestEngineContract::pageTextStaysPlain_data()
{
    QTest::addColumn<QString>("engine");
    QTest::addColumn<QString>("path");  // where the page's words meet a widget
    for (const EngineSlot &e : engineSlots())
        for (const char *path : {"alert", "confirm", "prompt", "realm", "caption"})
            QTest::newRow(qPrintable(QStringLiteral("%1 %2").arg(e.tag, path))) << e.clsid << path;
    // Gecko's tooltips are GTK's own, plain already.
    QTest::newRow("ie tooltip") << engines::IE_CLSID << "tooltip";
}

// Markup a page sends: read as such, its images would block the frame on a
// FIFO or read /dev/zero without end, and its link would open a local file.
void TestEngineContract::pageTextStaysPlain()
{
    QFETCH(QString, engine);
    QFETCH(QString, path);
    QTemporaryDir dir;
    const QString fifo = dir.filePath("fifo");
    QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
    const QString words = QStringLiteral("<img src=%1><img src=/dev/zero><h1>見出し</h1>"
                                         "<a href=file:///etc/passwd>リンク</a>")
                              .arg(fifo);
    // Each dialog's labels that show the words, then the dialog answered.
    QList<Qt::TextFormat> formats;
    const auto readLabels = [&](QWidget *modal) {
        for (const QLabel *label : modal->findChildren<QLabel *>())
            if (label->text().contains(QStringLiteral("<img src=")))
                formats.append(label->textFormat());
        QMetaObject::invokeMethod(modal, "reject");
    };
    const QByteArray js = "'" + words.toUtf8() + "'";
    HttpServer server;
    server.route("/realm", [&](const HttpRequest &) {
        return HttpResponse{401, "Unauthorized", {{"WWW-Authenticate", "Basic realm=\"" + words.toUtf8() + "\""}},
                            "<title>Denied</title>", false};
    });
    QString url;
    if (path == "realm")
        url = server.url("/realm").toString();
    else if (path == "caption")
        url = fixture_.pages().page("caption.html", words.toHtmlEscaped().toUtf8());
    else if (path == "tooltip")
        url = fixture_.pages().page("tooltip.html", "tooltip",
                                    "<div style=\"position:absolute;left:0;top:0;width:400px;height:300px\" title=\"" +
                                        words.toHtmlEscaped().toUtf8() + "\">x</div>");
    else
        url = fixture_.pages().page("dialog.html", "", "<script>addEventListener('load', () => {" + path.toUtf8() +
                                                           "(" + js + "); document.title = 'asked'; });</script>");
    WhenOpen answers(readLabels);
    TBrowserWindow *w = openOn(engine, url);

    if (path == "caption" || path == "tooltip") {
        QWidget *target = w;
        QPoint at(w->width() / 2, w->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, w) / 2);
        if (path == "caption") {
            QTRY_COMPARE_WITH_TIMEOUT(w->windowTitle(), words, kWait);
        } else {
            QTRY_COMPARE_WITH_TIMEOUT(w->windowTitle(), QString("tooltip"), kWait);
            target = static_cast<WebEngineControl *>(w->control())->view();
            at = QPoint(60, 40);
            QVERIFY(movePointer(onScreen(target, at)));
            QTRY_VERIFY_WITH_TIMEOUT(!target->toolTip().isEmpty(), kWait);
        }
        QHelpEvent help(QEvent::ToolTip, at, target->mapToGlobal(at));
        QApplication::sendEvent(target, &help);
        QCOMPARE(QToolTip::text(), plaintext::toolTip(words));
        QToolTip::hideText();
    } else {
        QTRY_VERIFY_WITH_TIMEOUT(answers.done(), kWait);
        QCOMPARE(formats, QList<Qt::TextFormat>{Qt::PlainText});
        if (path != "realm")
            QTRY_COMPARE_WITH_TIMEOUT(w->windowTitle(), QString("asked"), kWait);
    }
}

void TestEngineContract::pageDialogIsNoHang_data()
{
    QTest::addColumn<QString>("engine");
    QTest::addColumn<QByteArray>("asks");
    // Gecko's script dialogs leave its probe an answer. Printing shows our
    // preview for both engines; the file chooser is each engine's own.
    const QByteArray chooseFile = "onclick = null; document.body.appendChild(Object.assign("
                                  "document.createElement('input'), {type: 'file'})).click()";
    QTest::newRow("ie alert") << engines::IE_CLSID << QByteArray("alert('待って')");
    for (const EngineSlot &e : engineSlots()) {
        QTest::addRow("%s print", e.tag) << e.clsid << QByteArray("print()");
        QTest::addRow("%s file chooser", e.tag) << e.clsid << chooseFile;
    }
}

// A page waiting for the user's answer to its own dialog is no hung page: a
// page that really hangs, opened after it, shows when the watch has had time.
void TestEngineContract::pageDialogIsNoHang()
{
    QFETCH(QString, engine);
    QFETCH(QByteArray, asks);
    MainForm->WindowTileVertical1Execute();
    QPointer<TBrowserWindow> asking, hung;
    bool watched = false;
    bool quietWhileAsking = false;
    // Another site, so the engine gives it a process of its own.
    HttpServer server;
    server.route("/hangs", [](const HttpRequest &) {
        return HttpResponse{200, "OK", {}, "<title>hangs</title><script>addEventListener('load', () =>"
                                           " setTimeout(() => { for (;;) {} }, 0));</script>", false};
    });
    // Runs while the dialog is open (a modal one of the frame's runs its own
    // event loop) and gives the watch time enough to find a hang. Qt
    // WebEngine runs no other page meanwhile: there the window's own probes
    // are counted; on Gecko a page that does hang beside it must be found.
    const auto watchWhileAsking = [&] {
        if (isGecko(engine)) {
            hung = openOn(engine, server.url("/hangs").toString());
            QTRY_VERIFY_WITH_TIMEOUT(hung->HungBar->isVisible(), 2 * kWait);
            hung->btnStopPage->click();
        } else {
            QSignalSpy probes(asking->control()->findChild<QTimer *>("probeTimer"), &QTimer::timeout);
            QTRY_VERIFY_WITH_TIMEOUT(probes.size() >= 6, 2 * kWait);  // the hang threshold is 4
        }
        watched = true;
        quietWhileAsking = asking && asking->HungBar->isHidden();
    };
    // GTK's file chooser runs in the engine host, no modal of the frame.
    const bool hostsDialog = isGecko(engine) && !asks.startsWith("print");
    std::unique_ptr<WhenOpen> answers;
    if (!hostsDialog)
        answers = std::make_unique<WhenOpen>(WhenOpen::Step([&](QWidget *modal) {
            watchWhileAsking();
            if (qobject_cast<QMessageBox *>(modal))
                press(QMessageBox::Ok)(modal);
            else
                reject(modal);
        }));
    // Asks on a click: the engine may hold back a title until the dialog ends.
    asking = openOn(engine, fixture_.pages().page("asks.html", "ready",
                                                "<p>asks</p><script>onclick = () => { " + asks +
                                                    "; document.title = 'answered'; };</script>"));
    QTRY_COMPARE_WITH_TIMEOUT(asking->windowTitle(), QString("ready"), kWait);
    QVERIFY(click(asking, QPoint(60, 25)));
    if (hostsDialog) {
        watchWhileAsking();
        asking->close();  // ends the dialog with its window
        QTRY_VERIFY_WITH_TIMEOUT(asking.isNull(), kWait);
    } else {
        QTRY_VERIFY_WITH_TIMEOUT(answers->done(), 3 * kWait);
        QTRY_COMPARE_WITH_TIMEOUT(asking->windowTitle(), QString("answered"), kWait);
        QVERIFY(asking->HungBar->isHidden());
    }
    QVERIFY(watched);
    QVERIFY(quietWhileAsking);
}

void TestEngineContract::leavingPageAsksFirst()
{
    QFETCH(QString, engine);
    // Titled last, so the title says the whole page is there; "used" once
    // the page has seen a click.
    const QByteArray body = "<textarea style=\"position:absolute;left:10px;top:10px;width:300px;height:40px\">"
                            "</textarea><script>onbeforeunload = e => { e.preventDefault(); e.returnValue = 'x';"
                            " return 'x'; }; onmouseup = () => document.title = 'used';"
                            " document.title = 'form';</script>";
    QPointer<TBrowserWindow> stays = openOn(engine, fixture_.pages().page("stays.html", "", body));
    QTRY_COMPARE_WITH_TIMEOUT(stays->windowTitle(), QString("form"), kWait);
    QPointer<TBrowserWindow> goes = openOn(engine, fixture_.pages().page("goes.html", "", body));
    QTRY_COMPARE_WITH_TIMEOUT(goes->windowTitle(), QString("form"), kWait);
    MainForm->WindowTileVertical1Execute();
    // The page asks only once the user has done something in it.
    for (TBrowserWindow *w : {stays.data(), goes.data()}) {
        QVERIFY(click(w, QPoint(60, 25)));
        QTRY_COMPARE_WITH_TIMEOUT(w->windowTitle(), QString("used"), kWait);
    }

    {
        WhenOpen answers(press(QMessageBox::Cancel));
        stays->close();
        QTRY_VERIFY_WITH_TIMEOUT(answers.done(), kWait);
        QVERIFY2(answers.texts.first().startsWith("このページから移動しますか"), qPrintable(answers.texts.first()));
        QVERIFY(answers.parents.first() && stays->isAncestorOf(answers.parents.first()));
    }
    {
        WhenOpen answers(press(QMessageBox::Ok));
        goes->close();
        QTRY_VERIFY_WITH_TIMEOUT(goes.isNull(), kWait);
        QVERIFY(answers.done());
    }
    // The one that stayed is still there, its page working.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!stays.isNull());
    QCOMPARE(MainForm->MDIClient->subWindowList().size(), 1);
    stays->control()->Navigate(fixture_.pages().page("next.html", "next"));
    // Leaving by navigating asks too; the user agrees.
    WhenOpen answers(press(QMessageBox::Ok));
    QTRY_COMPARE_WITH_TIMEOUT(stays->windowTitle(), QString("next"), kWait);
    QVERIFY(answers.done());
    // A page without a beforeunload handler agrees without asking.
    QSignalSpy closing(stays->control(), &EngineControl::CloseRequested);
    QVERIFY(stays->control()->RequestClose());
    QTRY_COMPARE_WITH_TIMEOUT(closing.size(), 1, kWait);
    QTRY_VERIFY_WITH_TIMEOUT(stays.isNull(), kWait);
    QCOMPARE(answers.texts.size(), 1);
}

// --- Find in page and zoom -----------------------------------------------------------

void TestEngineContract::findAndZoom()
{
    QFETCH(QString, engine);
    TBrowserWindow *w = openOn(engine, fixture_.pages().page(
        "find.html", "find",
        "<p>alpha beta alpha beta</p><script>"
        "document.addEventListener('selectionchange', () => { const s = getSelection();"
        "  if (s.toString()) document.title = 'sel:' + s + '@' + s.anchorOffset });"
        "addEventListener('resize', () => { document.title = 'w:' + innerWidth });"
        "</script>"));
    QTRY_COMPARE_WITH_TIMEOUT(w->windowTitle(), QString("find"), kWait);
    auto *bar = MainForm->findChild<TFindBar *>();
    QVERIFY(bar && !bar->isVisible());
    // The shortcuts add nothing to the menus.
    for (QMenu *m : MainForm->findChildren<QMenu *>())
        for (QAction *a : m->actions())
            QVERIFY(a != bar->FindAction && a != bar->ZoomInAction);
    QTest::keyClick(MainForm, Qt::Key_F, Qt::ControlModifier);
    QVERIFY(bar->isVisible());
    QTRY_VERIFY(bar->txtFind->hasFocus());
    // Found as typed, whatever the case, from the top; the match is the
    // selection when the bar closes.
    QTest::keyClicks(bar->txtFind, "BETA");
    QTest::keyClick(bar->txtFind, Qt::Key_Escape);
    QVERIFY(!bar->isVisible());
    QTRY_COMPARE_WITH_TIMEOUT(w->windowTitle(), QString("sel:beta@6"), kWait);

    // Zoom steps from the keyboard; a zoomed page is laid out on fewer CSS
    // pixels.
    QCOMPARE(w->control()->ZoomFactor(), 1.0);
    MainForm->WindowTileVertical1Execute();  // a known width, a resize report
    QTRY_VERIFY_WITH_TIMEOUT(w->windowTitle().startsWith("w:"), kWait);
    QTRY_COMPARE_WITH_TIMEOUT(w->windowTitle(), QString("w:%1").arg(w->control()->width()), kWait);
    QTest::keyClick(MainForm, Qt::Key_Plus, Qt::ControlModifier);
    QTRY_COMPARE(w->control()->ZoomFactor(), 1.1);
    QTest::keyClick(MainForm, Qt::Key_Minus, Qt::ControlModifier);
    QTest::keyClick(MainForm, Qt::Key_Minus, Qt::ControlModifier);
    QTRY_COMPARE(w->control()->ZoomFactor(), 0.9);
    QTest::keyClick(MainForm, Qt::Key_0, Qt::ControlModifier);
    QTRY_COMPARE(w->control()->ZoomFactor(), 1.0);
    w->control()->SetZoomFactor(2.0);
    QCOMPARE(w->control()->ZoomFactor(), 2.0);
    QTRY_COMPARE_WITH_TIMEOUT(w->windowTitle(), QString("w:%1").arg(w->control()->width() / 2), kWait);
    QCOMPARE(engines::nextZoom(3.0, 1), 3.0);
    QCOMPARE(engines::nextZoom(0.25, -1), 0.25);
    QCOMPARE(engines::nextZoom(1.05, -1), 1.0);
}

VEXEL_TEST_MAIN(TestEngineContract)
#include "test_engine_contract.moc"

void TestEngineContract::browserKeysFromInsideThePage()
{
    QFETCH(QString, engine);
    const QString first = fixture_.pages().page("first.html", "First");
    const QString keys = fixture_.pages().page("keys.html", "Before", "<input id=field style=\"width:300px\">");
    TBrowserWindow *w = openOn(engine, first);
    QTRY_COMPARE_WITH_TIMEOUT(w->windowTitle(), QString("First"), kWait);
    w->control()->Navigate(keys);
    QTRY_COMPARE_WITH_TIMEOUT(w->windowTitle(), QString("Before"), kWait);
    // Real keys with the focus in the page's text field, where the page
    // would take any key the frame left it.
    QVERIFY(click(w, QPoint(40, 10)));
    QTRY_VERIFY_WITH_TIMEOUT(w->control()->hasFocus(), kWait);
    QVERIFY(typeText("a"));
    fixture_.pages().page("keys.html", "After");
    QVERIFY(pressKeys("F5"));
    QTRY_COMPARE_WITH_TIMEOUT(w->windowTitle(), QString("After"), kWait);
    QVERIFY(click(w, QPoint(40, 10)));
    QVERIFY(pressKeys("alt+Left"));
    QTRY_COMPARE_WITH_TIMEOUT(w->windowTitle(), QString("First"), kWait);
    QVERIFY(click(w, QPoint(40, 10)));
    QTRY_VERIFY_WITH_TIMEOUT(w->control()->hasFocus(), kWait);
    QVERIFY(pressKeys("ctrl+l"));
    QTRY_VERIFY_WITH_TIMEOUT(MainForm->txtAddress->hasFocus(), kWait);
    QCOMPARE(MainForm->txtAddress->selectedText(), first);
}
