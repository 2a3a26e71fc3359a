// SPDX-License-Identifier: GPL-3.0-or-later
// The two tool-bar bands: order, rows and widths restored from [Bar] and
// saved at close.

#include "app/forms.h"
#include "app/mainform.h"
#include "settings/profile.h"
#include "testsupport.h"

class TestBands : public QObject {
    Q_OBJECT
private slots:
    void firstStartDefaults();
    void draggedLayoutComesBack();
    void sameIdentityTwice();
    void identityNamingNoBand();
    void widthsStoredOddly();
};

static QList<int> identities()
{
    QList<int> ids;
    for (TBandToolBar *b : MainForm->bandOrder())
        ids << b->identity();
    return ids;
}

void TestBands::firstStartDefaults()
{
    TestDirs dirs;
    Forms forms;
    QCOMPARE(identities(), QList<int>({0, 1}));
    QVERIFY(MainForm->secondBandBreaks());
    QVERIFY(MainForm->ToolBar3->y() > MainForm->ToolBar2->y());
    QCOMPARE(MainForm->ToolBar2->sizeHint().width(), 200);
    QCOMPARE(MainForm->ToolBar3->sizeHint().width(), 200);
    QVERIFY(MainForm->ToolBar2->height() >= 24);
}

void TestBands::draggedLayoutComesBack()
{
    TestDirs dirs;
    int widths[2];
    {
        Forms forms;
        MainForm->resize(900, 500);
        // The user drags the address band in front of the navigation band, on one row.
        MainForm->removeToolBarBreak(MainForm->ToolBar3);
        MainForm->removeToolBar(MainForm->ToolBar2);
        MainForm->removeToolBar(MainForm->ToolBar3);
        MainForm->ToolBar3->setBandWidth(500);
        MainForm->addToolBar(Qt::TopToolBarArea, MainForm->ToolBar3);
        MainForm->addToolBar(Qt::TopToolBarArea, MainForm->ToolBar2);
        MainForm->ToolBar2->show();
        MainForm->ToolBar3->show();
        QTRY_COMPARE(identities(), QList<int>({1, 0}));
        QVERIFY(!MainForm->secondBandBreaks());
        widths[0] = MainForm->ToolBar3->width();
        widths[1] = MainForm->ToolBar2->width();
        MainForm->close();
    }
    const QString ini = dirs.iniPath();
    QCOMPARE(profile::readInteger(ini, "Bar", "Band0ID", -1), 1);
    QCOMPARE(profile::readInteger(ini, "Bar", "Band1ID", -1), 0);
    QCOMPARE(profile::readInteger(ini, "Bar", "Band0Width", -1), widths[0]);
    QCOMPARE(profile::readInteger(ini, "Bar", "Band1Width", -1), widths[1]);
    QCOMPARE(profile::readString(ini, "Bar", "Band1Break", ""), QString("0"));
    {
        Forms forms;
        MainForm->resize(900, 500);
        QTRY_COMPARE(identities(), QList<int>({1, 0}));
        QVERIFY(!MainForm->secondBandBreaks());
        QTRY_COMPARE(MainForm->ToolBar3->width(), widths[0]);
        QCOMPARE(MainForm->ToolBar2->width(), widths[1]);
    }
}

void TestBands::sameIdentityTwice()
{
    TestDirs dirs;
    dirs.writeIni("[Bar]\r\nBand0ID=1\r\nBand0Width=300\r\nBand0Break=1\r\n"
                  "Band1ID=1\r\nBand1Width=250\r\nBand1Break=0\r\n");
    Forms forms;
    // Band 1 goes to position 0, then back to 1 with position 1's values;
    // band 0 keeps its designed width.
    QCOMPARE(identities(), QList<int>({0, 1}));
    QVERIFY(!MainForm->secondBandBreaks());
    QCOMPARE(MainForm->ToolBar3->sizeHint().width(), 250);
    QVERIFY(MainForm->ToolBar2->sizeHint().width() != 300);
}

void TestBands::identityNamingNoBand()
{
    TestDirs dirs;
    dirs.writeIni("[Bar]\r\nBand0ID=7\r\nBand0Width=333\r\nBand1ID=0\r\nBand1Width=222\r\nBand1Break=1\r\n");
    Forms forms;
    // Position 0 stays as it is; band 0 moves to position 1.
    QCOMPARE(identities(), QList<int>({1, 0}));
    QCOMPARE(MainForm->ToolBar2->sizeHint().width(), 222);
    QVERIFY(MainForm->ToolBar3->sizeHint().width() != 333);
    QVERIFY(MainForm->secondBandBreaks());
}

void TestBands::widthsStoredOddly()
{
    TestDirs dirs;
    dirs.writeIni("[Bar]\r\nBand0Width=0x64\r\nBand1Width=wide\r\n");
    Forms forms;
    QCOMPARE(MainForm->ToolBar2->sizeHint().width(), qMax(100, MainForm->ToolBar2->minimumSizeHint().width()));
    QCOMPARE(MainForm->ToolBar3->sizeHint().width(), 200);
}

VEXEL_TEST_MAIN(TestBands)
#include "test_bands.moc"
