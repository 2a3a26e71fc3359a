// SPDX-License-Identifier: GPL-3.0-or-later
// The content filters on a start with no compiled cache: compiling waits
// for the first window's page, then the filters arrive and the cache is
// written for the next start. One start per program: the filters load once
// a run.

#include "browser/contentblocking.h"
#include "testsupport.h"

class TestFilterLoading : public QObject {
    Q_OBJECT
private slots:
    void compileWaitsForTheFirstPage()
    {
        ScriptedCase fixture;
        fixture.begin();
        ContentBlocking::setPackagedListsForTesting(
            {fixture.dirs().writePage(QStringLiteral("list.txt"), "||ads.example^\n")});
        ContentBlocking &blocking = ContentBlocking::instance();

        TBrowserWindow *window = fixture.open(true);
        QTRY_VERIFY(blocking.waitingForPage());
        QVERIFY(!blocking.engine());
        ScriptedCase::engineOf(window)->raiseLoadFinished(true);
        QVERIFY(!blocking.waitingForPage());
        QTRY_VERIFY_WITH_TIMEOUT(blocking.engine(), 30000);
        QVERIFY(QFileInfo(blocking.cachePath()).isFile());
        fixture.endWithoutErrors();
    }
};

VEXEL_TEST_MAIN(TestFilterLoading)
#include "test_filterloading.moc"
