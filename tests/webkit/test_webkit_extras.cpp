// SPDX-License-Identifier: GPL-3.0-or-later
// What only the Gecko slot's engine (in its host process) has to get right:
// downloads into a missing folder or outliving their page, proxy
// authentication, closing pages that crashed, load or
// hang, its GTK context menu, engine data kept across a restart of the host,
// and windows that wait for their view (the context menu, engine data and
// waiting windows in test_webkit_pagemenu.cpp). What both engines share is in the
// engine contract test.

#include "webkitextras.h"

void TestWebKitExtras::cleanup()
{
    WebKitHost::setExecutableForTesting(QString());
    EngineTest::cleanup();
}

// --- Downloads ----------------------------------------------------------------

void TestWebKitExtras::downloadIntoAMissingFolderSaysSo()
{
    HttpServer server;
    server.route("/get", [](const HttpRequest &) { return attachment("application/octet-stream", "d.bin", "data"); });
    QTemporaryDir target;
    pagedialogs::savePathChooser() = [&](QWidget *, const QString &) { return target.path() + "/gone/d.bin"; };
    TBrowserWindow *w = openGecko(server.url("/get").toString());
    QTRY_VERIFY_WITH_TIMEOUT(MainForm->StatusBar1->panelText().contains("失敗"), kWait);
    QCOMPARE(MainForm->StatusBar1->panelText(), QString("d.bin のダウンロードに失敗しました (保存先に書き込めません)"));
    QVERIFY(QDir(target.path()).isEmpty());
    QVERIFY(w->LastStatusText.isEmpty());
}

void TestWebKitExtras::pageClosingItselfWaitsForTheSaveDialog()
{
    HttpServer server;
    const QByteArray content(50000, 'c');
    server.route("/get", [&](const HttpRequest &) { return attachment("application/octet-stream", "c.bin", content); });
    bool asked = false;
    server.route("/asked", [&](const HttpRequest &) {
        return HttpResponse{200, "OK", {{"Content-Type", "text/plain"}}, asked ? "yes" : "no", false};
    });
    // The page starts a download, then closes its window once the user is
    // being asked where to save it.
    server.route("/closing", [](const HttpRequest &) {
        return HttpResponse{200, "OK", {},
                            "<title>closing</title><iframe src=\"/get\"></iframe><script>"
                            "setInterval(() => fetch('/asked').then(r => r.text())"
                            "  .then(t => { if (t == 'yes') window.close(); }), 50);</script>",
                            false};
    });
    QTemporaryDir target;
    QPointer<TBrowserWindow> w = openGecko(server.url("/closing").toString());
    bool stayedWhileAsked = false;
    pagedialogs::savePathChooser() = [&](QWidget *, const QString &) {
        asked = true;
        // The page has closed itself meanwhile; the window waits for the answer.
        stayedWhileAsked = QTest::qWaitFor([&] { return w && geckoOf(w)->closesAfterQuestion(); }, kWait) && w;
        return target.path() + "/c.bin";
    };
    QTRY_VERIFY_WITH_TIMEOUT(w.isNull(), kWait);
    QVERIFY(stayedWhileAsked);
    // The answer reached the host before the window went: the file is saved.
    QFile saved(target.path() + "/c.bin");
    QTRY_VERIFY_WITH_TIMEOUT(saved.size() == content.size(), kWait);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(saved.readAll(), content);
}

// --- Authentication and certificates -------------------------------------------

void TestWebKitExtras::proxyAuthentication()
{
    // A proxy on loopback that asks for credentials, for a host of its own
    // (the engine's host takes its proxy from the environment it starts in).
    HttpServer proxy;
    proxy.route("http://vexel.test/page", [](const HttpRequest &r) {
        if (r.headers.value("proxy-authorization") == "Basic " + QByteArray("puser:ppw").toBase64())
            return HttpResponse{200, "OK", {}, "<title>Through</title>", false};
        return HttpResponse{407, "Proxy Authentication Required", {{"Proxy-Authenticate", "Basic realm=\"gate\""}},
                            "<title>Blocked</title>", false};
    });
    const QByteArray before = qgetenv("http_proxy");
    qputenv("http_proxy", proxy.url(QString()).toEncoded());
    auto restore = qScopeGuard([&] {
        if (before.isNull())
            qunsetenv("http_proxy");
        else
            qputenv("http_proxy", before);
        if (const qint64 pid = WebKitHost::runningProcessId())
            ::kill(pid_t(pid), SIGKILL);
    });
    if (const qint64 pid = WebKitHost::runningProcessId()) {
        ::kill(pid_t(pid), SIGKILL);
        QTRY_COMPARE(WebKitHost::runningProcessId(), qint64(0));
    }
    WhenOpen answers(credentials("puser", "ppw"));
    TBrowserWindow *w = openGecko("http://vexel.test/page");
    QTRY_COMPARE_WITH_TIMEOUT(w->windowTitle(), QString("Through"), kWait);
    QCOMPARE(answers.texts, QStringList{"プロキシ 127.0.0.1 がユーザー名とパスワードを求めています。\n領域: gate"});
}

// --- The page's dialogs and closing ------------------------------------------------

void TestWebKitExtras::crashedPageClosesWithoutAsking()
{
    QPointer<TBrowserWindow> w = openGecko(fixture_.pages().page(
        "form.html", "form",
        "<textarea style=\"position:absolute;left:10px;top:10px;width:300px;height:40px\"></textarea>"
        "<script>onbeforeunload = e => { e.preventDefault(); e.returnValue = 'x'; };</script>"));
    QTRY_COMPARE_WITH_TIMEOUT(w->windowTitle(), QString("form"), kWait);
    QVERIFY(clickAt(onScreen(w->control(), QPoint(60, 25))));
    QVERIFY(typeText("a"));
    const qint64 host = WebKitHost::runningProcessId();
    QList<pid_t> web;
    QTRY_VERIFY((web = webProcessesOf(host)).size() == 1);
    ::kill(web.first(), SIGKILL);
    QTRY_VERIFY_WITH_TIMEOUT(geckoOf(w)->showsCrash(), kWait);
    QVERIFY(!w->control()->RequestClose());
    w->close();
    QVERIFY(w.isNull() || !w->isVisible());
    QTRY_VERIFY(w.isNull());
}

void TestWebKitExtras::pagesWithoutAQuestionClose_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("just opened") << "blank";
    QTest::newRow("still loading") << "loading";
    // A page that never answers closes at the second close, as the frame
    // has it; the host goes on.
    QTest::newRow("hung") << "hung";
}

void TestWebKitExtras::pagesWithoutAQuestionClose()
{
    QFETCH(QString, kind);
    HttpServer server;
    server.route("/slow", [](const HttpRequest &) {
        return HttpResponse{200, "OK", {}, "<title>slow</title><p>part", true};
    });
    // Says so (the title would not get through), then never ends its script.
    server.route("/hung", [](const HttpRequest &) {
        return HttpResponse{200, "OK", {},
                            "<title>hung</title><script>setTimeout(() => { fetch('/hanging'); for (;;) {} }, 0);"
                            "</script>",
                            false};
    });
    QSignalSpy requested(&server, &HttpServer::requested);
    QPointer<TBrowserWindow> w;
    if (kind == "blank") {
        w = openGecko(QStringLiteral("about:blank"));
    } else if (kind == "loading") {
        w = openGecko(server.url("/slow").toString());
        QTRY_VERIFY_WITH_TIMEOUT(!requested.isEmpty(), kWait);
        QVERIFY(MainForm->StopCtrl->isEnabled());
    } else {
        w = openGecko(server.url("/hung").toString());
        QTRY_VERIFY_WITH_TIMEOUT(server.requestCount("/hanging") == 1, kWait);
    }
    const QList<pid_t> web = webProcessesOf(WebKitHost::runningProcessId());
    // Any question would be answered, and recorded.
    WhenOpen answers([](QWidget *modal) { QMetaObject::invokeMethod(modal, "reject"); });
    w->close();
    if (kind == "hung") {
        QVERIFY(!w.isNull());
        w->close();
    }
    QTRY_VERIFY_WITH_TIMEOUT(w.isNull(), kWait);
    // Its page's process does not outlive it (a hung one WebKit ends itself,
    // some seconds later).
    if (kind != "hung")
        for (pid_t pid : web)
            QTRY_VERIFY_WITH_TIMEOUT(processEnded(pid), kWait);
    QVERIFY(answers.texts.isEmpty());
    QVERIFY(MainForm->MDIClient->subWindowList().isEmpty());
    TBrowserWindow *next = openGecko(fixture_.pages().page("next.html", "next"));
    QTRY_COMPARE_WITH_TIMEOUT(next->windowTitle(), QString("next"), kWait);
}

VEXEL_TEST_MAIN(TestWebKitExtras)
