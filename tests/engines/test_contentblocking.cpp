// SPDX-License-Identifier: GPL-3.0-or-later
// Content blocking in both engines from one list: what the rules block
// never reaches the server, exceptions and first parties pass, hidden
// elements are hidden, the page's count is kept, an exempt site is left
// alone and a blocked page shows our error page.

#include "webkittests.h"

#include "blocking/filterengine.h"
#include "browser/contentblocking.h"
#include "browser/errorpage.h"
#include "httpserver.h"

#include <QLabel>

namespace {

const QByteArray kList = "! the test's own list\n"
                         "/ads/*$script\n"
                         "@@/ads/allowed.js\n"
                         "||localhost^$third-party,image\n"
                         "##.banner\n"
                         "/malware/*$document\n";

// What the page saw, once all its parts had loaded or failed: each script
// ran (1) or not, each image loaded or not, and the banner's display.
const QByteArray kPage =
    "<!DOCTYPE html><html><head><title>loading</title></head><body>"
    "<div class=\"banner\" id=\"banner\">ad</div>"
    "<script src=\"/ads/track.js\"></script><script src=\"/ads/allowed.js\"></script>"
    "<img id=\"pixel\" src=\"http://localhost:PORT/pixel.gif\"><img id=\"ok\" src=\"/ok.gif\">"
    "<script>"
    "function loaded(id) { const i = document.getElementById(id); return i.complete && i.naturalWidth > 0 ? 1 : 0; }"
    "addEventListener('load', () => { document.title = 't' + (window.track || 0) + ' a' + (window.allowed || 0) +"
    " ' p' + loaded('pixel') + ' o' + loaded('ok') + ' b' + getComputedStyle(document.getElementById('banner')).display;"
    "});"
    "</script></body></html>";

const QByteArray kGif = QByteArray::fromBase64("R0lGODlhAQABAIAAAAAAAP///yH5BAEAAAAALAAAAAABAAEAAAIBRAA7");

}  // namespace

class TestContentBlocking : public EngineTest {
    Q_OBJECT
private slots:
    void init();

    void pageIsFiltered_data();
    void pageIsFiltered();
    void blockedPageShowsOurPage_data() { engineRows(); }
    void blockedPageShowsOurPage();

private:
    void serve();

    std::unique_ptr<HttpServer> server_;
};

void TestContentBlocking::init()
{
    EngineTest::init();
    const QString list = fixture_.dirs().programDir() + QStringLiteral("test-list.txt");
    QFile file(list);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(kList);
    file.close();
    ContentBlocking::setPackagedListsForTesting({list});
    // The run keeps one data folder: no site stays exempt from a case before.
    for (const QString &host : ContentBlocking::instance().exemptHosts())
        ContentBlocking::instance().setExempt(host, false);
    QSignalSpy changed(&ContentBlocking::instance(), &ContentBlocking::changed);
    ContentBlocking::instance().reload();
    QTRY_VERIFY_WITH_TIMEOUT(!changed.isEmpty(), kWait);
    QVERIFY(ContentBlocking::instance().engine());
    QVERIFY(!ContentBlocking::instance().cachePath().isEmpty());
    serve();
}

void TestContentBlocking::serve()
{
    server_ = std::make_unique<HttpServer>();
    const QByteArray port = QByteArray::number(server_->url(QString()).port());
    const auto text = [](const QByteArray &type, const QByteArray &body) {
        return [type, body](const HttpRequest &) {
            HttpResponse r;
            r.headers = {{"Content-Type", type}, {"Cache-Control", "no-store"}};
            r.body = body;
            return r;
        };
    };
    QByteArray page = kPage;
    server_->route("/page.html", text("text/html", page.replace("PORT", port)));
    server_->route("/ads/track.js", text("text/javascript", "window.track = 1;"));
    server_->route("/ads/allowed.js", text("text/javascript", "window.allowed = 1;"));
    server_->route("/pixel.gif", text("image/gif", kGif));
    server_->route("/ok.gif", text("image/gif", kGif));
    server_->route("/malware/page.html", text("text/html", "<title>malware</title>"));
}

void TestContentBlocking::pageIsFiltered_data()
{
    QTest::addColumn<QString>("engine");
    QTest::addColumn<QString>("host");
    QTest::addColumn<bool>("exempt");
    QTest::addColumn<QString>("seen");
    QTest::addColumn<int>("blocked");
    for (const EngineSlot &e : engineSlots()) {
        // On 127.0.0.1 the image from localhost is a third party's.
        QTest::addRow("%s filtered", e.tag) << e.clsid << "127.0.0.1" << false << "t0 a1 p0 o1 bnone" << 2;
        QTest::addRow("%s first party", e.tag) << e.clsid << "localhost" << false << "t0 a1 p1 o1 bnone" << 1;
        QTest::addRow("%s exempt site", e.tag) << e.clsid << "127.0.0.1" << true << "t1 a1 p1 o1 bblock" << 0;
    }
}

void TestContentBlocking::pageIsFiltered()
{
    QFETCH(QString, engine);
    QFETCH(QString, host);
    QFETCH(bool, exempt);
    QFETCH(QString, seen);
    QFETCH(int, blocked);
    if (exempt) {
        QSignalSpy changed(&ContentBlocking::instance(), &ContentBlocking::changed);
        ContentBlocking::instance().setExempt(host, true);
        QTRY_VERIFY_WITH_TIMEOUT(!changed.isEmpty(), kWait);
    }
    QUrl url = server_->url(QStringLiteral("/page.html"));
    url.setHost(host);
    TBrowserWindow *w = openOn(engine, url.toString());
    QTRY_COMPARE_WITH_TIMEOUT(w->windowTitle(), seen, kWait);
    QCOMPARE(server_->requestCount("/ads/track.js"), seen.startsWith("t1") ? 1 : 0);
    QCOMPARE(server_->requestCount("/pixel.gif"), seen.contains("p1") ? 1 : 0);
    QTRY_COMPARE_WITH_TIMEOUT(w->control()->BlockedCount(), blocked, kWait);
}

void TestContentBlocking::blockedPageShowsOurPage()
{
    QFETCH(QString, engine);
    const QString address = server_->url(QStringLiteral("/malware/page.html")).toString();
    TBrowserWindow *w = openOn(engine, fixture_.pages().page("before.html", "before"));
    QTRY_COMPARE_WITH_TIMEOUT(w->windowTitle(), QString("before"), kWait);
    MainForm->txtAddress->setText(address);
    MainForm->btnMove->click();
    auto *page = w->control()->findChild<ErrorPage *>();
    QVERIFY(page);
    QTRY_VERIFY_WITH_TIMEOUT(page->isVisible(), kWait);
    QCOMPARE(page->kind(), ErrorPage::Kind::Blocked);
    QCOMPARE(page->findChild<QLabel *>("errorHeading")->text(), QString("このページはブロックされました"));
    QCOMPARE(server_->requestCount("/malware/page.html"), 0);
    QCOMPARE(MainForm->txtAddress->text(), address);
}

int main(int argc, char *argv[])
{
    TestContentBlocking tc;
    return vexelTestMain(argc, argv, &tc);
}
#include "test_contentblocking.moc"
