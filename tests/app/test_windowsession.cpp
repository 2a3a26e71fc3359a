// SPDX-License-Identifier: GPL-3.0-or-later
// The open windows kept on disk: what the list holds while the frame runs,
// how often it is written, that a normal close removes it, and what the next
// start does with a list left behind.

#include "app/forms.h"
#include "app/mainform.h"
#include "app/windowsession.h"
#include "browser/childie.h"
#include "core/programdir.h"
#include "settings/option.h"
#include "testsupport.h"
#include "whenopen.h"

#include <QAbstractButton>
#include <QAction>
#include <QFile>
#include <QMdiArea>
#include <QMessageBox>
#include <QPushButton>
#include <QScopeGuard>
#include <sys/stat.h>

namespace {

std::optional<TWindowSession::Snapshot> onDisk()
{
    QFile file(TWindowSession::filePath());
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return TWindowSession::fromJson(file.readAll());
}

// Each window as "IE <address>" or "Gecko <address>", in order, "*" marking the active one.
QStringList described(const std::optional<TWindowSession::Snapshot> &snapshot)
{
    QStringList list;
    if (!snapshot)
        return {QStringLiteral("(no list)")};
    for (qsizetype i = 0; i < snapshot->windows.size(); ++i) {
        const TWindowSession::Entry &e = snapshot->windows[i];
        list << QStringLiteral("%1%2 %3")
                    .arg(i == snapshot->active ? QStringLiteral("*") : QString(), e.ie ? "IE" : "Gecko", e.address);
    }
    return list;
}

// Each open window as "IE <caption> | <what its engine was asked>", in
// order, "*" marking the active one.
QStringList openWindows()
{
    QStringList list;
    for (TBrowserWindow *w : MainForm->browserWindows()) {
        const auto *engine = qobject_cast<ScriptedEngine *>(w->control());
        list << QStringLiteral("%1%2 %3 | %4")
                    .arg(w == MainForm->ActiveMDIChild() ? QStringLiteral("*") : QString(),
                         qobject_cast<Tfrm_IE *>(w) ? "IE" : "Gecko", w->windowTitle(), engine->calls.join(','));
    }
    return list;
}

// Opens a window on the engine and gives its page an address.
ScriptedEngine *openOn(ScriptedEngines &engines, bool ie, const QString &address)
{
    (ie ? MainForm->IE_item : MainForm->Moz_Item)->trigger();
    MainForm->OpenBrowserWindow(QString(), address);
    engines.last()->location = address;
    engines.last()->raiseTitle(address);
    return engines.last();
}

void setWritable(const QString &dir, bool writable)
{
    ::chmod(QFile::encodeName(dir).constData(), writable ? 0755 : 0555);
}

// Gives the folder its write bit back however the case ends.
struct Writable {
    ~Writable() { setWritable(dir, true); }
    QString dir;
};

// A frame on scripted engines, in directories of the case's own.
struct Case {
    explicit Case(const QByteArray &ini = "[Option_Main]\r\nMozilla=1\r\n",
                  ScriptedEngines::Slots engineSlots = ScriptedEngines::Both)
        : engines(engineSlots)
    {
        if (!ini.isEmpty())
            dirs.writeIni(ini);
    }
    void start() { forms = std::make_unique<Forms>(); }
    TestDirs dirs;
    ErrorRecorder errors;
    ScriptedEngines engines;
    std::unique_ptr<Forms> forms;
};

}  // namespace

class TestWindowSession : public QObject {
    Q_OBJECT
private slots:
    void listFollowsTheWindows();
    void changesAreCoalesced();
    void failedWriteReportedOnce();
    void oneCopyPerDisplayKeepsTheList();
    void startWithLeftList_data();
    void startWithLeftList();
    void placesComeBackInside_data();
    void placesComeBackInside();
    void manyRequestedWindowsAskFirst_data();
    void manyRequestedWindowsAskFirst();
};

// Engine, address, order and the active window; a closed window leaves the
// list; a normal close removes it, and nothing written later brings it back.
void TestWindowSession::listFollowsTheWindows()
{
    Case c;
    c.start();
    openOn(c.engines, true, "http://a/");
    ScriptedEngine *b = openOn(c.engines, false, "http://b/");
    openOn(c.engines, true, "http://c/");
    MainForm->MDIClient->setActiveSubWindow(MainForm->browserWindows()[1]);
    QTRY_COMPARE(described(onDisk()), QStringList({"IE http://a/", "*Gecko http://b/", "IE http://c/"}));

    // The page moved on; the window was moved and resized.
    b->location = "http://b2/";
    b->raiseTitle("B2");
    MainForm->browserWindows()[1]->setGeometry(5, 6, 300, 200);
    QTRY_COMPARE(described(onDisk()), QStringList({"IE http://a/", "*Gecko http://b2/", "IE http://c/"}));
    QTRY_COMPARE(onDisk()->windows[1].geometry, QRect(5, 6, 300, 200));
    QCOMPARE(onDisk()->windows[1].title, QString("B2"));

    MainForm->browserWindows()[0]->close();
    QTRY_COMPARE(described(onDisk()), QStringList({"*Gecko http://b2/", "IE http://c/"}));

    MainForm->close();
    QVERIFY(!QFile::exists(TWindowSession::filePath()));
    b->raiseTitle("after the close");
    MainForm->browserWindows()[0]->close();
    QVERIFY(!MainForm->WindowSession->writePending());
    QCoreApplication::processEvents();
    QVERIFY(!QFile::exists(TWindowSession::filePath()));
    QVERIFY(c.errors.messages.isEmpty());
}

// Changes made together give one write; a change undone before the write
// gives none.
void TestWindowSession::changesAreCoalesced()
{
    Case c;
    c.start();
    TWindowSession *session = MainForm->WindowSession;
    ScriptedEngine *page = openOn(c.engines, true, "http://a/");
    QTRY_COMPARE(described(onDisk()), QStringList({"*IE http://a/"}));
    QTRY_VERIFY(!session->writePending());
    int attempts = session->writeAttempts();

    for (int i = 0; i < 50; ++i) {
        page->location = QStringLiteral("http://a/%1").arg(i);
        page->raiseTitle(QString::number(i));
        MainForm->browserWindows()[0]->move(i, i);
    }
    QVERIFY(session->writePending());
    QTRY_VERIFY(!session->writePending());
    QCOMPARE(described(onDisk()), QStringList({"*IE http://a/49"}));
    QCOMPARE(onDisk()->windows[0].geometry.topLeft(), QPoint(49, 49));
    QCOMPARE(session->writeAttempts(), attempts + 1);

    // A hovered link and a title changed and changed back: the list is the same.
    page->raiseTitle("other");
    page->raiseTitle("49");
    page->raiseStatusText("http://link/");
    QVERIFY(session->writePending());
    QTRY_VERIFY(!session->writePending());
    QCOMPARE(session->writeAttempts(), attempts + 1);
    QVERIFY(c.errors.messages.isEmpty());
}

// A folder that refuses the list is reported once, not at every change;
// after a write succeeds, the next refusal is reported again.
void TestWindowSession::failedWriteReportedOnce()
{
    Case c;
    c.start();
    TWindowSession *session = MainForm->WindowSession;
    const QString dir = userDataDirectory();
    const Writable restore{dir};
    const QString refused = QStringLiteral("%1 に書き込めません.").arg(TWindowSession::filePath());
    setWritable(dir, false);
    ScriptedEngine *page = openOn(c.engines, true, "http://a/");
    QTRY_COMPARE(c.errors.messages, QStringList{refused});
    const int attempts = session->writeAttempts();
    page->raiseTitle("again");
    QTRY_COMPARE(session->writeAttempts(), attempts + 1);
    QCOMPARE(c.errors.messages, QStringList{refused});

    setWritable(dir, true);
    page->location = "http://b/";
    page->raiseTitle("b");
    QTRY_COMPARE(described(onDisk()), QStringList({"*IE http://b/"}));
    QCOMPARE(QFile(TWindowSession::filePath()).permissions() & 0x0077, QFileDevice::Permissions());
    setWritable(dir, false);
    page->raiseTitle("c");
    QTRY_COMPARE(c.errors.messages, QStringList({refused, refused}));
}

// A second copy on the same display neither asks about nor writes over the
// list of the one running; once that one ends, a new frame keeps it.
void TestWindowSession::oneCopyPerDisplayKeepsTheList()
{
    {
        Case c;
        c.start();
        openOn(c.engines, true, "http://a/");
        QTRY_VERIFY(QFile::exists(TWindowSession::filePath()));
        auto *second = new TWindowSession(MainForm);
        QVERIFY(MainForm->WindowSession->isRecording());
        QVERIFY(!second->isRecording());
        delete second;
        QVERIFY(QFile::exists(TWindowSession::filePath()));
    }
    Case c;
    c.start();
    QVERIFY(MainForm->WindowSession->isRecording());
}

void TestWindowSession::startWithLeftList_data()
{
    QTest::addColumn<QByteArray>("list");
    QTest::addColumn<bool>("geckoEnabled");
    QTest::addColumn<int>("engineSlots");
    QTest::addColumn<QString>("answer");  // empty: no question is expected
    QTest::addColumn<QString>("question");  // and its default answer after a "|"
    QTest::addColumn<QStringList>("windows");
    QTest::addColumn<QStringList>("errors");
    QTest::addColumn<QStringList>("listed");  // what the list holds afterwards

    const QByteArray three = R"({"windows": [
        {"engine": "IE", "address": "http://a/", "title": "A", "x": 10, "y": 20, "width": 300, "height": 200},
        {"engine": "Gecko", "address": "http://b/", "title": ""},
        {"engine": "IE", "address": "", "title": "", "minimized": true}], "active": 1})";
    const int both = ScriptedEngines::Both;
    const QString usual = "前回のウィンドウを復元しますか？|はい";
    QTest::newRow("yes") << three << true << both << "はい" << usual
                         << QStringList({"IE A | Navigate http://a/", "*Gecko Gecko | Navigate http://b/",
                                         "IE Internet Explorer | Navigate "})
                         << QStringList() << QStringList({"IE http://a/", "*Gecko http://b/", "IE "});
    QTest::newRow("yes, Gecko switched off since")
        << three << false << both << "はい" << usual
        << QStringList({"IE A | Navigate http://a/", "*IE Internet Explorer | Navigate http://b/",
                        "IE Internet Explorer | Navigate "})
        << QStringList() << QStringList({"IE http://a/", "*IE http://b/", "IE "});
    QTest::newRow("no") << three << true << both << "いいえ" << usual << QStringList() << QStringList()
                        << QStringList();
    QTest::newRow("a window that cannot open")
        << three << true << int(ScriptedEngines::IEOnly) << "はい" << usual
        << QStringList({"IE A | Navigate http://a/", "*IE Internet Explorer | Navigate "})
        << QStringList{"クラスが登録されていません。."} << QStringList({"IE http://a/", "*IE "});
    // The last start ended while reopening these: said so, No the default.
    QByteArray marked = three;
    marked.replace("\"active\": 1}", "\"active\": 1, \"restoring\": true}");
    const QString again = "前回はウィンドウの復元中に Vexel が終了しました。3 個のウィンドウをもう一度復元しますか？|いいえ";
    QTest::newRow("restore that ended the last start, no")
        << marked << true << both << "いいえ" << again << QStringList() << QStringList() << QStringList();
    QTest::newRow("restore that ended the last start, yes")
        << marked << true << both << "はい" << again
        << QStringList({"IE A | Navigate http://a/", "*Gecko Gecko | Navigate http://b/",
                        "IE Internet Explorer | Navigate "})
        << QStringList() << QStringList({"IE http://a/", "*Gecko http://b/", "IE "});
    // More windows than are opened without asking: the question says how many.
    TWindowSession::Snapshot many;
    many.windows = {{true, "http://a/", "A", QRect(10, 20, 300, 200)}, {false, "http://b/", "", QRect()}};
    many.active = 1;
    QStringList manyWindows{"IE A | Navigate http://a/", "*Gecko Gecko | Navigate http://b/"};
    QStringList manyListed{"IE http://a/", "*Gecko http://b/"};
    for (int i = 3; i <= 20; ++i) {
        many.windows.append({true, QStringLiteral("http://%1/").arg(i), "", QRect()});
        manyWindows << QStringLiteral("IE Internet Explorer | Navigate http://%1/").arg(i);
        manyListed << QStringLiteral("IE http://%1/").arg(i);
    }
    many.windows.append({true, "", "", QRect(), true});
    manyWindows << "IE Internet Explorer | Navigate ";
    manyListed << "IE ";
    QTest::newRow("21 windows") << TWindowSession::toJson(many) << true << both << "はい" << "前回の 21 個のウィンドウを復元しますか？|はい"
                                << manyWindows << QStringList() << manyListed;
    QTest::newRow("empty list") << QByteArray(R"({"windows": [], "active": -1})") << true << both << QString()
                                << QString() << QStringList() << QStringList() << QStringList();
    QTest::newRow("empty file") << QByteArray() << true << both << QString() << QString() << QStringList()
                                << QStringList() << QStringList();
    QTest::newRow("cut short") << three.left(120) << true << both << QString() << QString() << QStringList()
                               << QStringList() << QStringList();
    QTest::newRow("unknown engine") << QByteArray(R"({"windows": [{"engine": "Lynx", "address": "x"}]})") << true
                                    << both << QString() << QString() << QStringList() << QStringList()
                                    << QStringList();
}

// The question comes once the frame is shown and before the first-start
// options dialog; yes reopens each window in order on its engine, at its
// address and place, with the active one active again, and the reopened
// windows then replace the old list (at the addresses they were reopened
// at, until their engines report pages), which stays marked as being
// restored until they have stood a while; anything else leaves no window
// and no list.
void TestWindowSession::startWithLeftList()
{
    QFETCH(QByteArray, list);
    QFETCH(bool, geckoEnabled);
    QFETCH(int, engineSlots);
    QFETCH(QString, answer);
    QFETCH(QString, question);
    QFETCH(QStringList, windows);
    QFETCH(QStringList, errors);
    QFETCH(QStringList, listed);
    // Without Gecko there is no config.ini: a first start, with its options dialog.
    Case c(geckoEnabled ? QByteArray("[Option_Main]\r\nMozilla=1\r\n") : QByteArray(),
           ScriptedEngines::Slots(engineSlots));
    {
        QFile file(TWindowSession::filePath());
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(list);
    }
    QStringList seen;
    WhenOpen when([&](QMessageBox *box) {
        QVERIFY(MainForm && MainForm->isVisible());
        // Over the frame, not at the screen's corner.
        const QPoint off = box->frameGeometry().center() - MainForm->frameGeometry().center();
        QVERIFY2(off.manhattanLength() <= 40, qPrintable(QString("%1,%2").arg(off.x()).arg(off.y())));
        for (QWidget *w : QApplication::topLevelWidgets())
            QVERIFY(!qobject_cast<Tfrm_Option *>(w) || !w->isVisible());
        seen << box->windowTitle() << box->text() + "|" + box->defaultButton()->text();
        for (QAbstractButton *b : box->buttons())
            seen << b->text();
        for (QAbstractButton *b : box->buttons())
            if (b->text() == (answer.isEmpty() ? QStringLiteral("いいえ") : answer))
                b->click();
    });
    const int settle = std::exchange(TWindowSession::restoreSettleMs, 100);
    const auto restoreSettle = qScopeGuard([settle] { TWindowSession::restoreSettleMs = settle; });
    c.start();
    if (answer.isEmpty())
        QVERIFY(seen.isEmpty());
    else
        QCOMPARE(seen, QStringList({"Vexel", question, "はい", "いいえ"}));
    QCOMPARE(openWindows(), windows);
    QCOMPARE(c.errors.messages, errors);
    bool optionShown = false;
    for (QWidget *w : QApplication::topLevelWidgets())
        optionShown = optionShown || (qobject_cast<Tfrm_Option *>(w) && w->isVisible());
    QCOMPARE(optionShown, !geckoEnabled);
    if (listed.isEmpty()) {
        QVERIFY(!QFile::exists(TWindowSession::filePath()));
        return;
    }
    QVERIFY(onDisk()->restoring);
    QCOMPARE(MainForm->browserWindows()[0]->geometry(), QRect(10, 20, 300, 200));
    QVERIFY(MainForm->browserWindows().last()->isMinimized());
    QTRY_COMPARE(described(onDisk()), listed);
    QVERIFY(onDisk()->windows.last().minimized);
    QTRY_VERIFY(!onDisk()->restoring);
}

void TestWindowSession::placesComeBackInside_data()
{
    QTest::addColumn<QRect>("kept");
    QTest::addColumn<QRect>("place");  // in an area of 800 × 600; null: the default place
    QTest::newRow("inside") << QRect(10, 20, 300, 200) << QRect(10, 20, 300, 200);
    QTest::newRow("whole area") << QRect(0, 0, 800, 600) << QRect(0, 0, 800, 600);
    QTest::newRow("huge") << QRect(0, 0, 40000, 40000) << QRect(0, 0, 800, 600);
    QTest::newRow("huge, far off") << QRect(-30000, 90000, 17000, 300) << QRect(0, 300, 800, 300);
    QTest::newRow("past the right and bottom") << QRect(700, 550, 300, 200) << QRect(500, 400, 300, 200);
    QTest::newRow("past the left and top") << QRect(-50, -10, 300, 200) << QRect(0, 0, 300, 200);
    QTest::newRow("no size") << QRect(10, 10, 0, 0) << QRect();
    QTest::newRow("negative size") << QRect(10, 10, -300, -200) << QRect();
}

// A place kept in the list, read and reopened in a frame of its own size.
void TestWindowSession::placesComeBackInside()
{
    QFETCH(QRect, kept);
    QFETCH(QRect, place);
    const auto listWith = [&](const QString &width) {
        return QStringLiteral("{\"windows\": [{\"engine\": \"IE\", \"address\": \"\", \"x\": %1, "
                              "\"y\": %2, \"width\": %3, \"height\": %4}]}")
            .arg(kept.x())
            .arg(kept.y())
            .arg(width)
            .arg(kept.height())
            .toUtf8();
    };
    const std::optional<TWindowSession::Snapshot> read = TWindowSession::fromJson(listWith(QString::number(kept.width())));
    QVERIFY(read);
    QCOMPARE(restoredPlace(read->windows[0].geometry, QSize(800, 600)), place);
    // Whatever the list says, no place is taken from coordinates past any
    // screen, nor from ones that are no whole numbers.
    for (const char *nonsense : {"1e300", "2147483647", "-2147483648", "0.5", "\"10\""}) {
        const std::optional<TWindowSession::Snapshot> odd = TWindowSession::fromJson(listWith(nonsense));
        QVERIFY2(odd && odd->windows.size() == 1, nonsense);
        QCOMPARE(odd->windows.first().geometry, QRect());
    }
}

void TestWindowSession::manyRequestedWindowsAskFirst_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("yes");
    QTest::addColumn<int>("asked");  // the count the question named; 0: none asked
    QTest::addColumn<int>("opened");
    QTest::newRow("20: no question") << 20 << false << 0 << 20;
    QTest::newRow("21, no") << 21 << false << 21 << 0;
    QTest::newRow("21, yes") << 21 << true << 21 << 21;
}

// More windows than ManyWindows from one command line or one forwarded
// message open only after a yes; no opens none.
void TestWindowSession::manyRequestedWindowsAskFirst()
{
    QFETCH(int, count);
    QFETCH(bool, yes);
    QFETCH(int, asked);
    QFETCH(int, opened);
    Case c;
    c.start();
    int named = 0;
    const auto previous = std::exchange(TWindowSession::askToOpenMany, [&](QWidget *, int n) {
        named = n;
        return yes;
    });
    const auto restoreHook = qScopeGuard([&] { TWindowSession::askToOpenMany = previous; });
    QStringList addresses;
    for (int i = 0; i < count; ++i)
        addresses << QStringLiteral("http://%1/").arg(i);
    MainForm->WindowSession->openRequested(addresses);
    QCOMPARE(named, asked);
    QCOMPARE(MainForm->browserWindows().size(), opened);

    // The frame's own question, and what Escape answers.
    QStringList seen;
    WhenOpen when([&](QMessageBox *box) {
        seen << box->windowTitle() << box->text() << box->defaultButton()->text();
        for (QAbstractButton *b : box->buttons())
            seen << b->text();
    });
    QVERIFY(!previous(MainForm, count));
    QCOMPARE(seen, QStringList({"Vexel", QStringLiteral("%1 個のウィンドウを開きますか？").arg(count), "いいえ",
                                "はい", "いいえ"}));
    QVERIFY(c.errors.messages.isEmpty());
}

VEXEL_TEST_MAIN(TestWindowSession)
#include "test_windowsession.moc"
