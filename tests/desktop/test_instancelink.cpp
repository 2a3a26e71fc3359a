// SPDX-License-Identifier: GPL-3.0-or-later
// One Vexel per user and display: a later copy hands its addresses to the
// running one and ends; a socket left by a crashed copy does not block
// start-up; no other user reaches the socket.

#include "app/forms.h"
#include "app/instancelink.h"
#include "app/mainform.h"
#include "app/windowsession.h"
#include "browser/browserwindow.h"
#include "browser/childmoz.h"
#include "testsupport.h"

#include <QLocalSocket>
#include <QMdiArea>
#include <QProcess>
#include <QUrl>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <vector>
#include <csignal>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <grp.h>
#include <unistd.h>

namespace {

sockaddr_un socketAddress(const QString &path)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray bytes = QFile::encodeName(path);
    qstrncpy(address.sun_path, bytes.constData(), sizeof address.sun_path);
    return address;
}

// What a crashed copy leaves: a bound socket file nobody listens on.
void leaveStaleSocket(const QString &path)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    const sockaddr_un address = socketAddress(path);
    QCOMPARE(::bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address), 0);
    ::close(fd);
    QVERIFY(QFileInfo::exists(path));
}

// Runs vexel with the arguments in the directory, and then a last argument
// as printf makes it from a format when one is given (bytes that are not
// text); its exit code.
int runVexel(const QStringList &arguments, const QString &directory, const QString &printfFormat = {})
{
    QProcess vexel;
    vexel.setWorkingDirectory(directory);
    QSignalSpy finished(&vexel, &QProcess::finished);
    if (printfFormat.isEmpty())
        vexel.start(VEXEL_PROGRAM, arguments);
    else
        vexel.start("/bin/sh", QStringList{"-c", "exec \"$0\" \"$@\" \"$(printf '" + printfFormat + "')\"",
                                           VEXEL_PROGRAM} + arguments);
    // The running copy answers from this event loop.
    if (!finished.wait(60000)) {
        vexel.kill();
        vexel.waitForFinished();
        return -1;
    }
    return vexel.exitStatus() == QProcess::NormalExit ? vexel.exitCode() : -1;
}

enum PeerResult { Refused = 10, Cut = 20, Answered = 30, Broken = 40 };

// The peer: this program started again, become another user (nobody) before
// anything else runs, sending a well-formed message.
int peerAsNobody(const char *path)
{
    if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)
        return Broken;
    const sockaddr_un address = socketAddress(QFile::decodeName(path));
    QByteArray framed;
    QDataStream out(&framed, QIODevice::WriteOnly);
    out << QByteArray("VXL1\nhttp://other/");
    ::signal(SIGPIPE, SIG_IGN);  // a cut connection is a result, not the end
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0)
        return errno == EACCES ? Refused : Broken;
    if (::write(fd, framed.constData(), size_t(framed.size())) != framed.size())
        return Cut;
    char answer = 0;
    return ::read(fd, &answer, 1) == 1 ? Answered : Cut;
}

// The peer's result, while this process keeps serving.
int connectAsOtherUser(const QString &path)
{
    QProcess peer;
    QSignalSpy finished(&peer, &QProcess::finished);
    peer.start(QCoreApplication::applicationFilePath(), {"--peer-as-nobody", path});
    if (!finished.wait(60000)) {
        peer.kill();
        peer.waitForFinished();
        return Broken;
    }
    return peer.exitStatus() == QProcess::NormalExit ? peer.exitCode() : Broken;
}

}  // namespace

class TestInstanceLink : public QObject {
    Q_OBJECT
private slots:
    void laterCopyHandsOverItsAddresses();
    void eachAddressOpensOnItsOwn();
    void idleConnectionsDoNotJamTheLink();
    void goneSocketIsMadeAgain();
    void staleSocketDoesNotBlock();
    void liveCopyKeepsItsSocket();
    void otherUsersCannotReachTheSocket();
};

// The addresses are read in the later copy's directory and open in the
// running frame, each in a new window, on the checked engine. A file name
// that is not valid UTF-8 arrives byte for byte.
void TestInstanceLink::laterCopyHandsOverItsAddresses()
{
    RuntimeDir runtime;
    TestDirs dirs;
    ErrorRecorder errors;
    ScriptedEngines engines;
    Forms forms;
    InstanceLink link;
    QVERIFY(link.listen());
    QObject::connect(&link, &InstanceLink::addressesReceived, MainForm->WindowSession,
                     &TWindowSession::openRequested, Qt::QueuedConnection);
    QTemporaryDir elsewhere;
    QFile page(elsewhere.path() + "/page.html");
    QVERIFY(page.open(QIODevice::WriteOnly));
    page.close();
    const QByteArray latin1Path = QFile::encodeName(elsewhere.path()) + "/caf\xe9.html";
    const int fd = ::open(latin1Path.constData(), O_WRONLY | O_CREAT | O_EXCL, 0600);
    QVERIFY(fd >= 0);
    ::close(fd);
    MainForm->Moz_Item->setEnabled(true);
    MainForm->Moz_Item->trigger();

    QCOMPARE(runVexel({"page.html", "example.org"}, elsewhere.path(), "caf\\351.html"), 0);
    QTRY_COMPARE(engines.made.size(), 3);
    QCOMPARE(engines.made[0]->calls,
             QStringList{"Navigate " + QUrl::fromLocalFile(page.fileName()).toString(QUrl::FullyEncoded)});
    QCOMPARE(engines.made[1]->calls, QStringList{"Navigate http://example.org"});
    QCOMPARE(engines.made[2]->calls.size(), 1);
    const QUrl latin1(engines.made[2]->calls[0].section(' ', 1));
    QCOMPARE(latin1.scheme(), QString("file"));
    QCOMPARE(QByteArray::fromPercentEncoding(latin1.path(QUrl::FullyEncoded).toLatin1()), latin1Path);
    const QList<TBrowserWindow *> windows = MainForm->browserWindows();
    QCOMPARE(windows.size(), 3);
    for (TBrowserWindow *w : windows)
        QVERIFY(qobject_cast<Tfrm_MZ *>(w) && !w->isPrivate());
    QCOMPARE(MainForm->ActiveMDIChild(), windows.last());
    // Handed over private, they open private.
    QCOMPARE(runVexel({"--private", "http://p/"}, elsewhere.path()), 0);
    QTRY_COMPARE(engines.made.size(), 4);
    QCOMPARE(engines.made[3]->calls, QStringList{"Navigate http://p/"});
    QVERIFY(engines.made[3]->IsPrivate());
    QVERIFY(MainForm->ActiveMDIChild()->isPrivate());
    QVERIFY(errors.messages.isEmpty());
}

// An empty address is File > New; a window that cannot be made is reported
// and the next address still opens.
void TestInstanceLink::eachAddressOpensOnItsOwn()
{
    TestDirs dirs;
    ErrorRecorder errors;
    ScriptedEngines engines(ScriptedEngines::IEOnly);
    Forms forms;
    MainForm->openAddresses({"", "http://a/"});
    QCOMPARE(engines.made.size(), 2);
    QCOMPARE(engines.made[0]->calls, QStringList{"Navigate "});
    QCOMPARE(engines.made[1]->calls, QStringList{"Navigate http://a/"});
    MainForm->Moz_Item->setEnabled(true);
    MainForm->Moz_Item->trigger();
    MainForm->openAddresses({"http://b/", "http://c/"});
    QCOMPARE(errors.messages, QStringList(2, "クラスが登録されていません。."));
    QCOMPARE(MainForm->browserWindows().size(), 2);
}

// Clients that connect and send nothing are cut off beyond the cap at once
// and the rest after the idle time; a later copy still gets through.
void TestInstanceLink::idleConnectionsDoNotJamTheLink()
{
    RuntimeDir runtime;
    InstanceLink link;
    QVERIFY(link.listen());
    QSignalSpy received(&link, &InstanceLink::addressesReceived);
    std::vector<std::unique_ptr<QLocalSocket>> idle;
    auto dropped = [&] {
        return std::count_if(idle.begin(), idle.end(), [](const auto &socket) {
            return socket->state() == QLocalSocket::UnconnectedState;
        });
    };
    for (int i = 0; i < 40; ++i) {
        idle.push_back(std::make_unique<QLocalSocket>());
        idle.back()->connectToServer(InstanceLink::socketPath());
        QVERIFY(idle.back()->waitForConnected(5000));
    }
    QTRY_COMPARE(dropped(), 40 - InstanceLink::MaxConnections);
    QCOMPARE(link.connectionCount(), InstanceLink::MaxConnections);
    TestDirs dirs;
    QCOMPARE(runVexel({"http://z/"}, dirs.currentDir()), 0);
    QCOMPARE(received.size(), 1);

    link.setIdleTimeout(100);
    idle.push_back(std::make_unique<QLocalSocket>());
    idle.back()->connectToServer(InstanceLink::socketPath());
    QTRY_COMPARE(idle.back()->state(), QLocalSocket::UnconnectedState);
}

// A socket that goes while the copy runs (deleted, or closed by Qt after an
// error) is made again, and later copies reach this one.
void TestInstanceLink::goneSocketIsMadeAgain()
{
    RuntimeDir runtime;
    InstanceLink link;
    QVERIFY(link.listen());
    QSignalSpy received(&link, &InstanceLink::addressesReceived);
    QVERIFY(QFile::remove(InstanceLink::socketPath()));
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(InstanceLink::socketPath()), 4 * InstanceLink::CheckIntervalMs);
    TestDirs dirs;
    QCOMPARE(runVexel({"http://w/"}, dirs.currentDir()), 0);
    QCOMPARE(received.size(), 1);
}

void TestInstanceLink::staleSocketDoesNotBlock()
{
    RuntimeDir runtime;
    leaveStaleSocket(InstanceLink::socketPath());
    QCOMPARE(InstanceLink::forward({"http://x/"}), InstanceLink::NoCopy);
    InstanceLink link;
    QVERIFY(link.listen());
    QSignalSpy received(&link, &InstanceLink::addressesReceived);
    TestDirs dirs;
    QCOMPARE(runVexel({"http://x/"}, dirs.currentDir()), 0);
    QCOMPARE(received.size(), 1);
    QCOMPARE(received[0][0].toStringList(), QStringList{"http://x/"});
}

// A copy started while another listens leaves that one's socket alone.
void TestInstanceLink::liveCopyKeepsItsSocket()
{
    RuntimeDir runtime;
    InstanceLink first;
    QVERIFY(first.listen());
    QSignalSpy received(&first, &InstanceLink::addressesReceived);
    {
        InstanceLink second;
        QVERIFY(!second.listen());
    }
    QVERIFY(QFileInfo::exists(InstanceLink::socketPath()));
    TestDirs dirs;
    QCOMPARE(runVexel({"http://y/"}, dirs.currentDir()), 0);
    QCOMPARE(received.size(), 1);
}

void TestInstanceLink::otherUsersCannotReachTheSocket()
{
    RuntimeDir runtime;
    InstanceLink link;
    QVERIFY(link.listen());
    QSignalSpy received(&link, &InstanceLink::addressesReceived);
    const QString path = InstanceLink::socketPath();
    QCOMPARE(QFileInfo(path).absolutePath(), runtime.path());
    QCOMPARE(QFileInfo(runtime.path()).permissions() & 0x0077, QFileDevice::Permissions());
    QCOMPARE(QFileInfo(path).permissions() & 0x0077, QFileDevice::Permissions());
    if (::geteuid() != 0)
        QSKIP("switching to another user needs root");
    QCOMPARE(connectAsOtherUser(path), int(Refused));
    // Even with the folder and socket opened to everyone, the running copy
    // takes nothing from another user.
    ::chmod(QFile::encodeName(runtime.path()).constData(), 0777);
    ::chmod(QFile::encodeName(path).constData(), 0777);
    QCOMPARE(connectAsOtherUser(path), int(Cut));
    QVERIFY(received.isEmpty());
}

int main(int argc, char *argv[])
{
    if (argc == 3 && qstrcmp(argv[1], "--peer-as-nobody") == 0)
        return peerAsNobody(argv[2]);
    TestInstanceLink tc;
    return vexelTestMain(argc, argv, &tc);
}
#include "test_instancelink.moc"
