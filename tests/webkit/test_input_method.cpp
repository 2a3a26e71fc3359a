// Japanese typed through an input method, as a user types it: IBus with
// Anthy, started for this run alone, and real X keys (romaji, Space to
// convert, Return to commit) into the frame's text fields. Skips where no
// input method can be started.

#include "webkittests.h"
#include "bookmarks/bmedit.h"
#include "browser/engines/webengine/webenginecontrol.h"

#include <QLineEdit>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <csignal>

namespace {

// A session bus and IBus on it with Anthy as its engine, in folders of their
// own: nothing of the user's input-method setup is read or changed. Every
// process they start carries a mark in its environment, so that the end of
// the run finds and ends them (some of them leave their parent behind).
class InputMethod {
public:
    // Starts the daemons and points this process (and so the engine host
    // it starts) at them; returns why not when that is impossible here.
    QString start();
    // Once the application is there: a panel that reports the caret.
    QString startPanel();
    ~InputMethod();

    // Where the input method was last told the caret is, on the screen:
    // where its candidate window opens. Empty until it is told again.
    QRect caret();
    void forgetCaret() { caret(); caret_ = QRect(); }

private:
    QProcessEnvironment environment() const;
    bool startDetached(const QString &program, const QStringList &args);
    bool ibus(const QStringList &args, QByteArray *out = nullptr) const;
    QList<qint64> marked() const;

    QTemporaryDir dir_;
    QString busAddress_, ibusAddress_;
    // A panel of the test's own in place of IBus's: it draws no candidate
    // window but reports where it would.
    QProcess panel_;
    QRect caret_;
};

QProcessEnvironment InputMethod::environment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    const QString root = dir_.path();
    env.insert(QStringLiteral("VEXEL_TEST_INPUT_METHOD"), root);
    env.insert(QStringLiteral("HOME"), root + QStringLiteral("/home"));
    // Where the frame's input context (Qt's) looks for the daemon's address.
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), qEnvironmentVariable("XDG_CONFIG_HOME"));
    env.insert(QStringLiteral("XDG_CACHE_HOME"), root + QStringLiteral("/cache"));
    env.insert(QStringLiteral("XDG_DATA_HOME"), root + QStringLiteral("/data"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), root + QStringLiteral("/run"));
    env.insert(QStringLiteral("GSETTINGS_BACKEND"), QStringLiteral("keyfile"));
    env.insert(QStringLiteral("NO_AT_BRIDGE"), QStringLiteral("1"));
    // Anthy's engine is a Python program for the system's Python.
    env.insert(QStringLiteral("PATH"), QStringLiteral("/usr/bin:/bin:") + env.value(QStringLiteral("PATH")));
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), busAddress_);
    if (!ibusAddress_.isEmpty())
        env.insert(QStringLiteral("IBUS_ADDRESS"), ibusAddress_);
    return env;
}

bool InputMethod::startDetached(const QString &program, const QStringList &args)
{
    QProcess process;
    process.setProgram(program);
    process.setArguments(args);
    process.setProcessEnvironment(environment());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(dir_.filePath(QFileInfo(program).fileName() + QStringLiteral(".log")));
    return process.startDetached();
}

bool InputMethod::ibus(const QStringList &args, QByteArray *out) const
{
    QProcess process;
    process.setProcessEnvironment(environment());
    process.start(QStringLiteral("ibus"), args);
    const bool done = process.waitForFinished(20000);
    if (out)
        *out = process.readAllStandardOutput().trimmed();
    return done && process.exitStatus() == QProcess::NormalExit;
}

QString InputMethod::start()
{
    for (const char *program : {"dbus-daemon", "ibus-daemon", "ibus"}) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(program)).isEmpty())
            return QStringLiteral("%1 is not installed (Debian: dbus-daemon, ibus, ibus-gtk3, ibus-anthy)")
                .arg(QString::fromLatin1(program));
    }
    if (!QFileInfo::exists(QStringLiteral("/usr/share/ibus/component/anthy.xml")))
        return QStringLiteral("IBus's Anthy engine is not installed (Debian: ibus-anthy)");
    if (!dir_.isValid())
        return QStringLiteral("no temporary folder for the input method");
    const QString root = dir_.path();
    for (const char *sub : {"home", "cache", "data", "run"})
        QDir(root).mkpath(QString::fromLatin1(sub));
    QFile::setPermissions(root + QStringLiteral("/run"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    // Anthy starts in Latin input unless told otherwise; a user switches
    // with a key, which the test need not guess. And it commits what is
    // being composed when the field loses the focus, as Mozc does: the way
    // a word once went into a Gecko page twice.
    const QString settings = qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/glib-2.0/settings");
    QDir().mkpath(settings);
    QFile keyfile(settings + QStringLiteral("/keyfile"));
    if (!keyfile.open(QIODevice::WriteOnly))
        return QStringLiteral("cannot write Anthy's settings");
    keyfile.write("[org/freedesktop/ibus/engine/anthy/common]\ninput-mode=0\nbehavior-on-focus-out=1\n");
    keyfile.close();

    const QString bus = root + QStringLiteral("/bus");
    busAddress_ = QStringLiteral("unix:path=") + bus;
    if (!startDetached(QStringLiteral("dbus-daemon"),
                       {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--address=") + busAddress_}) ||
        !QTest::qWaitFor([&] { return QFileInfo::exists(bus); }, 20000))
        return QStringLiteral("cannot start a D-Bus session bus for IBus");

    const QString socket = root + QStringLiteral("/ibus");
    const QString ibusAddress = QStringLiteral("unix:path=") + socket;
    if (!startDetached(QStringLiteral("ibus-daemon"),
                       {QStringLiteral("--daemonize"), QStringLiteral("--panel=disable"),
                        QStringLiteral("--emoji-extension=disable"), QStringLiteral("--address=") + ibusAddress}) ||
        !QTest::qWaitFor([&] { return QFileInfo::exists(socket); }, 20000))
        return QStringLiteral("cannot start ibus-daemon");
    ibusAddress_ = ibusAddress;
    // The engine list is read from the engines' components on the first
    // request; setting the engine succeeds once Anthy is among them.
    QByteArray engine;
    const bool set = QTest::qWaitFor(
        [&] { return ibus({QStringLiteral("engine"), QStringLiteral("anthy")}) &&
                     ibus({QStringLiteral("engine")}, &engine) && engine == "anthy"; },
        30000);
    if (!set)
        return QStringLiteral("IBus does not start its Anthy engine");

    // As a desktop sets them for its programs.
    qputenv("QT_IM_MODULE", "ibus");
    qputenv("GTK_IM_MODULE", "ibus");
    qputenv("XMODIFIERS", "@im=ibus");
    qputenv("IBUS_ADDRESS", ibusAddress_.toLocal8Bit());
    qputenv("DBUS_SESSION_BUS_ADDRESS", busAddress_.toLocal8Bit());
    return QString();
}

QString InputMethod::startPanel()
{
    static const char script[] = R"(
import gi
gi.require_version('IBus', '1.0')
from gi.repository import GLib, IBus
class Panel(IBus.PanelService):
    def do_set_cursor_location(self, x, y, w, h):
        print('%d %d %d %d' % (x, y, w, h), flush=True)
IBus.init()
bus = IBus.Bus()
panel = Panel(connection=bus.get_connection(), object_path=IBus.PATH_PANEL)
if bus.request_name(IBus.SERVICE_PANEL, 0):
    print('ready', flush=True)
    GLib.MainLoop().run()
)";
    panel_.setProcessEnvironment(environment());
    panel_.setStandardErrorFile(dir_.filePath(QStringLiteral("panel.log")));
    panel_.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), QString::fromLatin1(script)});
    const bool ready =
        QTest::qWaitFor([&] { return panel_.canReadLine() || panel_.state() == QProcess::NotRunning; }, 20000) &&
        panel_.readLine().trimmed() == "ready";
    return ready ? QString() : QStringLiteral("cannot stand in for IBus's panel (Debian: python3-gi, gir1.2-ibus-1.0)");
}

QRect InputMethod::caret()
{
    while (panel_.canReadLine()) {
        const QList<QByteArray> numbers = panel_.readLine().trimmed().split(' ');
        if (numbers.size() == 4)
            caret_ = QRect(numbers[0].toInt(), numbers[1].toInt(), numbers[2].toInt(), numbers[3].toInt());
    }
    return caret_;
}

QList<qint64> InputMethod::marked() const
{
    const QByteArray mark = "VEXEL_TEST_INPUT_METHOD=" + dir_.path().toLocal8Bit();
    QList<qint64> found;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString &entry : entries) {
        bool number = false;
        const qint64 pid = entry.toLongLong(&number);
        QFile environ(QStringLiteral("/proc/%1/environ").arg(entry));
        if (number && environ.open(QIODevice::ReadOnly) && environ.readAll().split('\0').contains(mark))
            found << pid;
    }
    return found;
}

InputMethod::~InputMethod()
{
    if (!dir_.isValid())
        return;
    if (panel_.state() != QProcess::NotRunning) {
        panel_.kill();
        panel_.waitForFinished();
    }
    // Every process of the run's own, by its mark: asked to end, then
    // ended for good.
    for (int round = 0; round < 2; ++round) {
        const QList<qint64> pids = marked();
        for (qint64 pid : pids)
            ::kill(pid_t(pid), round == 0 ? SIGTERM : SIGKILL);
        const bool ended = QTest::qWaitFor(
            [&] { return std::all_of(pids.begin(), pids.end(), [](qint64 p) { return processEnded(pid_t(p)); }); },
            5000);
        if (ended)
            break;
    }
}

}  // namespace

class TestInputMethod : public QObject {
    Q_OBJECT
public:
    explicit TestInputMethod(InputMethod &inputMethod) : inputMethod_(inputMethod) {}
    QString unavailable;  // why no input method can be started here

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void frameFields_data();
    void frameFields();
    void pageFields_data();
    void pageFields();
    void clickingElsewhereMidComposition_data();
    void clickingElsewhereMidComposition();
    void closingAWindowMidComposition_data();
    void closingAWindowMidComposition();

private:
    // A page with one field (field opens its tag: "<input id=\"f\"") that
    // reports in its title: "focus", "composing:" and the composed text,
    // "v:" and what the field holds once the composition is over.
    QString fieldPage(const QString &name, const QByteArray &field);
    // Opens it in a window of either engine, loaded.
    TBrowserWindow *openField(bool gecko, const QString &name, const QByteArray &field);
    // Clicks into the field and waits until it takes the input method.
    bool clickField(TBrowserWindow *w);
    EngineCase fixture_;
    // Composes "nihonn" and checks that the input method is told of a
    // caret inside field (on the screen), after the composed text.
    void composeAt(const QRect &field);

    InputMethod &inputMethod_;
};

void TestInputMethod::initTestCase()
{
    if (!unavailable.isEmpty())
        QSKIP(qPrintable(QStringLiteral("no input method here: ") + unavailable));
    if (const QString why = inputMethod_.startPanel(); !why.isEmpty())
        QSKIP(qPrintable(QStringLiteral("no input method here: ") + why));
    fixture_.prepareRun();
}

void TestInputMethod::init()
{
    fixture_.begin();
}

void TestInputMethod::cleanup()
{
    fixture_.end();
}

// What a QLineEdit shows while the input method composes.
class PreeditWatch : public QObject {
public:
    explicit PreeditWatch(QWidget *field) { field->installEventFilter(this); }
    QString preedit;
    int commits = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::InputMethod) {
            auto *im = static_cast<QInputMethodEvent *>(event);
            preedit = im->preeditString();
            commits += !im->commitString().isEmpty();
        }
        return false;
    }
};

void TestInputMethod::composeAt(const QRect &field)
{
    inputMethod_.forgetCaret();
    QVERIFY(typeText("nihonn"));
    // Where the candidate window opens: at the caret, not at the corner of
    // the screen, the frame or the page.
    QTRY_VERIFY2(field.contains(inputMethod_.caret().center()) && inputMethod_.caret().x() > field.x() + 20,
                 qPrintable(QStringLiteral("caret at %1,%2, field at %3,%4")
                                .arg(inputMethod_.caret().x()).arg(inputMethod_.caret().y())
                                .arg(field.x()).arg(field.y())));
}

void TestInputMethod::frameFields_data()
{
    QTest::addColumn<QString>("field");
    QTest::newRow("address") << "txtAddress";
    QTest::newRow("bookmark name") << "txtName";
    QTest::newRow("bookmark address") << "txtURL";
}

void TestInputMethod::frameFields()
{
    QFETCH(QString, field);
    QLineEdit *edit = MainForm->txtAddress;
    if (field != QLatin1String("txtAddress")) {
        MainForm->mnuEditClick();
        QVERIFY(QTest::qWaitForWindowActive(frm_BMEdit));
        edit = field == QLatin1String("txtName") ? frm_BMEdit->txtName : frm_BMEdit->txtURL;
    }
    edit->clear();
    QVERIFY(clickAt(onScreen(edit, edit->rect().center())));
    QTRY_VERIFY(edit->hasFocus());
    PreeditWatch watch(edit);

    // Composed in the field, converted, committed once; the Return that
    // commits is the input method's, not the field's.
    composeAt(QRect(onScreen(edit, QPoint(0, 0)), edit->size()));
    if (QTest::currentTestFailed())
        return;
    QTRY_COMPARE(watch.preedit, QString("にほん"));
    QCOMPARE(edit->text(), QString());
    // The candidate window goes where the input method is told the caret
    // is: in the field, not at the window's corner.
    const QRect fieldInWindow(edit->mapTo(edit->window(), QPoint(0, 0)), edit->size());
    const QRectF caret = QGuiApplication::inputMethod()->cursorRectangle();
    QVERIFY2(fieldInWindow.contains(caret.center().toPoint()), qPrintable(QStringLiteral("caret at %1,%2")
                                                                           .arg(caret.x()).arg(caret.y())));
    QVERIFY(caret.x() > fieldInWindow.x());
    QVERIFY(pressKeys("space"));
    QTRY_COMPARE(watch.preedit, QString("日本"));
    QVERIFY(pressKeys("Return"));
    QTRY_COMPARE(edit->text(), QString("日本"));
    QVERIFY(typeText("go"));
    QTRY_COMPARE(watch.preedit, QString("ご"));
    QVERIFY(pressKeys("Return"));
    QTRY_COMPARE(edit->text(), QString("日本ご"));
    QCOMPARE(watch.commits, 2);
    QVERIFY(watch.preedit.isEmpty());
    QCOMPARE(MainForm->MDIClient->subWindowList().size(), 0);
}

// Whether the focused object takes text from the input method.
static bool focusTakesInputMethod()
{
    QObject *focus = QGuiApplication::focusObject();
    if (!focus)
        return false;
    QInputMethodQueryEvent query(Qt::ImEnabled);
    QCoreApplication::sendEvent(focus, &query);
    return query.value(Qt::ImEnabled).toBool();
}

QString TestInputMethod::fieldPage(const QString &name, const QByteArray &field)
{
    // The field shows what it holds in the title, once the composition is
    // over; "focus" says the click has reached it.
    return fixture_.pages().page(
        name, "",
        field + " style=\"position:absolute;left:10px;top:10px;width:300px;height:40px\"" +
            (field.startsWith("<textarea") ? "></textarea>" : ">") +
            "<script>"
            "const f = document.getElementById('f');"
            "f.onfocus = () => { if (!f.value) document.title = 'focus'; };"
            "f.addEventListener('compositionupdate', e => document.title = 'composing:' + e.data);"
            "f.addEventListener('compositionend', () => setTimeout(() => document.title = 'v:' + f.value));"
            "f.addEventListener('input', e => { if (!e.isComposing) document.title = 'v:' + f.value; });"
            "document.title = 'empty';"
            "</script>");
}

TBrowserWindow *TestInputMethod::openField(bool gecko, const QString &name, const QByteArray &field)
{
    const QString url = fieldPage(name, field);
    TBrowserWindow *w = gecko ? openGecko(url) : openIE(url);
    if (!w || !QTest::qWaitFor([w] { return w->windowTitle() == QLatin1String("empty"); }, 20000))
        return nullptr;
    return w;
}

bool TestInputMethod::clickField(TBrowserWindow *w)
{
    if (!clickAt(onScreen(w->control(), QPoint(60, 30))) ||
        !QTest::qWaitFor([w] { return w->windowTitle() == QLatin1String("focus"); }, 10000))
        return false;
    // The page's own process sees the focus first; keys typed before the
    // frame hears that the page holds a text field pass the input method by.
    return geckoOf(w) || QTest::qWaitFor(focusTakesInputMethod, 10000);
}

void TestInputMethod::pageFields_data()
{
    QTest::addColumn<bool>("gecko");
    QTest::addColumn<QByteArray>("field");
    const QByteArray input = "<input id=\"f\"";
    const QByteArray textarea = "<textarea id=\"f\"";
    QTest::newRow("Internet Explorer input") << false << input;
    QTest::newRow("Internet Explorer textarea") << false << textarea;
    QTest::newRow("Gecko input") << true << input;
    QTest::newRow("Gecko textarea") << true << textarea;
}

void TestInputMethod::pageFields()
{
    QFETCH(bool, gecko);
    QFETCH(QByteArray, field);
    TBrowserWindow *w = openField(gecko, "field.html", field);
    QVERIFY(w);
    const QString address = MainForm->txtAddress->text();
    QVERIFY(clickField(w));

    composeAt(QRect(onScreen(w->control(), QPoint(10, 10)), QSize(300, 40)));
    if (QTest::currentTestFailed())
        return;
    QTRY_COMPARE(w->windowTitle(), QString("composing:にほん"));
    // Converted and committed at once, as quick typists do.
    QVERIFY(pressKeys("space"));
    QVERIFY(pressKeys("Return"));
    QTRY_COMPARE(w->windowTitle(), QString("v:日本"));
    QVERIFY(typeText("go"));
    QTRY_COMPARE(w->windowTitle(), QString("composing:ご"));
    QVERIFY(pressKeys("Return"));
    QTRY_COMPARE(w->windowTitle(), QString("v:日本ご"));
    QCOMPARE(MainForm->txtAddress->text(), address);
}

void TestInputMethod::clickingElsewhereMidComposition_data()
{
    QTest::addColumn<bool>("gecko");
    QTest::addColumn<bool>("beside");  // beside the field in its page, else into the other engine's page
    QTest::newRow("Internet Explorer to Gecko") << false << false;
    QTest::newRow("Gecko to Internet Explorer") << true << false;
    QTest::newRow("beside, Internet Explorer") << false << true;
    QTest::newRow("beside, Gecko") << true << true;
}

// A click elsewhere while a word is being composed ends the composition:
// the word stays in the field it was composed in, once, and the field
// clicked next composes its own.
void TestInputMethod::clickingElsewhereMidComposition()
{
    QFETCH(bool, gecko);
    QFETCH(bool, beside);
    TBrowserWindow *first = openField(gecko, "first.html", "<input id=\"f\"");
    QVERIFY(first);
    TBrowserWindow *next = beside ? first : openField(!gecko, "second.html", "<input id=\"f\"");
    QVERIFY(next);
    MainForm->WindowTileVertical1Execute();

    QVERIFY(clickField(first));
    QVERIFY(typeText("nihonn"));
    QTRY_COMPARE(first->windowTitle(), QString("composing:にほん"));
    QVERIFY(beside ? clickAt(onScreen(first->control(), QPoint(60, 150))) : clickField(next));
    QTRY_COMPARE(first->windowTitle(), QString("v:にほん"));

    if (beside)
        QVERIFY(clickAt(onScreen(first->control(), QPoint(60, 30))) && pressKeys("End"));
    QVERIFY(typeText("go"));
    QTRY_COMPARE(next->windowTitle(), QString("composing:ご"));
    QVERIFY(pressKeys("Return"));
    QTRY_COMPARE(next->windowTitle(), QString(beside ? "v:にほんご" : "v:ご"));
    QCOMPARE(first->windowTitle(), QString(beside ? "v:にほんご" : "v:にほん"));
}

void TestInputMethod::closingAWindowMidComposition_data()
{
    boolRows("gecko", "Internet Explorer", "Gecko");
}

// The window goes while a word is being composed in its page; the input
// method and the engine go on serving the next window.
void TestInputMethod::closingAWindowMidComposition()
{
    QFETCH(bool, gecko);
    QPointer<TBrowserWindow> w = openField(gecko, "goes.html", "<textarea id=\"f\"");
    QVERIFY(w);
    QVERIFY(clickField(w));
    QVERIFY(typeText("nihonn"));
    QTRY_COMPARE(w->windowTitle(), QString("composing:にほん"));
    MainForm->FileClose1Execute();
    QTRY_VERIFY(w.isNull());

    TBrowserWindow *next = openField(gecko, "next.html", "<input id=\"f\"");
    QVERIFY(next);
    QVERIFY(clickField(next));
    QVERIFY(typeText("go"));
    QTRY_COMPARE(next->windowTitle(), QString("composing:ご"));
    QVERIFY(pressKeys("Return"));
    QTRY_COMPARE(next->windowTitle(), QString("v:ご"));
}

int main(int argc, char *argv[])
{
    InputMethod inputMethod;
    TestInputMethod test(inputMethod);
    return vexelTestMain(argc, argv, &test, [&] {
        test.unavailable = inputMethod.start();
        WebEngineControl::prepareProcess();
    });
}

#include "test_input_method.moc"
