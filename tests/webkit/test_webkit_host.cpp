// SPDX-License-Identifier: GPL-3.0-or-later
// The engine host's pipe seen by one view, with a shell script as the host:
// what the view is told when the host answers, refuses, speaks another
// protocol, never answers or ends. No WebKit, no window.

#include "core/errors.h"
#include "browser/engines/webkitgtk/protocol.h"
#include "browser/engines/webkitgtk/webkithost.h"
#include "testsupport.h"

#include <QFile>

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

}  // namespace

class TestWebKitHost : public QObject {
    Q_OBJECT
private slots:
    void cleanup();
    void viewIsToldWhatBecameOfIt_data();
    void viewIsToldWhatBecameOfIt();

private:
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
    const QString path = scripts_.filePath(QString::fromLatin1(QTest::currentDataTag()).replace(' ', '_'));
    QFile script(path);
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write("#!/bin/sh\n" + body + "\n");
    script.close();
    script.setPermissions(script.permissions() | QFileDevice::ExeOwner);
    WebKitHost::setExecutableForTesting(path);
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

VEXEL_TEST_MAIN(TestWebKitHost)
#include "test_webkit_host.moc"
