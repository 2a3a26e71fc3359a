// SPDX-License-Identifier: GPL-3.0-or-later
// A page whose script never ends, on the Internet Explorer slot's engine:
// its window says so and can end the page, Reload brings it back, and the
// other windows go on meanwhile.

#include "app/forms.h"
#include "app/mainform.h"
#include "browser/browserwindow.h"
#include "browser/engines/webengine/webenginecontrol.h"
#include "httpserver.h"
#include "testsupport.h"

#include <QLabel>
#include <QMdiArea>
#include <QPushButton>
#include <QWebEngineView>

class TestHungPages : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void hungPageIsStoppedAndReloaded_data();
    void hungPageIsStoppedAndReloaded();
};

static constexpr int kLoad = 20000;
// The notice comes some seconds after the page stopped answering; the wait
// only bounds a test that would otherwise never end.
static constexpr int kNotice = 60000;

void TestHungPages::initTestCase()
{
    engines::registerBuiltInEngines();
}

void TestHungPages::hungPageIsStoppedAndReloaded_data()
{
    QTest::addColumn<QByteArray>("script");
    QTest::newRow("while loading") << QByteArray("fetch('/hanging'); for (;;) {}");
    QTest::newRow("after loading") << QByteArray("addEventListener('load', () => setTimeout(() => {"
                                                 " fetch('/hanging'); while (true) {} }, 0));");
}

void TestHungPages::hungPageIsStoppedAndReloaded()
{
    QFETCH(QByteArray, script);
    TestDirs dirs;
    dirs.writeIni("[General]\r\nLastEngine=IE\r\n");
    ErrorRecorder errors;
    Forms forms;
    HttpServer server;
    // Hangs the first time only, so Reload shows the page working.
    int served = 0;
    server.route("/page", [&](const HttpRequest &) {
        const QByteArray body = ++served == 1 ? "<title>hung</title><script>" + script + "</script>"
                                              : QByteArray("<title>recovered</title>");
        return HttpResponse{200, "OK", {{"Cache-Control", "no-store"}}, body, false};
    });
    MainForm->OpenBrowserWindow(QString(), dirs.writePage("other.html", "<title>other</title>"));
    TBrowserWindow *other = MainForm->ActiveMDIChild();
    QTRY_COMPARE_WITH_TIMEOUT(other->windowTitle(), QString("other"), kLoad);
    MainForm->OpenBrowserWindow(QString(), server.url("/page").toString());
    TBrowserWindow *w = MainForm->ActiveMDIChild();
    QVERIFY(w != other);
    QTRY_VERIFY_WITH_TIMEOUT(server.requestCount("/hanging") == 1, kLoad);

    QTRY_VERIFY_WITH_TIMEOUT(w->HungBar->isVisible(), kNotice);
    QCOMPARE(w->HungBar->findChild<QLabel *>("lblHung")->text(), QString("このページは応答していません"));
    QCOMPARE(w->btnStopPage->text(), QString("ページを停止"));
    QVERIFY(other->HungBar->isHidden());

    // The other window goes on meanwhile.
    other->control()->Navigate(dirs.writePage("other2.html", "<title>other2</title>"));
    QTRY_COMPARE_WITH_TIMEOUT(other->windowTitle(), QString("other2"), kLoad);
    QVERIFY(w->HungBar->isVisible());

    auto *engine = static_cast<WebEngineControl *>(w->control());
    const qint64 otherRenderer = static_cast<WebEngineControl *>(other->control())->page()->renderProcessPid();
    w->btnStopPage->click();
    QTRY_VERIFY_WITH_TIMEOUT(engine->showsCrashNotice(), kLoad);
    QVERIFY(w->HungBar->isHidden());
    QVERIFY(!static_cast<WebEngineControl *>(other->control())->showsCrashNotice());
    QCOMPARE(static_cast<WebEngineControl *>(other->control())->page()->renderProcessPid(), otherRenderer);

    // Reload recovers, as after a crash.
    MainForm->MDIClient->setActiveSubWindow(w);
    MainForm->ReLoadCtrlClick();
    QTRY_COMPARE_WITH_TIMEOUT(w->windowTitle(), QString("recovered"), kLoad);
    QVERIFY(!engine->showsCrashNotice());
    QVERIFY(w->HungBar->isHidden());
    QVERIFY(errors.messages.isEmpty());
}

VEXEL_TEST_MAIN(TestHungPages)
#include "test_hungpages.moc"
