// SPDX-License-Identifier: GPL-3.0-or-later
// The engine host's pipe with a shell script as the host, no WebKit: what a
// view is told when the host answers, refuses, speaks another protocol,
// never answers or ends; and what a Gecko window's control makes of the
// host's lines and puts on the pipe itself.

#include "core/errors.h"
#include "browser/engines/webkitgtk/protocol.h"
#include "browser/engines/webkitgtk/webkitcontrol.h"
#include "browser/engines/webkitgtk/webkithost.h"
#include "testsupport.h"

#include <QFile>
#include <QWindow>

namespace {

// Records what the host tells it, one line a call.
class FakeView : public WebKitView {
public:
    explicit FakeView(bool privateView) : private_(privateView) {}
    void viewArrived(quint32 plug) override { calls << QStringLiteral("arrived %1").arg(plug); }
    void viewFailed(const QString &message, bool hostWent) override
    {
        calls << QStringLiteral("failed %1 %2").arg(message).arg(int(hostWent));
    }
    void hostEvent(const QByteArray &verb, const QList<QByteArray> &fields) override
    {
        calls << QString::fromUtf8(verb + ' ' + fields.join(' '));
    }
    void hostGone() override { calls << QStringLiteral("gone"); }
    bool isPrivateView() const override { return private_; }

    QStringList calls;

private:
    bool private_;
};

// The script's part before its answer: says it is ready, then reads up to
// the request for a view (the filters and rules come first). Its plug
// number tells which view it was asked for and whether as private.
const QByteArray readyThenCreate = "echo '0 ready " VEXEL_PROTO_VERSION "'\n"
                                   "while read v verb private; do [ \"$verb\" = create ] && break; done\n";

// A control's host: answers the view with plug, says what the row gives (a
// line a view's event, "$v" its number), then writes down every line it
// reads until the view is released.
QByteArray controlHost(WId plug, const QByteArray &events, const QString &log)
{
    return readyThenCreate + "echo \"$v plug " + QByteArray::number(plug) + "\"\n" + events +
           "\nwhile read -r line; do echo \"$line\" >> '" + QFile::encodeName(log) +
           "'; case \"$line\" in *' " VEXEL_VERB_RELEASE "') exit 0;; esac; done\n";
}

// What the control tells the frame, one line a signal.
void listen(WebKitControl *control, QStringList *heard)
{
    const auto say = [heard](const QString &line) { heard->append(line); };
    QObject::connect(control, &EngineControl::TitleChange, [say](const QString &t) { say("title " + t); });
    QObject::connect(control, &EngineControl::ProgressChange,
                     [say](int p, int max) { say(QStringLiteral("progress %1 %2").arg(p).arg(max)); });
    QObject::connect(control, &EngineControl::CommandStateChange, [say](EngineControl::NavigationCommand c, bool on) {
        say(QStringLiteral("command %1 %2")
                .arg(c == EngineControl::NavigationCommand::Back ? "back" : "forward")
                .arg(int(on)));
    });
    QObject::connect(control, &EngineControl::LoadFinished, [say](bool ok) { say(QStringLiteral("loaded %1").arg(ok)); });
    QObject::connect(control, &EngineControl::NewWindow2,
                     [say](const NewWindowRequest &r) { say("newwindow " + r.address()); });
    QObject::connect(control, &EngineControl::FindResult,
                     [say](int active, int count) { say(QStringLiteral("found %1 %2").arg(active).arg(count)); });
    QObject::connect(control, &EngineControl::ZoomRequested, [say](int step) { say(QStringLiteral("zoomstep %1").arg(step)); });
    QObject::connect(control, &EngineControl::StatusTextChange, [say](const QString &t) { say("status " + t); });
    QObject::connect(control, &EngineControl::StatusMessage, [say](const QString &t) { say("message " + t); });
    QObject::connect(control, &EngineControl::CloseRequested, [say] { say("close"); });
    QObject::connect(control, &EngineControl::PageResponsiveChange,
                     [say](bool on) { say(QStringLiteral("responsive %1").arg(on)); });
}

// Which of the control's pages is in front.
QString shown(const WebKitControl &control)
{
    for (const char *name : {"webkitView", "crashPage", "errorPage", "blankPage"})
        if (const QWidget *page = control.findChild<QWidget *>(QLatin1String(name)); page && page->isVisibleTo(&control))
            return QLatin1String(name);
    return QString();
}

// The lines of view 1 the host read, decoded: "verb field ...".
QStringList readLines(const QString &log)
{
    QFile file(log);
    QStringList lines;
    if (!file.open(QIODevice::ReadOnly))
        return lines;
    for (const QByteArray &line : file.readAll().split('\n')) {
        WebKitMessage message;
        if (webkitprotocol::decode(line, &message) == VEXEL_PROTO_OK && message.view == 1)
            lines << QString::fromUtf8(message.verb + ' ' + message.fields.join(' ')).trimmed();
    }
    return lines;
}

}  // namespace

class TestWebKitHost : public QObject {
    Q_OBJECT
private slots:
    void cleanup();
    void viewIsToldWhatBecameOfIt_data();
    void viewIsToldWhatBecameOfIt();
    void controlReadsItsHost_data();
    void controlReadsItsHost();
    void controlWritesToItsHost();

private:
    QString script(const QByteArray &body);
    void endHost();
    QTemporaryDir scripts_;
};

void TestWebKitHost::cleanup()
{
    WebKitHost::setExecutableForTesting(QString());
    WebKitHost::setReplyTimeoutForTesting(0);
}

void TestWebKitHost::viewIsToldWhatBecameOfIt_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("privateView");
    QTest::addColumn<int>("replyTimeout");  // long: never what ends a row that is not about it
    QTest::addColumn<QStringList>("calls");
    const QString unregistered = engines::classNotRegisteredMessage();
    const QString inactive = engines::activationFailedMessage();

    // Events reach their own view only; the end of the host reaches it too.
    QTest::newRow("arrives, hears its events, host ends")
        << readyThenCreate + "echo \"$v plug 4$private\"; echo \"$v title A\"; echo '9 title B'; echo '0 site 1'; "
                             "echo \"$v found 1 2\"; exit 0"
        << false << 60000 << QStringList{"arrived 40", "title A", "found 1 2", "gone"};
    QTest::newRow("private") << readyThenCreate + "echo \"$v plug 4$private\"; exit 0" << true << 60000
                             << QStringList{"arrived 41", "gone"};
    QTest::newRow("refused") << readyThenCreate + "echo \"$v error no\"; exit 0" << false << 60000
                             << QStringList{"failed " + inactive + " 0"};
    QTest::newRow("plug 0") << readyThenCreate + "echo \"$v plug 0\"; exit 0" << false << 60000
                            << QStringList{"failed " + inactive + " 0"};
    // Before it is ready the host is not this frame's; after, it may just
    // have crashed and the next one may do.
    QTest::newRow("a library missing") << QByteArray("echo 'error while loading shared libraries' >&2; exit 127")
                                       << false << 60000 << QStringList{"failed " + unregistered + " 0"};
    QTest::newRow("ready, then gone") << QByteArray("echo '0 ready " VEXEL_PROTO_VERSION "'; exit 0") << false
                                      << 60000 << QStringList{"failed " + inactive + " 1"};
    QTest::newRow("another version") << QByteArray("echo '0 ready 1'; exec cat >/dev/null") << false << 60000
                                     << QStringList{"failed " + unregistered + " 0"};
    QTest::newRow("no version") << QByteArray("echo '0 ready'; exec cat >/dev/null") << false << 60000
                                << QStringList{"failed " + unregistered + " 0"};
    QTest::newRow("garbage") << QByteArray("printf '0 ready %%zz\\r\\n'; exec cat >/dev/null") << false << 60000
                             << QStringList{"failed " + unregistered + " 0"};
    // A host that does not answer is let go.
    QTest::newRow("never answers the view") << readyThenCreate + "exec cat >/dev/null" << false << 300
                                            << QStringList{"failed " + inactive + " 1"};
    QTest::newRow("never ready") << QByteArray("exec cat >/dev/null") << false << 300
                                 << QStringList{"failed " + unregistered + " 0"};
}

void TestWebKitHost::viewIsToldWhatBecameOfIt()
{
    QFETCH(QByteArray, body);
    QFETCH(bool, privateView);
    QFETCH(int, replyTimeout);
    QFETCH(QStringList, calls);
    TestDirs dirs;
    WebKitHost::setExecutableForTesting(script(body));
    WebKitHost::setReplyTimeoutForTesting(replyTimeout);

    FakeView view(privateView);
    WebKitHost *host = WebKitHost::running();
    QSignalSpy hostMessages(host, &WebKitHost::hostMessage);
    QCOMPARE(host->requestView(&view), 1);
    QTRY_VERIFY(!host->isAlive());
    QTRY_COMPARE(view.calls, calls);
    // Messages to view 0 are the host's own.
    QCOMPARE(hostMessages.size(), body.contains("0 site") ? 1 : 0);
    // Nothing goes to a host that has gone, and the caller hears so.
    QVERIFY(!host->send(0, VEXEL_VERB_PREWARM));
    QCOMPARE(WebKitHost::runningProcessId(), qint64(0));
}

QString TestWebKitHost::script(const QByteArray &body)
{
    const QString path = scripts_.filePath(QString::fromLatin1(QTest::currentTestFunction()) + '_' +
                                           QString::fromLatin1(QTest::currentDataTag()).replace(' ', '_'));
    QFile file(path);
    // Never an empty path: that would start the real host in its place.
    if (!file.open(QIODevice::WriteOnly)) {
        QTest::qFail("cannot write the host script", __FILE__, __LINE__);
        return path;
    }
    file.write("#!/bin/sh\n" + body + "\n");
    file.close();
    file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
    return path;
}

// The control is gone and has released its view: the host ends.
void TestWebKitHost::endHost()
{
    QTRY_COMPARE_WITH_TIMEOUT(WebKitHost::runningProcessId(), qint64(0), 30000);
}

void TestWebKitHost::controlReadsItsHost_data()
{
    QTest::addColumn<QByteArray>("events");
    QTest::addColumn<QStringList>("heard");
    QTest::addColumn<QString>("page");  // in front at the end

    QTest::newRow("a page's load") << QByteArray("echo \"$v uri http%3A%2F%2Fa.example%2F%3Fq%3D%25E6%2597%25A5\"\n"
                                                 "echo \"$v progress 40\"\n"
                                                 "echo \"$v title\"\n"
                                                 "echo \"$v title %E6%97%A5%E6%9C%AC\"\n"
                                                 "echo \"$v history " VEXEL_YES " " VEXEL_NO "\"\n"
                                                 "echo \"$v loaded " VEXEL_YES "\"")
                                   // A page without a title goes by its address, as the user reads it.
                                   << QStringList{"progress 40 100", "title http://a.example/?q=日", "title 日本",
                                                  "command back 1", "command forward 0", "loaded 1"}
                                   << "webkitView";
    // What the page asks of the window; numbers out of range are held in it.
    QTest::newRow("the page asks") << QByteArray("echo \"$v status %3Cb%3Elink\"\n"
                                                 "echo \"$v newwindow http%3A%2F%2Fb.example%2F\"\n"
                                                 "echo \"$v found 5 2\"\n"
                                                 "echo \"$v found 1 -3\"\n"
                                                 "echo \"$v zoomstep 7\"\n"
                                                 "echo \"$v close\"")
                                   << QStringList{"status <b>link", "newwindow http://b.example/", "found 2 2",
                                                  "found 0 0", "zoomstep 1", "close"}
                                   << "webkitView";
    QTest::newRow("a failed load") << QByteArray("echo \"$v failed " VEXEL_FAILED_REFUSED
                                                 " http%3A%2F%2Fc.example%2F refused\"\n"
                                                 "echo \"$v title\"\n"
                                                 "echo \"$v loaded " VEXEL_NO "\"")
                                   // The title is the address asked for, also when the
                                   // empty page beneath says its own.
                                   << QStringList{"title http://c.example/", "title http://c.example/", "loaded 0"}
                                   << "errorPage";
    QTest::newRow("the page's process ends")
        << QByteArray("echo \"$v crashed " VEXEL_CRASH_MEMORY "\"\necho \"$v responsive " VEXEL_NO "\"") << QStringList{}
        << "crashPage";
    QTest::newRow("another view's and unknown lines")
        << QByteArray("echo \"7 title other\"\necho \"$v nosuchverb 1\"\necho \"$v title mine\"")
        << QStringList{"title mine"} << "webkitView";
}

void TestWebKitHost::controlReadsItsHost()
{
    QFETCH(QByteArray, events);
    QFETCH(QStringList, heard);
    QFETCH(QString, page);
    TestDirs dirs;
    QWindow plug;
    plug.create();
    WebKitHost::setExecutableForTesting(script(controlHost(plug.winId(), events, dirs.currentDir() + "/log")));
    {
        WebKitControl control(nullptr);
        QStringList calls;
        listen(&control, &calls);
        QTRY_COMPARE_WITH_TIMEOUT(calls, heard, 30000);
        QTRY_COMPARE_WITH_TIMEOUT(shown(control), page, 30000);
    }
    endHost();
}

// What the window's own calls put on the pipe, in order, after the view
// was asked for.
void TestWebKitHost::controlWritesToItsHost()
{
    TestDirs dirs;
    QWindow plug;
    plug.create();
    const QString log = dirs.currentDir() + "/log";
    WebKitHost::setExecutableForTesting(script(controlHost(plug.winId(), QByteArray(), log)));
    {
        WebKitControl control(nullptr);
        QTRY_COMPARE_WITH_TIMEOUT(shown(control), QString("webkitView"), 30000);
        control.Navigate(QStringLiteral("example.com/日本"));
        control.GoBack();
        control.FindText(QStringLiteral("a b"), true);
        control.SetZoomFactor(1.5);
        control.Stop();
    }
    endHost();
    const QStringList lines = readLines(log);
    const QStringList expected{VEXEL_VERB_LOAD " http://example.com/%E6%97%A5%E6%9C%AC",
                               VEXEL_VERB_BACK,
                               VEXEL_VERB_FIND " " VEXEL_FIND_BACKWARD " a b",
                               VEXEL_VERB_ZOOM " 1.5",
                               VEXEL_VERB_STOP,
                               VEXEL_VERB_RELEASE};
    // The charset and zoom a view starts with may come first.
    QCOMPARE(lines.mid(lines.size() - expected.size()), expected);
}

VEXEL_TEST_MAIN(TestWebKitHost)
#include "test_webkit_host.moc"
