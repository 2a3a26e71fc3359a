// SPDX-License-Identifier: GPL-3.0-or-later
// The Gecko slot without an X display (the offscreen platform here, as on a
// Wayland session without X): its views cannot be embedded, and the user
// is told so instead of the program failing.

#include "core/errors.h"
#include "app/forms.h"
#include "app/mainform.h"
#include "browser/engines/webkitgtk/webkithost.h"
#include "testsupport.h"

#include <QAction>
#include <QMdiArea>

class TestWebKitOffscreen : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void geckoWindowReportsTheActivationError();
};

void TestWebKitOffscreen::initTestCase()
{
    engines::registerBuiltInEngines();
    QCOMPARE(QGuiApplication::platformName(), QString("offscreen"));
}

void TestWebKitOffscreen::geckoWindowReportsTheActivationError()
{
    TestDirs dirs;
    dirs.writeIni("[Option_Main]\r\nMozilla=1\r\n");
    ErrorRecorder errors;
    Forms forms;
    MainForm->Moz_Item->setEnabled(true);
    MainForm->Moz_ItemClick();
    MainForm->FileNew1->trigger();
    QCOMPARE(errors.messages, QStringList{errorBoxText(engines::activationFailedMessage())});
    QVERIFY(MainForm->MDIClient->subWindowList().isEmpty());
    QCOMPARE(WebKitHost::runningProcessId(), qint64(0));

    // The IE slot is unaffected.
    MainForm->IE_itemClick();
    MainForm->FileNew1->trigger();
    QCOMPARE(MainForm->MDIClient->subWindowList().size(), 1);
    QCOMPARE(errors.messages.size(), 1);
}

VEXEL_TEST_MAIN(TestWebKitOffscreen)
#include "test_webkit_offscreen.moc"
