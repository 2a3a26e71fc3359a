// SPDX-License-Identifier: GPL-3.0-or-later
// What a hostile server or page may not do, in both engines alike: choose
// where a download is saved, or open windows the user did not ask for.

#include "browser/pagedialogs.h"
#include "httpserver.h"
#include "webkittests.h"

#include <QSignalSpy>
#include <QStandardPaths>

class TestHostilePages : public EngineTest {
    Q_OBJECT
private slots:
    void serverFileNamesBecomePlainNames_data();
    void serverFileNamesBecomePlainNames();
    void savedPageNames_data();
    void savedPageNames();
    void downloadStaysInTheDownloadFolder_data();
    void downloadStaysInTheDownloadFolder();
    void windowsOpenOnlyForTheUser_data();
    void windowsOpenOnlyForTheUser();

private:
    TBrowserWindow *open(bool gecko, const QString &url);
    static int windowCount() { return MainForm->MDIClient->subWindowList().size(); }
};

TBrowserWindow *TestHostilePages::open(bool gecko, const QString &url)
{
    return gecko ? openGecko(url) : openIE(url);
}

void TestHostilePages::serverFileNamesBecomePlainNames_data()
{
    QTest::addColumn<QString>("suggested");
    QTest::addColumn<QString>("name");
    QTest::newRow("plain") << "report.pdf" << "report.pdf";
    QTest::newRow("up two folders") << "../../evil.sh" << "evil.sh";
    QTest::newRow("absolute") << "/etc/cron.d/job" << "job";
    QTest::newRow("backslashes") << "..\\..\\evil.sh" << "evil.sh";
    QTest::newRow("hidden") << ".bashrc" << "bashrc";
    QTest::newRow("dots only") << ".." << "download";
    QTest::newRow("ends in a folder") << "dir/" << "download";
    QTest::newRow("empty") << "" << "download";
    QTest::newRow("control characters") << "a\nb\x01\x7f.txt" << "ab.txt";
    QTest::newRow("right-to-left override") << QStringLiteral("photo\u202Egpj.exe") << "photogpj.exe";
    QTest::newRow("blanks and dots") << " . .profile " << "profile";
    QTest::newRow("Japanese") << "資料.txt" << "資料.txt";
    QTest::newRow("too long") << QString(300, QLatin1Char('a')) + ".txt" << "download.txt";
    QTest::newRow("too long, Japanese") << QString(90, QChar(0x8CC7)) << "download";
    QTest::newRow("too long, odd extension") << QString(300, QLatin1Char('a')) + ".a b" << "download";
}

void TestHostilePages::serverFileNamesBecomePlainNames()
{
    QFETCH(QString, suggested);
    QFETCH(QString, name);
    QCOMPARE(pagedialogs::safeFileName(suggested), name);
    QString proposed;
    pagedialogs::savePathChooser() = [&](QWidget *, const QString &p) {
        proposed = p;
        return QString();
    };
    pagedialogs::chooseDownloadPath(nullptr, suggested);
    QCOMPARE(proposed, QDir(downloadFolder()).filePath(name));
}

void TestHostilePages::savedPageNames_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("name");
    QTest::newRow("titled") << "お知らせ" << "http://example.test/index.html" << "お知らせ.mhtml";
    QTest::newRow("untitled") << "" << "http://example.test/dir/report.html" << "report.mhtml";
    QTest::newRow("no file name") << "" << "http://example.test/" << "example.test.mhtml";
    QTest::newRow("title is a path") << "../../.bashrc" << "http://example.test/" << "bashrc.mhtml";
    QTest::newRow("title of dots") << "..." << "file:///tmp/a.htm" << "a.mhtml";
    QTest::newRow("long title") << QString(300, QChar(0x8CC7)) << "http://example.test/" << QString(80, QChar(0x8CC7)) + ".mhtml";
    QTest::newRow("titled by its address") << "127.0.0.1:8080/dir/report.html" << "http://127.0.0.1:8080/dir/report.html"
                                           << "report.mhtml";
    QTest::newRow("nothing") << "" << "" << "page.mhtml";
}

void TestHostilePages::savedPageNames()
{
    QFETCH(QString, title);
    QFETCH(QString, address);
    QFETCH(QString, name);
    QCOMPARE(pagedialogs::savedPageName(title, QUrl(address)), name);
}

void TestHostilePages::downloadStaysInTheDownloadFolder_data()
{
    QTest::addColumn<bool>("gecko");
    QTest::addColumn<QByteArray>("disposition");
    for (bool gecko : {false, true}) {
        const char *engine = gecko ? "Gecko" : "Internet Explorer";
        QTest::addRow("%s, ../../evil.sh", engine) << gecko << QByteArray("attachment; filename=\"../../evil.sh\"");
        QTest::addRow("%s, encoded ../", engine) << gecko << QByteArray("attachment; filename*=UTF-8''..%2F..%2Fevil.sh");
    }
}

void TestHostilePages::downloadStaysInTheDownloadFolder()
{
    QFETCH(bool, gecko);
    QFETCH(QByteArray, disposition);
    HttpServer server;
    server.route("/get", [&](const HttpRequest &) {
        return HttpResponse{200, "OK", {{"Content-Type", "application/octet-stream"}, {"Content-Disposition", disposition}},
                            "#!/bin/sh\n", false};
    });
    QString proposed;
    pagedialogs::savePathChooser() = [&](QWidget *, const QString &p) {
        proposed = p;
        return QString();  // cancelled: nothing is saved
    };
    open(gecko, server.url("/get").toString());
    QTRY_VERIFY_WITH_TIMEOUT(!proposed.isEmpty(), kWait);
    QCOMPARE(QFileInfo(proposed).absolutePath(), downloadFolder());
    QCOMPARE(QFileInfo(proposed).fileName(), QString("evil.sh"));
}

void TestHostilePages::windowsOpenOnlyForTheUser_data()
{
    boolRows("gecko", "Internet Explorer", "Gecko");
}

void TestHostilePages::windowsOpenOnlyForTheUser()
{
    QFETCH(bool, gecko);
    const QString target = fixture_.pages().page("target.html", "target");
    // Eight windows from a timer, with nobody clicking.
    const QString timed = fixture_.pages().page(
        "timed.html", "timed",
        "<script>let n = 0; const t = setInterval(() => { window.open('target.html');"
        " if (++n == 8) { clearInterval(t); document.title = 'done'; } }, 20);</script>");
    TBrowserWindow *w = open(gecko, timed);
    QSignalSpy messages(w->control(), &EngineControl::StatusMessage);
    QTRY_COMPARE_WITH_TIMEOUT(w->windowTitle(), QString("done"), kWait);
    QTRY_COMPARE_WITH_TIMEOUT(messages.size(), 8, kWait);
    for (const QList<QVariant> &m : messages)
        QCOMPARE(m.first().toString(), QString("ポップアップをブロックしました"));
    QCOMPARE(MainForm->StatusBar1->panelText(), QString("ポップアップをブロックしました"));
    QCOMPARE(windowCount(), 1);

    // A click on a link with a target, and a click that calls window.open,
    // each open the window the user asked for.
    const QString clicks = fixture_.pages().page(
        "clicks.html", "clicks",
        "<a href='target.html' target='_blank' style='display:block;height:60px;background:#ccf'>link</a>"
        "<button style='display:block;width:200px;height:60px' onclick=\"window.open('target.html')\">open</button>");
    MainForm->OpenBrowserWindow(QString(), clicks);
    TBrowserWindow *page = MainForm->ActiveMDIChild();
    QTRY_COMPARE_WITH_TIMEOUT(page->windowTitle(), QString("clicks"), kWait);
    const int before = windowCount();
    QVERIFY(clickAt(onScreen(page->control(), QPoint(30, 30))));
    QTRY_COMPARE_WITH_TIMEOUT(windowCount(), before + 1, kWait);
    QTRY_COMPARE_WITH_TIMEOUT(MainForm->ActiveMDIChild()->control()->LocationURL(), target, kWait);
    MainForm->MDIClient->setActiveSubWindow(page);
    QTRY_COMPARE(MainForm->ActiveMDIChild(), page);
    QVERIFY(clickAt(onScreen(page->control(), QPoint(30, 90))));
    QTRY_COMPARE_WITH_TIMEOUT(windowCount(), before + 2, kWait);
    QTRY_COMPARE_WITH_TIMEOUT(MainForm->ActiveMDIChild()->control()->LocationURL(), target, kWait);
}

VEXEL_TEST_MAIN(TestHostilePages)
#include "test_hostile_pages.moc"
