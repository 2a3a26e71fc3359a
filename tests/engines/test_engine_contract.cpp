// SPDX-License-Identifier: GPL-3.0-or-later
// The engine contract: what a page reports, the windows it asks for or
// closes, and downloads.

#include "enginecontract.h"

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

VEXEL_TEST_MAIN(TestEngineContract)
