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
    QTest::addColumn<QStringList>("windows");
    QTest::addColumn<QStringList>("errors");
    QTest::addColumn<QStringList>("listed");  // what the list holds afterwards

    const QByteArray three = R"({"windows": [
        {"engine": "IE", "address": "http://a/", "title": "A", "x": 10, "y": 20, "width": 300, "height": 200},
        {"engine": "Gecko", "address": "http://b/", "title": ""},
        {"engine": "IE", "address": "", "title": "", "minimized": true}], "active": 1})";
    const int both = ScriptedEngines::Both;
    QTest::newRow("yes") << three << true << both << "はい"
                         << QStringList({"IE A | Navigate http://a/", "*Gecko Gecko | Navigate http://b/",
                                         "IE Internet Explorer | Navigate "})
                         << QStringList() << QStringList({"IE http://a/", "*Gecko http://b/", "IE "});
    QTest::newRow("yes, Gecko switched off since")
        << three << false << both << "はい"
        << QStringList({"IE A | Navigate http://a/", "*IE Internet Explorer | Navigate http://b/",
                        "IE Internet Explorer | Navigate "})
        << QStringList() << QStringList({"IE http://a/", "*IE http://b/", "IE "});
    QTest::newRow("no") << three << true << both << "いいえ" << QStringList() << QStringList() << QStringList();
    QTest::newRow("a window that cannot open")
        << three << true << int(ScriptedEngines::IEOnly) << "はい"
        << QStringList({"IE A | Navigate http://a/", "*IE Internet Explorer | Navigate "})
        << QStringList{"クラスが登録されていません。."} << QStringList({"IE http://a/", "*IE "});
    QTest::newRow("empty list") << QByteArray(R"({"windows": [], "active": -1})") << true << both << QString()
                                << QStringList() << QStringList() << QStringList();
    QTest::newRow("empty file") << QByteArray() << true << both << QString() << QStringList() << QStringList()
                                << QStringList();
    QTest::newRow("cut short") << three.left(120) << true << both << QString() << QStringList() << QStringList()
                               << QStringList();
    QTest::newRow("unknown engine") << QByteArray(R"({"windows": [{"engine": "Lynx", "address": "x"}]})") << true
                                    << both << QString() << QStringList() << QStringList() << QStringList();
}

// The question comes once the frame is shown and before the first-start
// options dialog; yes reopens each window in order on its engine, at its
// address and place, with the active one active again, and the reopened
// windows then replace the old list (at the addresses they were reopened
// at, until their engines report pages); anything else leaves no window and
// no list.
void TestWindowSession::startWithLeftList()
{
    QFETCH(QByteArray, list);
    QFETCH(bool, geckoEnabled);
    QFETCH(int, engineSlots);
    QFETCH(QString, answer);
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
        for (QWidget *w : QApplication::topLevelWidgets())
            QVERIFY(!qobject_cast<Tfrm_Option *>(w) || !w->isVisible());
        seen << box->windowTitle() << box->text();
        for (QAbstractButton *b : box->buttons())
            seen << b->text();
        for (QAbstractButton *b : box->buttons())
            if (b->text() == (answer.isEmpty() ? QStringLiteral("いいえ") : answer))
                b->click();
    });
    c.start();
    if (answer.isEmpty())
        QVERIFY(seen.isEmpty());
    else
        QCOMPARE(seen, QStringList({"Vexel", "前回のウィンドウを復元しますか？", "はい", "いいえ"}));
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
    QCOMPARE(MainForm->browserWindows()[0]->geometry(), QRect(10, 20, 300, 200));
    QVERIFY(MainForm->browserWindows().last()->isMinimized());
    QTRY_COMPARE(described(onDisk()), listed);
    QVERIFY(onDisk()->windows.last().minimized);
}

VEXEL_TEST_MAIN(TestWindowSession)
#include "test_windowsession.moc"
