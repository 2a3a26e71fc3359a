// What users expect of a browser window beyond the frame's commands, on the
// Internet Explorer slot's engine: downloads, authentication, certificate
// errors, page dialogs, page-initiated closing, crashes, the context menu,
// find in page and zoom.

#include "app/findbar.h"
#include "app/forms.h"
#include "app/mainform.h"
#include "browser/browserwindow.h"
#include "browser/pagedialogs.h"
#include "browser/engines/webengine/webenginecontrol.h"
#include "httpserver.h"
#include "tlsserver.h"
#include "testsupport.h"

#include <QDir>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSslCertificate>
#include <QSslKey>
#include <QSslServer>
#include <QSslSocket>
#include <QLabel>
#include <QTimer>
#include <QToolButton>
#include <QWebEngineFindTextResult>
#include <QWebEngineView>
#include <csignal>

class TestWebEngineExtras : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void downloadAsksAndSaves();
    void downloadCancelledOrFailed();
    void authentication();
    void selfSignedCertificateRefused();
    void pageDialogs();
    void pageClosesItsWindow();
    void leavingPageAsksFirst();
    void crashedRendererRecoversOnReload();
    void contextMenu();
    void findAndZoom();

private:
    TBrowserWindow *openPage(const QString &address);
    WebEngineControl *engineOf(TBrowserWindow *w) { return static_cast<WebEngineControl *>(w->control()); }
    QString page(const QString &name, const QByteArray &html);
    // Runs act on the modal widget once it is up.
    void whenModal(std::function<void(QWidget *)> act);

    std::unique_ptr<TestDirs> dirs_;
    std::unique_ptr<ErrorRecorder> errors_;
    std::unique_ptr<Forms> forms_;
};

static constexpr int kLoad = 20000;

void TestWebEngineExtras::initTestCase()
{
    engines::registerBuiltInEngines();
}

void TestWebEngineExtras::init()
{
    dirs_ = std::make_unique<TestDirs>();
    dirs_->writeIni("[General]\r\nLastEngine=IE\r\n");
    errors_ = std::make_unique<ErrorRecorder>();
    forms_ = std::make_unique<Forms>();
    MainForm->resize(900, 700);
}

void TestWebEngineExtras::cleanup()
{
    pagedialogs::savePathChooser() = [](QWidget *, const QString &) { return QString(); };
    forms_.reset();
    QVERIFY2(errors_->messages.isEmpty() || QTest::currentTestFailed(), qPrintable(errors_->messages.join('|')));
    errors_.reset();
    dirs_.reset();
}

QString TestWebEngineExtras::page(const QString &name, const QByteArray &html)
{
    return dirs_->writePage(name, html);
}

TBrowserWindow *TestWebEngineExtras::openPage(const QString &address)
{
    MainForm->OpenBrowserWindow(QString(), address);
    return MainForm->ActiveMDIChild();
}

void TestWebEngineExtras::whenModal(std::function<void(QWidget *)> act)
{
    auto *timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, [timer, act] {
        if (QWidget *modal = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            act(modal);
        }
    });
    timer->start(20);
}

void TestWebEngineExtras::downloadAsksAndSaves()
{
    HttpServer server;
    const QByteArray content(200000, 'x');
    server.route("/get", [&](const HttpRequest &) {
        return HttpResponse{200, "OK",
                            {{"Content-Type", "application/octet-stream"},
                             {"Content-Disposition", "attachment; filename=\"report.bin\""}},
                            content, false};
    });
    QTemporaryDir target;
    QString proposed;
    pagedialogs::savePathChooser() = [&](QWidget *, const QString &p) {
        proposed = p;
        return target.path() + "/saved.bin";
    };
    TBrowserWindow *w = openPage(server.url("/get").toString());
    QTRY_VERIFY_WITH_TIMEOUT(MainForm->StatusBar1->panelText().contains("完了"), kLoad);
    QCOMPARE(MainForm->StatusBar1->panelText(), QString("saved.bin のダウンロードが完了しました"));
    QVERIFY(proposed.endsWith("/report.bin"));
    QFile saved(target.path() + "/saved.bin");
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(saved.readAll(), content);
    QVERIFY(w->LastStatusText.isEmpty());  // a download message is no link address
}

void TestWebEngineExtras::downloadCancelledOrFailed()
{
    HttpServer server;
    server.route("/get", [](const HttpRequest &) {
        return HttpResponse{200, "OK",
                            {{"Content-Type", "application/octet-stream"},
                             {"Content-Disposition", "attachment; filename=\"a.bin\""}},
                            "abc", false};
    });
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
    int asked = 0;
    pagedialogs::savePathChooser() = [&](QWidget *, const QString &) {
        ++asked;
        return QString();  // the user cancels
    };
    openPage(server.url("/get").toString());
    QTRY_COMPARE_WITH_TIMEOUT(MainForm->StatusBar1->panelText(), QString("ダウンロードを中止しました"), kLoad);
    QCOMPARE(asked, 1);
    QVERIFY(QDir(target.path()).isEmpty());

    pagedialogs::savePathChooser() = [&](QWidget *, const QString &) { return target.path() + "/b.bin"; };
    MainForm->txtAddress->setText(server.url("/broken").toString());
    MainForm->btnMove->click();
    QTRY_VERIFY_WITH_TIMEOUT(MainForm->StatusBar1->panelText().startsWith("b.bin をダウンロードしています"), kLoad);
    server.dropConnections();
    QTRY_VERIFY_WITH_TIMEOUT(MainForm->StatusBar1->panelText().contains("失敗"), kLoad);
    QVERIFY(MainForm->StatusBar1->panelText().startsWith("b.bin のダウンロードに失敗しました"));
}

void TestWebEngineExtras::authentication()
{
    HttpServer server;
    server.route("/secret", [](const HttpRequest &r) {
        if (r.headers.value("authorization") == "Basic " + QByteArray("user:pw").toBase64())
            return HttpResponse{200, "OK", {}, "<title>Welcome</title>", false};
        return HttpResponse{401, "Unauthorized", {{"WWW-Authenticate", "Basic realm=\"vault\""}},
                            "<title>Denied</title>", false};
    });
    bool sawRealm = false;
    whenModal([&](QWidget *dialog) {
        sawRealm = dialog->findChildren<QLabel *>().constFirst()->text().contains("vault");
        dialog->findChild<QLineEdit *>("txtUser")->setText("user");
        dialog->findChild<QLineEdit *>("txtPassword")->setText("pw");
        QMetaObject::invokeMethod(dialog, "accept");
    });
    TBrowserWindow *w = openPage(server.url("/secret").toString());
    QTRY_COMPARE_WITH_TIMEOUT(w->windowTitle(), QString("Welcome"), kLoad);
    QVERIFY(sawRealm);

    // Cancel shows the server's own answer (another server: the engine
    // remembers the credentials of the first).
    HttpServer other;
    other.route("/secret", [](const HttpRequest &) {
        return HttpResponse{401, "Unauthorized", {{"WWW-Authenticate", "Basic realm=\"vault\""}},
                            "<title>Denied</title>", false};
    });
    whenModal([](QWidget *dialog) { QMetaObject::invokeMethod(dialog, "reject"); });
    MainForm->OpenBrowserWindow(QString(), other.url("/secret").toString());
    TBrowserWindow *second = MainForm->ActiveMDIChild();
    QTRY_COMPARE_WITH_TIMEOUT(second->windowTitle(), QString("Denied"), kLoad);
}

void TestWebEngineExtras::selfSignedCertificateRefused()
{
    SelfSignedServer server;
    QVERIFY(server.start());
    TBrowserWindow *w = openPage(server.url());
    QSignalSpy finished(engineOf(w)->page(), &QWebEnginePage::loadFinished);
    QSignalSpy messages(w->control(), &EngineControl::StatusMessage);
    QVERIFY(finished.wait(kLoad));
    QCOMPARE(finished.first().first().toBool(), false);
    QCOMPARE(server.served(), 0);
    QVERIFY(w->windowTitle() != "Secret");
    QVERIFY(!messages.isEmpty());
    QVERIFY(messages.first().first().toString().startsWith("証明書に問題があるため"));
    QCOMPARE(w->control()->LocationURL(), server.url());
}

void TestWebEngineExtras::pageDialogs()
{
    TBrowserWindow *w = openPage(page("dialogs.html", "<title>Dialogs</title>"));
    QTRY_COMPARE_WITH_TIMEOUT(w->windowTitle(), QString("Dialogs"), kLoad);
    QString alertText;
    QWidget *alertParent = nullptr;
    whenModal([&](QWidget *box) {
        alertText = static_cast<QMessageBox *>(box)->text();
        alertParent = box->parentWidget();
        static_cast<QMessageBox *>(box)->button(QMessageBox::Ok)->click();
    });
    engineOf(w)->page()->runJavaScript("alert('こんにちは'); document.title = 'after alert';");
    QTRY_COMPARE_WITH_TIMEOUT(w->windowTitle(), QString("after alert"), kLoad);
    QCOMPARE(alertText, QString("こんにちは"));
    QVERIFY(alertParent && w->isAncestorOf(alertParent));  // a dialog of its own window

    whenModal([](QWidget *box) { static_cast<QMessageBox *>(box)->button(QMessageBox::Ok)->click(); });
    engineOf(w)->page()->runJavaScript("document.title = confirm('続けますか') ? 'yes' : 'no';");
    QTRY_COMPARE_WITH_TIMEOUT(w->windowTitle(), QString("yes"), kLoad);
    whenModal([](QWidget *box) { static_cast<QMessageBox *>(box)->button(QMessageBox::Cancel)->click(); });
    engineOf(w)->page()->runJavaScript("document.title = confirm('続けますか') ? 'yes' : 'no';");
    QTRY_COMPARE_WITH_TIMEOUT(w->windowTitle(), QString("no"), kLoad);
}

void TestWebEngineExtras::pageClosesItsWindow()
{
    page("child.html", "<title>Child</title>");
    TBrowserWindow *opener = openPage(page("opener.html", "<title>Opener</title><body style='margin:0'>"
                                                          "<button style='width:200px;height:60px'"
                                                          " onclick=\"window.open('child.html')\">open</button>"));
    QTRY_COMPARE_WITH_TIMEOUT(opener->windowTitle(), QString("Opener"), kLoad);
    // Only a window the page itself opened may be closed by it.
    QTest::mouseClick(engineOf(opener)->view()->focusProxy(), Qt::LeftButton, {}, QPoint(50, 30));
    QTRY_COMPARE_WITH_TIMEOUT(MainForm->MDIClient->subWindowList().size(), 2, kLoad);
    QPointer<TBrowserWindow> child = MainForm->ActiveMDIChild();
    QTRY_COMPARE_WITH_TIMEOUT(child->windowTitle(), QString("Child"), kLoad);
    // The frame's window, not one of the engine's, is the one that closes.
    engineOf(child)->page()->runJavaScript("window.close()");
    QTRY_VERIFY_WITH_TIMEOUT(child.isNull(), kLoad);
    QCOMPARE(MainForm->MDIClient->subWindowList().size(), 1);
}

void TestWebEngineExtras::leavingPageAsksFirst()
{
    // Titled at the end: the title says the whole page has been read.
    const QByteArray html = "<body style='margin:0' onmouseup=\"document.title='Used'\">"
                            "<textarea style='width:300px'></textarea>"
                            "<script>onbeforeunload = e => { e.preventDefault(); e.returnValue = ''; };"
                            "document.title = 'Form';</script>";
    QPointer<TBrowserWindow> stays = openPage(page("stays.html", html));
    QPointer<TBrowserWindow> goes = openPage(page("goes.html", html));
    for (TBrowserWindow *w : {stays.data(), goes.data()}) {
        QTRY_COMPARE_WITH_TIMEOUT(w->windowTitle(), QString("Form"), kLoad);
        // The page asks only once the user has done something in it.
        QTest::mouseClick(engineOf(w)->view()->focusProxy(), Qt::LeftButton, {}, QPoint(20, 10));
        QTRY_COMPARE_WITH_TIMEOUT(w->windowTitle(), QString("Used"), kLoad);
    }
    bool asked = false;
    whenModal([&](QWidget *box) {
        asked = static_cast<QMessageBox *>(box)->text().startsWith("このページから移動しますか");
        static_cast<QMessageBox *>(box)->button(QMessageBox::Cancel)->click();
    });
    stays->close();
    QTRY_VERIFY_WITH_TIMEOUT(asked, kLoad);
    // A script run after the answer comes back after the page's decision.
    auto ran = std::make_shared<bool>(false);
    engineOf(stays)->page()->runJavaScript("0", [ran](const QVariant &) { *ran = true; });
    QTRY_VERIFY_WITH_TIMEOUT(*ran, kLoad);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!stays.isNull());
    asked = false;
    whenModal([&](QWidget *box) {
        asked = true;
        static_cast<QMessageBox *>(box)->button(QMessageBox::Ok)->click();
    });
    goes->close();
    QTRY_VERIFY_WITH_TIMEOUT(asked, kLoad);
    QTRY_VERIFY_WITH_TIMEOUT(goes.isNull(), kLoad);
    QVERIFY(!stays.isNull());
}

void TestWebEngineExtras::crashedRendererRecoversOnReload()
{
    TBrowserWindow *w = openPage(page("crash.html", "<title>Alive</title>"));
    TBrowserWindow *other = openPage(page("other.html", "<title>Other</title>"));
    QTRY_COMPARE_WITH_TIMEOUT(w->windowTitle(), QString("Alive"), kLoad);
    QTRY_COMPARE_WITH_TIMEOUT(other->windowTitle(), QString("Other"), kLoad);
    MainForm->MDIClient->setActiveSubWindow(w);
    const qint64 pid = engineOf(w)->page()->renderProcessPid();
    QVERIFY(pid > 0);
    QVERIFY(pid != engineOf(other)->page()->renderProcessPid());
    QSignalSpy terminated(engineOf(w)->page(), &QWebEnginePage::renderProcessTerminated);
    ::kill(pid_t(pid), SIGKILL);
    QVERIFY(terminated.wait(kLoad));
    QTRY_VERIFY(engineOf(w)->showsCrashNotice());
    QVERIFY(!engineOf(other)->showsCrashNotice());
    QSignalSpy finished(engineOf(w)->page(), &QWebEnginePage::loadFinished);
    MainForm->ReLoadCtrlClick();
    // The killed renderer's own load may still report its end (false) after
    // the crash; the reload is the one that succeeds.
    QTRY_VERIFY_WITH_TIMEOUT(!finished.isEmpty() && finished.last().first().toBool(), kLoad);
    QVERIFY(!engineOf(w)->showsCrashNotice());
    QCOMPARE(w->windowTitle(), QString("Alive"));
}

void TestWebEngineExtras::contextMenu()
{
    TBrowserWindow *w = openPage(page("menu.html", "<title>Menu</title><p style='height:300px'>text</p>"));
    QTRY_COMPARE_WITH_TIMEOUT(w->windowTitle(), QString("Menu"), kLoad);
    QStringList texts;
    auto *timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, [&texts, timer] {
        if (auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget())) {
            for (QAction *a : menu->actions())
                if (!a->isSeparator() && a->isVisible())
                    texts << a->text();
            menu->close();
            timer->stop();
        }
    });
    timer->start(20);
    QWidget *input = engineOf(w)->view()->focusProxy();
    QTest::mouseClick(input, Qt::RightButton, {}, QPoint(30, 30));
    QTRY_VERIFY_WITH_TIMEOUT(!texts.isEmpty(), kLoad);
    for (const char *expected : {"戻る", "進む", "再読み込み", "ページ内を検索...", "拡大", "縮小", "標準の大きさ"})
        QVERIFY2(texts.contains(QString::fromUtf8(expected)), qPrintable(texts.join(',')));
    delete timer;
}

void TestWebEngineExtras::findAndZoom()
{
    TBrowserWindow *w =
        openPage(page("find.html", "<title>Find</title><p>apple banana apple cherry apple</p>"));
    // A search finds nothing before the load has finished, and the title
    // comes before that.
    QSignalSpy loaded(engineOf(w)->page(), &QWebEnginePage::loadFinished);
    QTRY_VERIFY_WITH_TIMEOUT(!loaded.isEmpty(), kLoad);
    QCOMPARE(w->windowTitle(), QString("Find"));
    MainForm->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(MainForm));
    auto *bar = MainForm->findChild<TFindBar *>();
    QVERIFY(bar && !bar->isVisible());
    // The shortcuts add nothing to the menus.
    for (QMenu *m : MainForm->findChildren<QMenu *>())
        for (QAction *a : m->actions())
            QVERIFY(a != bar->FindAction && a != bar->ZoomInAction);
    QTest::keyClick(MainForm, Qt::Key_F, Qt::ControlModifier);
    QVERIFY(bar->isVisible());
    QTRY_VERIFY(bar->txtFind->hasFocus());
    QSignalSpy found(engineOf(w)->page(), &QWebEnginePage::findTextFinished);
    QTest::keyClicks(bar->txtFind, "apple");
    QTRY_VERIFY_WITH_TIMEOUT(!found.isEmpty() &&
                                 found.last().first().value<QWebEngineFindTextResult>().numberOfMatches() == 3,
                             kLoad);
    QTest::keyClick(bar->txtFind, Qt::Key_Escape);
    QVERIFY(!bar->isVisible());

    QCOMPARE(w->control()->ZoomFactor(), 1.0);
    QTest::keyClick(MainForm, Qt::Key_Plus, Qt::ControlModifier);
    QTRY_COMPARE(w->control()->ZoomFactor(), 1.1);
    QTest::keyClick(MainForm, Qt::Key_Minus, Qt::ControlModifier);
    QTest::keyClick(MainForm, Qt::Key_Minus, Qt::ControlModifier);
    QTRY_COMPARE(w->control()->ZoomFactor(), 0.9);
    QTest::keyClick(MainForm, Qt::Key_0, Qt::ControlModifier);
    QTRY_COMPARE(w->control()->ZoomFactor(), 1.0);
    QCOMPARE(engines::nextZoom(3.0, 1), 3.0);
    QCOMPARE(engines::nextZoom(0.25, -1), 0.25);
    QCOMPARE(engines::nextZoom(1.05, -1), 1.0);
}

VEXEL_TEST_MAIN(TestWebEngineExtras)
#include "test_webengine_extras.moc"
