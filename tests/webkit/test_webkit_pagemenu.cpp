// SPDX-License-Identifier: GPL-3.0-or-later
// The Gecko slot's GTK context menu, its engine data kept across a restart
// of the host, and windows that wait for their view or hang.

#include "webkitextras.h"

// --- The page's context menu ---------------------------------------------------------

// Items in order, as the keyboard reaches them (disabled ones are skipped):
// 戻る, 進む, 再読み込み, [link items | selection items], ページ内を検索...,
// 拡大, 縮小, 標準の大きさ.

void TestWebKitExtras::contextMenuNavigates()
{
    const QString one = fixture_.pages().page("one.html", "one", "<p style=\"height:300px\">one</p>");
    // Counts how often it is shown, also from the back-forward cache.
    const QString two = fixture_.pages().page(
        "two.html", "two",
        "<p style=\"height:300px\">two</p><script>addEventListener('pageshow', () => {"
        "  const n = Number(sessionStorage.getItem('shown') || 0) + 1;"
        "  sessionStorage.setItem('shown', n); document.title = 'two:' + n; });</script>");
    TBrowserWindow *w = openGecko(one);
    QTRY_COMPARE_WITH_TIMEOUT(w->windowTitle(), QString("one"), kWait);
    w->control()->Navigate(two);
    QTRY_COMPARE_WITH_TIMEOUT(w->windowTitle(), QString("two:1"), kWait);
    QTRY_VERIFY(MainForm->BackCtrl->isEnabled());

    // 戻る (進む is disabled: not reachable).
    QVERIFY(chooseFromContextMenu(w->control(), QPoint(100, 100), 0));
    QTRY_COMPARE_WITH_TIMEOUT(w->windowTitle(), QString("one"), kWait);
    QTRY_VERIFY(MainForm->FrwrdCtrl->isEnabled());
    // Now 戻る is disabled: 進む comes first.
    QVERIFY(chooseFromContextMenu(w->control(), QPoint(100, 100), 0));
    QTRY_COMPARE_WITH_TIMEOUT(w->windowTitle(), QString("two:2"), kWait);
    QTRY_VERIFY(!MainForm->FrwrdCtrl->isEnabled());
    // 再読み込み, after 戻る.
    QVERIFY(chooseFromContextMenu(w->control(), QPoint(100, 100), 1));
    QTRY_COMPARE_WITH_TIMEOUT(w->windowTitle(), QString("two:3"), kWait);
    QCOMPARE(w->control()->LocationURL(), two);
}

void TestWebKitExtras::contextMenuLinks()
{
    const QString target = fixture_.pages().page("target.html", "target");
    const QString page = fixture_.pages().page(
        "links.html", "links",
        "<a href=\"target.html\" style=\"position:absolute;left:20px;top:20px;width:200px;height:40px;"
        "display:block\">link</a>");
    TBrowserWindow *w = openGecko(page);
    QTRY_COMPARE_WITH_TIMEOUT(w->windowTitle(), QString("links"), kWait);

    // リンクのアドレスをコピー: 再読み込み, リンクを新しいウィンドウで開く, this.
    QGuiApplication::clipboard()->clear();
    QVERIFY(chooseFromContextMenu(w->control(), QPoint(60, 40), 2));
    QTRY_COMPARE_WITH_TIMEOUT(QGuiApplication::clipboard()->text(), target, kWait);
    QCOMPARE(MainForm->MDIClient->subWindowList().size(), 1);

    // リンクを新しいウィンドウで開く: through the frame, of the engine its
    // menu chooses.
    MainForm->IE_itemClick();
    QVERIFY(chooseFromContextMenu(w->control(), QPoint(60, 40), 1));
    QTRY_COMPARE_WITH_TIMEOUT(MainForm->MDIClient->subWindowList().size(), 2, kWait);
    TBrowserWindow *opened = MainForm->ActiveMDIChild();
    QVERIFY(opened != w);
    QCOMPARE(opened->objectName(), QString("frm_IE"));
    QTRY_COMPARE_WITH_TIMEOUT(opened->windowTitle(), QString("target"), kWait);
    QCOMPARE(w->control()->LocationURL(), page);

    // Off the link, its items are gone: the third item is the find bar's.
    MainForm->WindowTileVertical1Execute();
    MainForm->MDIClient->setActiveSubWindow(w);
    auto *bar = MainForm->findChild<TFindBar *>();
    QVERIFY(bar && !bar->isVisible());
    QVERIFY(chooseFromContextMenu(w->control(), QPoint(60, 150), 2));
    QTRY_VERIFY(bar->isVisible());
    QCOMPARE(MainForm->MDIClient->subWindowList().size(), 2);
}

void TestWebKitExtras::contextMenuCopiesTheSelection()
{
    TBrowserWindow *w = openGecko(fixture_.pages().page(
        "select.html", "select",
        "<p style=\"position:absolute;left:20px;top:10px;font-size:30px;margin:0\">"
        "<span id=\"w\">選んだ言葉</span> その他</p><script>"
        "getSelection().selectAllChildren(document.getElementById('w'));</script>"));
    QTRY_COMPARE_WITH_TIMEOUT(w->windowTitle(), QString("select"), kWait);
    QGuiApplication::clipboard()->clear();
    // コピー, after 再読み込み (戻る and 進む are disabled).
    QVERIFY(chooseFromContextMenu(w->control(), QPoint(40, 25), 1));
    QTRY_COMPARE_WITH_TIMEOUT(QGuiApplication::clipboard()->text(), QString("選んだ言葉"), kWait);
}

void TestWebKitExtras::contextMenuFindAndZoom()
{
    TBrowserWindow *w = openGecko(fixture_.pages().page("zoom.html", "zoom", "<p style=\"height:300px\">text</p>"));
    QTRY_COMPARE_WITH_TIMEOUT(w->windowTitle(), QString("zoom"), kWait);
    auto *bar = MainForm->findChild<TFindBar *>();
    QVERIFY(bar && !bar->isVisible());
    // 再読み込み, 印刷..., ページ内を検索..., 拡大, 縮小, 標準の大きさ.
    QVERIFY(chooseFromContextMenu(w->control(), QPoint(100, 100), 2));
    QTRY_VERIFY(bar->isVisible());
    QTRY_VERIFY(bar->txtFind->hasFocus());
    bar->closeBar();

    QCOMPARE(w->control()->ZoomFactor(), 1.0);
    QVERIFY(chooseFromContextMenu(w->control(), QPoint(100, 100), 3));
    QTRY_COMPARE(w->control()->ZoomFactor(), engines::nextZoom(1.0, 1));
    QVERIFY(chooseFromContextMenu(w->control(), QPoint(100, 100), 3));
    QTRY_COMPARE(w->control()->ZoomFactor(), engines::nextZoom(engines::nextZoom(1.0, 1), 1));
    QVERIFY(chooseFromContextMenu(w->control(), QPoint(100, 100), 4));
    QTRY_COMPARE(w->control()->ZoomFactor(), engines::nextZoom(1.0, 1));
    QVERIFY(chooseFromContextMenu(w->control(), QPoint(100, 100), 5));
    QTRY_COMPARE(w->control()->ZoomFactor(), 1.0);
}

// --- Engine data ------------------------------------------------------------------------

void TestWebKitExtras::cookiesAndStorageSurviveHostRestart_data()
{
    boolRows("killed", "host ended by the frame", "host killed");
}

void TestWebKitExtras::cookiesAndStorageSurviveHostRestart()
{
    QFETCH(bool, killed);
    const QByteArray tag = killed ? "killed" : "ended";
    HttpServer server;
    server.route("/set", [&](const HttpRequest &) {
        return HttpResponse{200, "OK",
                            {{"Set-Cookie", "kept_" + tag + "=1; Max-Age=3600; Path=/"},
                             {"Set-Cookie", "session_" + tag + "=1; Path=/"}},
                            "<script>localStorage.setItem('stored_" + tag + "', 'yes');"
                            "document.title = 'set ' + document.cookie;</script>",
                            false};
    });
    server.route("/get", [&](const HttpRequest &r) {
        return HttpResponse{200, "OK", {},
                            "<script>document.title = 'cookies: " + r.headers.value("cookie") +
                                " storage: ' + localStorage.getItem('stored_" + tag + "');</script>",
                            false};
    });
    QPointer<TBrowserWindow> w = openGecko(server.url("/set").toString());
    QTRY_VERIFY_WITH_TIMEOUT(w->windowTitle().startsWith("set "), kWait);
    QVERIFY2(w->windowTitle().contains(QString("kept_%1=1; session_%1=1").arg(tag)), qPrintable(w->windowTitle()));
    w->close();
    QTRY_VERIFY(w.isNull());

    const qint64 host = WebKitHost::runningProcessId();
    QVERIFY(host);
    const QList<pid_t> children = childProcessesOf(host, "WebKit");
    QVERIFY(!children.isEmpty());
    if (killed)
        ::kill(pid_t(host), SIGKILL);
    else
        delete WebKitHost::running();  // as at the program's end: its input closes
    QTRY_COMPARE_WITH_TIMEOUT(WebKitHost::runningProcessId(), qint64(0), kWait);
    // Its engine processes write out what they hold as they end.
    for (pid_t child : children)
        QTRY_VERIFY_WITH_TIMEOUT(processEnded(child), kWait);

    w = openGecko(server.url("/get").toString());
    QTRY_VERIFY_WITH_TIMEOUT(w->windowTitle().startsWith("cookies:"), kWait);
    QVERIFY(WebKitHost::runningProcessId() != host);
    // The persistent cookie and the storage are back; the session cookie
    // ended with its session.
    const QString title = w->windowTitle();
    QVERIFY2(title.contains("kept_" + tag + "=1") && !title.contains("session_" + tag) &&
                 title.endsWith(" storage: yes"),
             qPrintable(title));
}

// --- Windows that wait for their view, pages that hang ---------------------------

void TestWebKitExtras::pageDialogWhileAGeckoWindowIsMade()
{
    if (const qint64 pid = WebKitHost::runningProcessId()) {
        ::kill(pid_t(pid), SIGKILL);
        QTRY_COMPARE(WebKitHost::runningProcessId(), qint64(0));
    }
    // The real host, with its answer to the second view held back (the
    // lines after it pass): the wrapper keeps it in a file, and the test
    // sends it on through a FIFO the wrapper copies to the frame.
    QTemporaryDir scripts;
    const QString gate = scripts.filePath("gate");
    const QString held = scripts.filePath("held");
    const QString wrapper = scripts.filePath("host");
    QVERIFY(::mkfifo(QFile::encodeName(gate).constData(), 0600) == 0);
    QFile f(wrapper);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("#!/bin/sh\ncat \"" + QFile::encodeName(gate) + "\" &\n\"" +
            QFile::encodeName(QCoreApplication::applicationDirPath()) +
            "/vexel-webkit\" | while IFS= read -r line; do\n"
            "  case \"$line\" in\n"
            "    \"2 plug \"*) printf '%s\\n' \"$line\" > \"" + QFile::encodeName(held) + ".new\" && mv \"" +
            QFile::encodeName(held) + ".new\" \"" + QFile::encodeName(held) + "\" ;;\n"
            "    *) printf '%s\\n' \"$line\" ;;\n"
            "  esac\n"
            "done\n");
    f.close();
    QVERIFY(f.setPermissions(f.permissions() | QFileDevice::ExeOwner));
    WebKitHost::setExecutableForTesting(wrapper);
    // Sends what is held (if anything) and ends the wrapper's copy; false
    // when the copy has already ended.
    const auto openGate = [&] {
        const int fd = ::open(QFile::encodeName(gate).constData(), O_WRONLY | O_NONBLOCK);
        if (fd < 0)
            return false;
        QFile line(held);
        const QByteArray bytes = line.open(QIODevice::ReadOnly) ? line.readAll() : QByteArray();
        const bool sent = ::write(fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
        ::close(fd);
        return sent;
    };
    // Whatever happens, nothing stays held, and the next test starts the
    // real host again.
    const auto done = qScopeGuard([&] {
        openGate();
        delete WebKitHost::running();
    });

    QPointer<TBrowserWindow> a = openGecko(fixture_.pages().page(
        "a.html", "A", "<script>onhashchange = () => { alert('from A'); document.title = 'answered'; };</script>"));
    QTRY_COMPARE_WITH_TIMEOUT(a->windowTitle(), QString("A"), kWait);

    // The second window is there at once, its view on the way.
    QPointer<TBrowserWindow> b = openGecko(fixture_.pages().page("b.html", "B"));
    QVERIFY(b && b != a);
    QVERIFY(geckoOf(b)->isCreating());

    // Meanwhile the first window's page asks; the dialog is its own and
    // runs in no window's making.
    WhenOpen answers(press(QMessageBox::Ok));
    a->control()->Navigate(a->control()->LocationURL() + "#go");
    QTRY_COMPARE_WITH_TIMEOUT(a->windowTitle(), QString("answered"), kWait);
    QCOMPARE(answers.texts, QStringList{"from A"});
    QVERIFY(answers.parents.first() && a->isAncestorOf(answers.parents.first()));
    QVERIFY(geckoOf(b)->isCreating());

    // The view arrives and shows what was asked of it before.
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(held), kWait);
    QVERIFY(openGate());
    QTRY_COMPARE_WITH_TIMEOUT(b->windowTitle(), QString("B"), kWait);
    QVERIFY(!geckoOf(b)->isCreating());
    QVERIFY(geckoOf(b)->plugWindow());
}

void TestWebKitExtras::hungPageIsStoppedAndReloaded()
{
    HttpServer server;
    // Hangs the first time only, so Reload shows the page working.
    int served = 0;
    server.route("/page", [&](const HttpRequest &) {
        const QByteArray body = ++served == 1 ? QByteArray("<title>hung</title><script>setTimeout(() => {"
                                                           " fetch('/hanging'); for (;;) {} }, 0);</script>")
                                              : QByteArray("<title>recovered</title>");
        return HttpResponse{200, "OK", {{"Cache-Control", "no-store"}}, body, false};
    });
    TBrowserWindow *other = openGecko(fixture_.pages().page("other.html", "other"));
    QTRY_COMPARE_WITH_TIMEOUT(other->windowTitle(), QString("other"), kWait);
    QPointer<TBrowserWindow> w = openGecko(server.url("/page").toString());
    QTRY_VERIFY_WITH_TIMEOUT(server.requestCount("/hanging") == 1, kWait);

    // Some seconds later; the wait only bounds a test that would never end.
    QTRY_VERIFY_WITH_TIMEOUT(w->HungBar->isVisible(), 4 * kWait);
    QCOMPARE(w->HungBar->findChild<QLabel *>("lblHung")->text(), QString("このページは応答していません"));
    QVERIFY(other->HungBar->isHidden());
    // The other window goes on meanwhile.
    other->control()->Navigate(fixture_.pages().page("other2.html", "other2"));
    QTRY_COMPARE_WITH_TIMEOUT(other->windowTitle(), QString("other2"), kWait);
    QVERIFY(w->HungBar->isVisible());

    w->btnStopPage->click();
    QTRY_VERIFY_WITH_TIMEOUT(geckoOf(w)->showsCrash(), kWait);
    QVERIFY(w->HungBar->isHidden());
    QVERIFY(!geckoOf(other)->showsCrash());

    // Reload recovers, as after a crash.
    MainForm->MDIClient->setActiveSubWindow(w);
    MainForm->ReLoadCtrlClick();
    QTRY_COMPARE_WITH_TIMEOUT(w->windowTitle(), QString("recovered"), kWait);
    QVERIFY(!geckoOf(w)->showsCrash());
    QVERIFY(w->HungBar->isHidden());
}
