// The first web view added to the shown frame must not make the frame hide
// and reappear (it flickers, and a window manager may move it).

#include "app/forms.h"
#include "app/mainform.h"
#include "browser/browserwindow.h"
#include "testsupport.h"

class HideCounter : public QObject {
public:
    int hides = 0;
    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() == QEvent::Hide)
            ++hides;
        return false;
    }
};

class TestFirstWindow : public QObject {
    Q_OBJECT
private slots:
    void frameStaysShown()
    {
        engines::registerBuiltInEngines();
        TestDirs dirs;
        dirs.writeIni("[General]\r\nLastEngine=IE\r\n");
        ErrorRecorder errors;
        Forms forms;
        QVERIFY(QTest::qWaitForWindowExposed(MainForm));
        HideCounter counter;
        MainForm->installEventFilter(&counter);
        const WId native = MainForm->winId();
        QFile page(dirs.currentDir() + "/p.html");
        QVERIFY(page.open(QIODevice::WriteOnly));
        page.write("<title>First</title>");
        page.close();
        MainForm->OpenBrowserWindow(QString(), page.fileName());
        QTRY_COMPARE_WITH_TIMEOUT(MainForm->ActiveMDIChild()->windowTitle(), QString("First"), 20000);
        QCOMPARE(counter.hides, 0);
        QCOMPARE(MainForm->winId(), native);  // the native window was not made anew
        QVERIFY(MainForm->isVisible());
        QVERIFY(errors.messages.isEmpty());
    }
};

VEXEL_TEST_MAIN(TestFirstWindow)
#include "test_firstwindow.moc"
