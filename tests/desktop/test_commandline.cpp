// SPDX-License-Identifier: GPL-3.0-or-later
// The command line: its grammar, how addresses are read, and the program's
// answers to --help, --version and an unknown option (printed before any
// window or display is needed).

#include "app/commandline.h"
#include "testsupport.h"

#include <QDir>
#include <QProcess>
#include <fcntl.h>
#include <unistd.h>

class TestCommandLine : public QObject {
    Q_OBJECT
private slots:
    void grammar_data();
    void grammar();
    void addressesReadAsTyped();
    void programAnswers_data();
    void programAnswers();
};

void TestCommandLine::grammar_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("action");
    QTest::addColumn<QStringList>("addresses");
    QTest::addColumn<QString>("error");
    const int start = CommandLine::Start, help = CommandLine::Help, version = CommandLine::Version,
              fail = CommandLine::Fail;
    QTest::newRow("none") << QStringList() << start << QStringList() << QString();
    QTest::newRow("addresses in order") << QStringList{"b.org", "a.html", "x:y"} << start
                                        << QStringList{"b.org", "a.html", "x:y"} << QString();
    QTest::newRow("lone dash is an address") << QStringList{"-"} << start << QStringList{"-"} << QString();
    QTest::newRow("empty is an address") << QStringList{""} << start << QStringList{""} << QString();
    QTest::newRow("--help") << QStringList{"a", "--help"} << help << QStringList{"a"} << QString();
    QTest::newRow("-h") << QStringList{"-h"} << help << QStringList() << QString();
    QTest::newRow("--version") << QStringList{"--version"} << version << QStringList() << QString();
    QTest::newRow("-v") << QStringList{"-v", "--bogus"} << version << QStringList() << QString();
    QTest::newRow("unknown") << QStringList{"--bogus", "--help"} << fail << QStringList()
                             << QString("不明なオプションです: --bogus");
    QTest::newRow("help takes no value") << QStringList{"--help=x"} << fail << QStringList()
                                         << QString("不明なオプションです: --help=x");
    QTest::newRow("after --") << QStringList{"a", "--", "--help", "-x", "--"} << start
                              << QStringList{"a", "--help", "-x", "--"} << QString();
}

void TestCommandLine::grammar()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, action);
    QFETCH(QStringList, addresses);
    QFETCH(QString, error);
    QList<QByteArray> bytes;
    for (const QString &argument : arguments)
        bytes.append(argument.toUtf8());
    const CommandLine line = parseCommandLine(bytes);
    QCOMPARE(int(line.action), action);
    QStringList given;
    for (const QByteArray &address : line.addresses)
        given.append(QString::fromUtf8(address));
    QCOMPARE(given, addresses);
    QCOMPARE(line.error, error);
}

// Files are found against the directory the program was started in and
// become absolute file addresses, so a copy elsewhere opens the same file.
// Words to search for stay words.
// A name that is not valid UTF-8 keeps its bytes.
void TestCommandLine::addressesReadAsTyped()
{
    TestDirs dirs;
    const QString page = dirs.writePage("a page.html", "<p>x</p>");
    const QString file = QUrl::fromLocalFile(page).toString(QUrl::FullyEncoded);
    QVERIFY(file.startsWith("file:///") && file.endsWith("/a%20page.html"));
    const QByteArray latin1Name = "caf\xe9 \xff.html";
    const QByteArray latin1Path = QFile::encodeName(dirs.currentDir()) + '/' + latin1Name;
    const int fd = ::open(latin1Path.constData(), O_WRONLY | O_CREAT | O_EXCL, 0600);
    QVERIFY(fd >= 0);
    ::close(fd);
    const QStringList urls = resolvedAddresses({"a page.html", " a page.html ", page.toUtf8(), "example.org",
                                                "https://example.org/a b", "about:blank", "",
                                                QString(" りんご \t価格 ").toUtf8(), "tenki", latin1Name,
                                                latin1Path});
    // Words stay words for the running copy to search in its user's engine.
    QCOMPARE(urls.mid(0, 9), QStringList({file, file, file, "http://example.org", "https://example.org/a%20b",
                                          "about:blank", "", "りんご 価格", "tenki"}));
    for (const QString &url : urls.mid(9)) {
        QVERIFY2(url.endsWith("/caf%E9%20%FF.html"), qPrintable(url));
        const QUrl read(url);
        QCOMPARE(read.scheme(), QString("file"));
        QCOMPARE(QByteArray::fromPercentEncoding(read.path(QUrl::FullyEncoded).toLatin1()), latin1Path);
    }
}

void TestCommandLine::programAnswers_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");
    QTest::newRow("--help") << QStringList{"--help", "http://x/"} << 0
                            << QString("使い方: vexel [オプション]... [アドレス|ファイル]...") << QString();
    QTest::newRow("--version") << QStringList{"--version"} << 0 << QString("Vexel " VEXEL_VERSION) << QString();
    QTest::newRow("unknown option") << QStringList{"http://x/", "--frobnicate"} << 2 << QString()
                                    << QString("vexel: 不明なオプションです: --frobnicate");
}

// Run without any display: an answer that needed a window would fail.
void TestCommandLine::programAnswers()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QString, err);
    TestDirs dirs;
    QProcess vexel;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.insert("LANG", "C.UTF-8");
    vexel.setProcessEnvironment(env);
    vexel.start(VEXEL_PROGRAM, arguments);
    QVERIFY(vexel.waitForFinished(60000));
    QCOMPARE(vexel.exitStatus(), QProcess::NormalExit);
    QCOMPARE(vexel.exitCode(), exitCode);
    const QString stdoutText = QString::fromUtf8(vexel.readAllStandardOutput());
    const QString stderrText = QString::fromUtf8(vexel.readAllStandardError());
    QCOMPARE(stdoutText.section('\n', 0, 0), out);
    QCOMPARE(stderrText.section('\n', 0, 0), err);
    QVERIFY(QDir(dirs.programDir()).isEmpty());
}

VEXEL_TEST_MAIN(TestCommandLine)
#include "test_commandline.moc"
