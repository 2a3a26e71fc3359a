// SPDX-License-Identifier: GPL-3.0-or-later
// The engine contract: authentication and certificates, the page's dialogs
// and leaving it, find in page and zoom, and the frame's keys from inside a
// page.

#include "enginecontract.h"

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
    // What the status bar shows as each message arrives: the pointer resting
    // over the page may replace it with a link's address right after.
    QStringList onTheBar;
    QObject context;
    connect(w->control(), &EngineControl::StatusMessage, &context,
            [&onTheBar] { onTheBar << MainForm->StatusBar1->panelText(); });
    w->control()->Navigate(url);
    QTRY_VERIFY_WITH_TIMEOUT(!messages.isEmpty(), kWait);
    const QString message = messages.first().first().toString();
    QVERIFY2(message.startsWith("証明書に問題があるため接続を中止しました: "), qPrintable(message));
    QVERIFY2(message.contains(problem), qPrintable(message));
    QCOMPARE(onTheBar.value(0), message);
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
