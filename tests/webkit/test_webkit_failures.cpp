// SPDX-License-Identifier: GPL-3.0-or-later
// What goes wrong around the Gecko slot's engine host, and what the user
// sees: no host, a host that ends at once, a host or a web process that
// dies under open windows, and windows that close.

#include "webkittests.h"

#include "core/errors.h"
#include "browser/engines/webkitgtk/protocol.h"

#include <QToolButton>
#include <csignal>

class TestWebKitFailures : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void noHostBesideTheProgram();
    void hostThatEndsAtOnce_data();
    void hostThatEndsAtOnce();
    void closingAWindowReleasesItsView();
    void closingTheFrameLeavesTheHostWell();
    void killedHostLeavesFrameAndIEGoing_data() { boolRows("pastTheCache", "reload", "reload past the cache"); }
    void killedHostLeavesFrameAndIEGoing();
    void crashedPageComesBackWithReload();

private:
    // Ends the running host (none of its windows open), so the next window
    // starts one.
    static void stopHost();
    QString script(const QString &name, const QByteArray &body);

    QTemporaryDir scripts_;
};

void TestWebKitFailures::initTestCase()
{
    engines::registerBuiltInEngines();
}

void TestWebKitFailures::init()
{
    failOnXErrors();
}

void TestWebKitFailures::cleanup()
{
    WebKitHost::setExecutableForTesting(QString());
    WebKitHost::setReplyTimeoutForTesting(0);
}

void TestWebKitFailures::stopHost()
{
    if (const qint64 pid = WebKitHost::runningProcessId()) {
        ::kill(pid_t(pid), SIGKILL);
        QTRY_COMPARE(WebKitHost::runningProcessId(), qint64(0));
    }
}

QString TestWebKitFailures::script(const QString &name, const QByteArray &body)
{
    const QString path = scripts_.filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        qFatal("cannot write a script");
    f.write("#!/bin/sh\n" + body + "\n");
    f.setPermissions(f.permissions() | QFileDevice::ExeOwner);
    return path;
}

void TestWebKitFailures::noHostBesideTheProgram()
{
    stopHost();
    GeckoFrame frame;
    // The host in the current directory does not count: only the one
    // beside the program does.
    QFile::copy(QCoreApplication::applicationDirPath() + "/vexel-webkit", frame.dirs.currentDir() + "/vexel-webkit");
    WebKitHost::setExecutableForTesting(scripts_.filePath("missing/vexel-webkit"));

    MainForm->Moz_Item->setEnabled(true);
    MainForm->Moz_ItemClick();
    MainForm->FileNew1->trigger();
    QCOMPARE(frame.errors.messages, QStringList{errorBoxText(engines::classNotRegisteredMessage())});
    QVERIFY(MainForm->MDIClient->subWindowList().isEmpty());
    QCOMPARE(WebKitHost::runningProcessId(), qint64(0));
}

void TestWebKitFailures::hostThatEndsAtOnce_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("registered");
    // What the host tells the window in every other case is the host's own
    // test (test_webkit_host); here, what the window makes of the two kinds.
    QTest::newRow("no display") << QByteArray("exit 1") << false;
    QTest::newRow("ready, then gone") << QByteArray("echo '0 ready " VEXEL_PROTO_VERSION "'; exit 0") << true;
}

void TestWebKitFailures::hostThatEndsAtOnce()
{
    QFETCH(QByteArray, body);
    QFETCH(bool, registered);
    stopHost();
    GeckoFrame frame;
    WebKitHost::setExecutableForTesting(script("host", body));
    // Long enough never to be what ends the wait here.
    WebKitHost::setReplyTimeoutForTesting(60000);

    // The window is there at once; the failure comes when the host has
    // answered (or ended), and takes the window with it.
    openGecko(QStringLiteral("about:blank"));
    QCOMPARE(MainForm->MDIClient->subWindowList().size(), 1);
    QVERIFY(frame.errors.messages.isEmpty());
    QTRY_COMPARE(frame.errors.messages, QStringList{errorBoxText(registered ? engines::activationFailedMessage()
                                                                      : engines::classNotRegisteredMessage())});
    QTRY_VERIFY(MainForm->MDIClient->subWindowList().isEmpty());
    QTRY_COMPARE(WebKitHost::runningProcessId(), qint64(0));

    // The real host, next time.
    WebKitHost::setExecutableForTesting(QString());
    TBrowserWindow *w = openGecko(frame.pages.page("a.html", "A"));
    QTRY_COMPARE(w->windowTitle(), QString("A"));
    QCOMPARE(frame.errors.messages.size(), 1);
}

void TestWebKitFailures::closingAWindowReleasesItsView()
{
    GeckoFrame frame;
    TBrowserWindow *one = openGecko(frame.pages.page("one.html", "one"));
    TBrowserWindow *two = openGecko(frame.pages.page("two.html", "two"));
    QTRY_COMPARE(one->windowTitle(), QString("one"));
    QTRY_COMPARE(two->windowTitle(), QString("two"));
    const quint32 plug = geckoOf(one)->plugWindow();
    QVERIFY(plug);
    QVERIFY(xWindowExists(plug));
    const qint64 host = WebKitHost::runningProcessId();

    QPointer<TBrowserWindow> closed = one;
    one->close();
    QTRY_VERIFY(!closed);
    QTRY_VERIFY(!xWindowExists(plug));
    // The other window and the host go on.
    QCOMPARE(WebKitHost::runningProcessId(), host);
    two->control()->Navigate(frame.pages.page("three.html", "three"));
    QTRY_COMPARE(two->windowTitle(), QString("three"));
}

void TestWebKitFailures::closingTheFrameLeavesTheHostWell()
{
    // A frame with one Gecko window on a page, which goes with its window
    // open, as at the program's end: its plug, and the host it used.
    const auto frameGoesWithItsWindow = [](const QByteArray &title, quint32 *plug, qint64 *host) {
        GeckoFrame frame;
        TBrowserWindow *w = openGecko(frame.pages.page(title + ".html", title));
        QTRY_COMPARE(w->windowTitle(), QString(title));
        *plug = geckoOf(w)->plugWindow();
        *host = WebKitHost::runningProcessId();
    };
    quint32 plug = 0;
    qint64 host = 0;
    frameGoesWithItsWindow("A", &plug, &host);
    QTRY_VERIFY(!xWindowExists(plug));
    QCOMPARE(WebKitHost::runningProcessId(), host);
    // The next frame's window uses the same host.
    qint64 next = 0;
    frameGoesWithItsWindow("B", &plug, &next);
    QCOMPARE(next, host);
}

void TestWebKitFailures::killedHostLeavesFrameAndIEGoing()
{
    QFETCH(bool, pastTheCache);
    GeckoFrame frame;
    const QString a = frame.pages.page("a.html", "A");
    TBrowserWindow *ie = openIE(frame.pages.page("ie.html", "ie"));
    QTRY_COMPARE(ie->windowTitle(), QString("ie"));
    TBrowserWindow *mz = openGecko(a);
    QTRY_COMPARE(mz->windowTitle(), QString("A"));
    MainForm->WindowTileVertical1Execute();
    const qint64 host = WebKitHost::runningProcessId();
    QVERIFY(host);

    ::kill(pid_t(host), SIGKILL);
    QTRY_VERIFY(geckoOf(mz)->showsCrash());
    QVERIFY(MainForm->isVisible());
    QVERIFY(MainForm->ReLoadCtrl->isEnabled());
    QVERIFY(!MainForm->StopCtrl->isEnabled());
    QCOMPARE(mz->control()->LocationURL(), a);

    // The IE window goes on.
    ie->control()->Navigate(frame.pages.page("ie2.html", "ie2"));
    QTRY_COMPARE(ie->windowTitle(), QString("ie2"));

    // A new Gecko window starts a new host.
    TBrowserWindow *fresh = openGecko(frame.pages.page("b.html", "B"));
    QTRY_COMPARE(fresh->windowTitle(), QString("B"));
    QVERIFY(WebKitHost::runningProcessId() != host);

    // Reload (either) brings the page back, in the new host.
    MainForm->MDIClient->setActiveSubWindow(mz);
    mz->setWindowTitle(QString());
    if (pastTheCache)
        mz->control()->RefreshBypassingCache();
    else
        MainForm->ReLoadCtrlClick();
    QVERIFY(!geckoOf(mz)->showsCrash());
    QTRY_COMPARE(mz->control()->LocationURL(), a);
    QTRY_COMPARE(mz->windowTitle(), QString("A"));
    QTRY_VERIFY(!MainForm->StopCtrl->isEnabled());
    QVERIFY(frame.errors.messages.isEmpty());
}

void TestWebKitFailures::crashedPageComesBackWithReload()
{
    stopHost();
    GeckoFrame frame;
    const QString a = frame.pages.page("a.html", "A");
    TBrowserWindow *w = openGecko(a);
    QTRY_COMPARE(w->windowTitle(), QString("A"));
    const qint64 host = WebKitHost::runningProcessId();
    QList<pid_t> web;
    QTRY_VERIFY((web = webProcessesOf(host)).size() == 1);

    w->setWindowTitle(QString());
    ::kill(web.first(), SIGKILL);
    QTRY_VERIFY(geckoOf(w)->showsCrash());
    QCOMPARE(WebKitHost::runningProcessId(), host);
    QVERIFY(MainForm->ReLoadCtrl->isEnabled());

    MainForm->ReLoadCtrlClick();
    QVERIFY(!geckoOf(w)->showsCrash());
    QTRY_COMPARE(w->windowTitle(), QString("A"));
    QCOMPARE(w->control()->LocationURL(), a);
    QCOMPARE(WebKitHost::runningProcessId(), host);
    QVERIFY(frame.errors.messages.isEmpty());
}

VEXEL_TEST_MAIN(TestWebKitFailures)
#include "test_webkit_failures.moc"
