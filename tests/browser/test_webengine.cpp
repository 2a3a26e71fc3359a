// SPDX-License-Identifier: GPL-3.0-or-later
// What only the Internet Explorer slot's engine has: its renderer process
// and the frame's own context menu on its pages. What both engines share is
// in the engine contract test.

#include "app/forms.h"
#include "app/mainform.h"
#include "browser/browserwindow.h"
#include "browser/engines/webengine/webenginecontrol.h"
#include "testsupport.h"
#include "whenopen.h"

#include <QMdiArea>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <csignal>

class TestWebEngine : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void crashedRendererRecoversOnReload();
    void contextMenu();

private:
    TBrowserWindow *openPage(const QString &address);
    WebEngineControl *engineOf(TBrowserWindow *w) { return static_cast<WebEngineControl *>(w->control()); }
    QString page(const QString &name, const QByteArray &html) { return dirs_->writePage(name, html); }

    std::unique_ptr<TestDirs> dirs_;
    std::unique_ptr<ErrorRecorder> errors_;
    std::unique_ptr<Forms> forms_;
};

static constexpr int kLoad = 20000;  // generous for a loaded machine

void TestWebEngine::initTestCase()
{
    engines::registerBuiltInEngines();
}

void TestWebEngine::init()
{
    dirs_ = std::make_unique<TestDirs>();
    dirs_->writeIni("[General]\r\nLastEngine=IE\r\n");
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

TBrowserWindow *TestWebEngine::openPage(const QString &address)
{
    MainForm->OpenBrowserWindow(QString(), address);
    return MainForm->ActiveMDIChild();
}

void TestWebEngine::crashedRendererRecoversOnReload()
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

void TestWebEngine::contextMenu()
{
    TBrowserWindow *w = openPage(page("menu.html", "<title>Menu</title><p style='height:300px'>text</p>"));
    QTRY_COMPARE_WITH_TIMEOUT(w->windowTitle(), QString("Menu"), kLoad);
    WhenOpen menu([](QWidget *popup) { popup->close(); }, WhenOpen::activePopup);
    QWidget *input = engineOf(w)->view()->focusProxy();
    QTest::mouseClick(input, Qt::RightButton, {}, QPoint(30, 30));
    QTRY_VERIFY_WITH_TIMEOUT(menu.done(), kLoad);
    const QStringList texts = menu.texts.first().split('|');
    for (const char *expected : {"戻る", "進む", "再読み込み", "ページ内を検索...", "拡大", "縮小", "標準の大きさ"})
        QVERIFY2(texts.contains(QString::fromUtf8(expected)), qPrintable(texts.join(',')));
}

VEXEL_TEST_MAIN(TestWebEngine)
#include "test_webengine.moc"
