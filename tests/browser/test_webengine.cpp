// The Internet Explorer slot's real engine on local pages and a loopback
// server: what a user sees in the frame.

#include "app/forms.h"
#include "app/mainform.h"
#include "browser/childie.h"
#include "browser/engines/webengine/webenginecontrol.h"
#include "httpserver.h"
#include "testsupport.h"

#include <QDir>
#include <QLineEdit>
#include <QMdiArea>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QToolButton>
#include <QWebEngineView>

class TestWebEngine : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void titleAddressAndEmptyBar();
    void backAndForward();
    void hoveredLinkInStatusBar();
    void newWindowsFromPages();
    void stopAndReload();
    void addressWithoutScheme();

private:
    QString page(const QString &name, const QByteArray &html);
    TBrowserWindow *openPage(const QString &address);
    WebEngineControl *engineOf(TBrowserWindow *w) { return static_cast<WebEngineControl *>(w->control()); }

    std::unique_ptr<TestDirs> dirs_;
    std::unique_ptr<ErrorRecorder> errors_;
    std::unique_ptr<Forms> forms_;
};

static constexpr int kLoad = 20000;  // generous for a loaded CI machine

void TestWebEngine::initTestCase()
{
    engines::registerBuiltInEngines();
}

void TestWebEngine::init()
{
    dirs_ = std::make_unique<TestDirs>();
    dirs_->writeIni("[Option_Main]\r\nMozilla=1\r\n");
    errors_ = std::make_unique<ErrorRecorder>();
    forms_ = std::make_unique<Forms>();
    MainForm->resize(900, 700);
}

void TestWebEngine::cleanup()
{
    forms_.reset();
    QVERIFY2(errors_->messages.isEmpty() || QTest::currentTestFailed(), qPrintable(errors_->messages.join('|')));
    errors_.reset();
    dirs_.reset();
}

QString TestWebEngine::page(const QString &name, const QByteArray &html)
{
    return dirs_->writePage(name, html);
}

TBrowserWindow *TestWebEngine::openPage(const QString &address)
{
    MainForm->OpenBrowserWindow(QString(), address);
    return MainForm->ActiveMDIChild();
}

void TestWebEngine::titleAddressAndEmptyBar()
{
    const QString file = page("one.html", "<title>Page One</title><p>one</p>");
    TBrowserWindow *w = openPage(file);
    QVERIFY(qobject_cast<Tfrm_IE *>(w));
    QSignalSpy finished(engineOf(w)->page(), &QWebEnginePage::loadFinished);
    QVERIFY(finished.wait(kLoad));
    QTRY_COMPARE_WITH_TIMEOUT(w->windowTitle(), QString("Page One"), kLoad);
    QCOMPARE(MainForm->txtAddress->text(), QUrl::fromLocalFile(file).toString());
    QCOMPARE(MainForm->ProgressBar1->value(), 0);
    QVERIFY(MainForm->ReLoadCtrl->isEnabled());
}

void TestWebEngine::backAndForward()
{
    const QString one = page("one.html", "<title>One</title>");
    const QString two = page("two.html", "<title>Two</title>");
    TBrowserWindow *w = openPage(one);
    QTRY_COMPARE_WITH_TIMEOUT(w->windowTitle(), QString("One"), kLoad);
    QVERIFY(!MainForm->BackCtrl->isEnabled());
    MainForm->txtAddress->setText(two);
    MainForm->btnMove->click();
    QTRY_COMPARE_WITH_TIMEOUT(w->windowTitle(), QString("Two"), kLoad);
    QTRY_VERIFY(MainForm->BackCtrl->isEnabled());
    QVERIFY(!MainForm->FrwrdCtrl->isEnabled());
    MainForm->BackCtrl->click();
    QTRY_COMPARE_WITH_TIMEOUT(w->windowTitle(), QString("One"), kLoad);
    QTRY_VERIFY(MainForm->FrwrdCtrl->isEnabled());
    QTRY_COMPARE(MainForm->txtAddress->text(), QUrl::fromLocalFile(one).toString());
    MainForm->FrwrdCtrl->click();
    QTRY_COMPARE_WITH_TIMEOUT(w->windowTitle(), QString("Two"), kLoad);
    QTRY_VERIFY(!MainForm->FrwrdCtrl->isEnabled());
}

void TestWebEngine::hoveredLinkInStatusBar()
{
    const QString target = page("target.html", "<title>T</title>");
    const QString file = page("links.html",
                              "<title>Links</title><body style='margin:0'>"
                              "<a id=l href='target.html' style='display:block;width:200px;height:60px'>go</a>"
                              "<div style='height:300px'></div></body>");
    TBrowserWindow *w = openPage(file);
    QTRY_COMPARE_WITH_TIMEOUT(w->windowTitle(), QString("Links"), kLoad);
    QWidget *input = engineOf(w)->view()->focusProxy();
    QVERIFY(input);
    QTest::mouseMove(input, QPoint(10, 200));
    QTest::mouseMove(input, QPoint(50, 30));
    QTRY_COMPARE_WITH_TIMEOUT(MainForm->StatusBar1->panelText(), QUrl::fromLocalFile(target).toString(), kLoad);
    QCOMPARE(w->LastStatusText, QUrl::fromLocalFile(target).toString());
    QTest::mouseMove(input, QPoint(10, 200));
    QTRY_COMPARE_WITH_TIMEOUT(MainForm->StatusBar1->panelText(), QString(), kLoad);
}

void TestWebEngine::newWindowsFromPages()
{
    page("child.html", "<title>Child</title>");
    const QString file = page("opener.html",
                              "<title>Opener</title><body style='margin:0'>"
                              "<a id=l href='child.html' target=_blank "
                              "style='display:block;width:200px;height:60px'>new</a>"
                              "<button style='display:block;width:200px;height:60px'"
                              " onclick=\"window.open('child.html#script')\">open</button></body>");
    TBrowserWindow *opener = openPage(file);
    QTRY_COMPARE_WITH_TIMEOUT(opener->windowTitle(), QString("Opener"), kLoad);
    QWidget *input = engineOf(opener)->view()->focusProxy();
    QTest::mouseClick(input, Qt::LeftButton, {}, QPoint(50, 30));
    QTRY_COMPARE_WITH_TIMEOUT(MainForm->MDIClient->subWindowList().size(), 2, kLoad);
    TBrowserWindow *child = MainForm->ActiveMDIChild();
    QVERIFY(child != opener);
    QTRY_COMPARE_WITH_TIMEOUT(child->windowTitle(), QString("Child"), kLoad);
    // window.open from a script, no click: refused, and the status bar says so.
    MainForm->MDIClient->setActiveSubWindow(opener);
    QSignalSpy messages(opener->control(), &EngineControl::StatusMessage);
    engineOf(opener)->page()->runJavaScript("window.open('child.html#script')");
    QVERIFY(messages.wait(kLoad));
    QCOMPARE(messages.first().first().toString(), QString("ポップアップをブロックしました"));
    QCOMPARE(MainForm->StatusBar1->panelText(), QString("ポップアップをブロックしました"));
    QCOMPARE(MainForm->MDIClient->subWindowList().size(), 2);
    // The same from a click.
    QTest::mouseClick(input, Qt::LeftButton, {}, QPoint(50, 90));
    QTRY_COMPARE_WITH_TIMEOUT(MainForm->MDIClient->subWindowList().size(), 3, kLoad);
    TBrowserWindow *scripted = MainForm->ActiveMDIChild();
    QTRY_COMPARE_WITH_TIMEOUT(scripted->windowTitle(), QString("Child"), kLoad);
    QVERIFY(scripted->control()->LocationURL().endsWith("child.html#script"));
}

void TestWebEngine::stopAndReload()
{
    HttpServer server;
    server.route("/endless", [](const HttpRequest &) {
        HttpResponse r;
        r.endless = true;
        r.body = "<title>Endless</title><p>still loading";
        return r;
    });
    TBrowserWindow *w = openPage(server.url("/endless").toString());
    QSignalSpy finished(engineOf(w)->page(), &QWebEnginePage::loadFinished);
    QTRY_VERIFY_WITH_TIMEOUT(server.requestCount("/endless") == 1, kLoad);
    QTRY_VERIFY_WITH_TIMEOUT(MainForm->StopCtrl->isEnabled(), kLoad);
    MainForm->StopCtrl->click();
    QVERIFY(finished.wait(kLoad));
    QCOMPARE(finished.first().first().toBool(), false);
    QCOMPARE(MainForm->ProgressBar1->value(), 0);
    QVERIFY(!MainForm->StopCtrl->isEnabled());

    const QString file = page("reload.html", "<title>Before</title>");
    MainForm->txtAddress->setText(file);
    MainForm->btnMove->click();
    QTRY_COMPARE_WITH_TIMEOUT(w->windowTitle(), QString("Before"), kLoad);
    page("reload.html", "<title>After</title>");
    QTRY_VERIFY(MainForm->ReLoadCtrl->isEnabled());
    MainForm->ReLoadCtrl->click();
    QTRY_COMPARE_WITH_TIMEOUT(w->windowTitle(), QString("After"), kLoad);
}

void TestWebEngine::addressWithoutScheme()
{
    const QString file = page("plain.html", "<title>Plain</title>");
    TBrowserWindow *w = openPage(QString());
    QTRY_COMPARE_WITH_TIMEOUT(w->control()->LocationURL(), QString("about:blank"), kLoad);
    MainForm->txtAddress->setText(file);  // an absolute path: the local file
    MainForm->btnMove->click();
    QTRY_COMPARE_WITH_TIMEOUT(w->windowTitle(), QString("Plain"), kLoad);
    HttpServer server;
    server.route("/", [](const HttpRequest &) {
        return HttpResponse{200, "OK", {}, "<title>Served</title>", false};
    });
    // A host and port without a scheme is a web address.
    MainForm->txtAddress->setText(QStringLiteral("127.0.0.1:%1/").arg(server.url("/").port()));
    MainForm->btnMove->click();
    QTRY_COMPARE_WITH_TIMEOUT(w->windowTitle(), QString("Served"), kLoad);
}

VEXEL_TEST_MAIN(TestWebEngine)
#include "test_webengine.moc"
