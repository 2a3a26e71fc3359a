// SPDX-License-Identifier: GPL-3.0-or-later
// The settings file's read and write functions against files as the
// platform writes them, and against refused writes.

#include "core/errors.h"
#include "core/cp932.h"
#include "settings/profile.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <sys/stat.h>

using namespace profile;

class TestProfile : public QObject {
    Q_OBJECT
private slots:
    void missingFileSectionOrKeyGivesDefault();
    void platformFileReadsCorrectly();
    void quotesAndBlanks();
    void integerRules_data();
    void integerRules();
    void flagRules();
    void longValueCutOnCharacterBoundary();
    void writeThenReadGivesWhatWasWritten_data();
    void writeThenReadGivesWhatWasWritten();
    void paddedNamesFindTheSameKey();
    void namesNoReadCouldFindAreRefused();
    void writeCreatesFileSectionAndKey();
    void writeReplacesInPlaceAndKeepsEveryOtherLine();
    void writeAddsKeyToExistingSection();
    void valuesRoundTripInCp932();
    void unencodableValueIsRefusedNotCorrupted();
    void refusedWritesNameTheFullPath();
    void failedWriteLeavesOldFileWhole();
    void cp932Table();
};

void TestProfile::missingFileSectionOrKeyGivesDefault()
{
    TestDirs dirs;
    QCOMPARE(readString(dirs.iniPath(), "General", "LastEngine", "IE"), QString("IE"));
    QCOMPARE(readInteger(dirs.iniPath(), "Bar", "Band0Width", 200), 200);
    dirs.writeIni("[Other]\r\nLastEngine=Gecko\r\n");
    QCOMPARE(readString(dirs.iniPath(), "General", "LastEngine", "IE"), QString("IE"));
    dirs.writeIni("[General]\r\nOther=1\r\n");
    QCOMPARE(readString(dirs.iniPath(), "General", "LastEngine", "IE"), QString("IE"));
    QVERIFY(!QFile::exists(dirs.programDir() + "x.ini"));
}

void TestProfile::platformFileReadsCorrectly()
{
    TestDirs dirs;
    QByteArray file = "; written elsewhere\r\n[general]\r\n  lastengine  =  Gecko  \r\n\r\n"
                      "[Option_Main]\r\nMozPath = C:\\Program Files\\" +
                      *cp932::encode(QStringLiteral("モジラ～")) + "\r\nMozilla=1\r\n[Bar]\r\nBand0Width=0x64\r\n";
    dirs.writeIni(file);
    QCOMPARE(readString(dirs.iniPath(), "General", "LastEngine", "IE"), QString("Gecko"));
    QCOMPARE(readString(dirs.iniPath(), "OPTION_MAIN", "mozpath", ""),
             QStringLiteral("C:\\Program Files\\モジラ～"));
    QCOMPARE(readInteger(dirs.iniPath(), "Option_Main", "Mozilla", 0), 1);
    QCOMPARE(readInteger(dirs.iniPath(), "Bar", "Band0Width", 200), 100);
}

void TestProfile::quotesAndBlanks()
{
    TestDirs dirs;
    dirs.writeIni("[General]\nLastEngine=\"IE \"\nEmpty=\nOneQuote=\"x\n");
    QCOMPARE(readString(dirs.iniPath(), "General", "LastEngine", ""), QString("IE "));
    QCOMPARE(readString(dirs.iniPath(), "General", "Empty", "def"), QString());
    QCOMPARE(readInteger(dirs.iniPath(), "General", "Empty", 7), 7);
    QCOMPARE(readString(dirs.iniPath(), "General", "OneQuote", ""), QString("\"x"));
}

void TestProfile::integerRules_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<int>("expected");
    QTest::newRow("decimal") << QByteArray("42") << 42;
    QTest::newRow("negative") << QByteArray("-5") << -5;
    QTest::newRow("hex") << QByteArray("0x64") << 100;
    QTest::newRow("HEX") << QByteArray("0X1f") << 31;
    QTest::newRow("hex wraps") << QByteArray("0xFFFFFFFF") << -1;
    QTest::newRow("bare 0x") << QByteArray("0x") << 200;
    QTest::newRow("letters") << QByteArray("abc") << 200;
    QTest::newRow("trailing junk") << QByteArray("12ab") << 200;
    QTest::newRow("too big") << QByteArray("99999999999") << 200;
    QTest::newRow("257") << QByteArray("257") << 257;
}

void TestProfile::integerRules()
{
    QFETCH(QByteArray, stored);
    QFETCH(int, expected);
    TestDirs dirs;
    dirs.writeIni("[Bar]\r\nBand0Width=" + stored + "\r\n");
    QCOMPARE(readInteger(dirs.iniPath(), "Bar", "Band0Width", 200), expected);
}

void TestProfile::flagRules()
{
    TestDirs dirs;
    dirs.writeIni("[Bar]\r\nA=0\r\nB=5\r\nC=x\r\n");
    QCOMPARE(readFlag(dirs.iniPath(), "Bar", "A", true), false);
    QCOMPARE(readFlag(dirs.iniPath(), "Bar", "B", false), true);
    QCOMPARE(readFlag(dirs.iniPath(), "Bar", "C", true), true);
    QCOMPARE(readFlag(dirs.iniPath(), "Bar", "Missing", false), false);
    writeFlag(dirs.iniPath(), "Bar", "D", true);
    writeFlag(dirs.iniPath(), "Bar", "E", false);
    QVERIFY(dirs.readIni().contains("D=1\r\nE=0\r\n"));
}

void TestProfile::longValueCutOnCharacterBoundary()
{
    TestDirs dirs;
    // 2046 ASCII bytes then a two-byte character: the character does not fit.
    const QString value = QString(2046, QLatin1Char('a')) + QStringLiteral("あいう");
    dirs.writeIni("[Option_Main]\r\nMozPath=" + *cp932::encode(value) + "\r\n");
    const QString read = readString(dirs.iniPath(), "Option_Main", "MozPath", "");
    QCOMPARE(read, QString(2046, QLatin1Char('a')));
    const QString exact = QString(2047, QLatin1Char('b')) + QStringLiteral("c");
    dirs.writeIni("[Option_Main]\r\nMozPath=" + exact.toLatin1() + "\r\n");
    QCOMPARE(readString(dirs.iniPath(), "Option_Main", "MozPath", "").size(), 2047);
    // Such a value is not written: no read could give it back whole.
    QVERIFY_THROWS_EXCEPTION(VexelError, writeString(dirs.iniPath(), "Option_Main", "MozPath", value));
    QCOMPARE(readString(dirs.iniPath(), "Option_Main", "MozPath", "").size(), 2047);
}

void TestProfile::writeThenReadGivesWhatWasWritten_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("line");
    QTest::newRow("plain") << QStringLiteral("C:\\x y") << QByteArray("Key=C:\\x y");
    QTest::newRow("empty") << QString() << QByteArray("Key=");
    QTest::newRow("leading blank") << QStringLiteral(" x") << QByteArray("Key=\" x\"");
    QTest::newRow("trailing blanks") << QStringLiteral("IE  ") << QByteArray("Key=\"IE  \"");
    QTest::newRow("only blanks") << QStringLiteral("   ") << QByteArray("Key=\"   \"");
    QTest::newRow("enclosed in quotes") << QStringLiteral("\"a\"") << QByteArray("Key=\"\"a\"\"");
    QTest::newRow("one quote") << QStringLiteral("\"") << QByteArray("Key=\"");
    QTest::newRow("inner quotes") << QStringLiteral("a \"b\" c") << QByteArray("Key=a \"b\" c");
    QTest::newRow("longest") << QString(2047, QLatin1Char('z')) << QByteArray("Key=" + QByteArray(2047, 'z'));
}

void TestProfile::writeThenReadGivesWhatWasWritten()
{
    QFETCH(QString, value);
    QFETCH(QByteArray, line);
    TestDirs dirs;
    writeString(dirs.iniPath(), "Section", "Key", value);
    QCOMPARE(dirs.readIni(), "[Section]\r\n" + line + "\r\n");
    QCOMPARE(readString(dirs.iniPath(), "Section", "Key", "default"), value);
}

void TestProfile::paddedNamesFindTheSameKey()
{
    TestDirs dirs;
    writeString(dirs.iniPath(), " General ", " Key ", "1");
    writeString(dirs.iniPath(), " General ", " Key ", "2");
    writeString(dirs.iniPath(), "General", "Key", "3");
    QCOMPARE(dirs.readIni(), QByteArray("[General]\r\nKey=3\r\n"));
    QCOMPARE(readString(dirs.iniPath(), "  general", "key  ", ""), QString("3"));
}

void TestProfile::namesNoReadCouldFindAreRefused()
{
    TestDirs dirs;
    writeString(dirs.iniPath(), "General", "Key", "old");
    const QByteArray before = dirs.readIni();
    const std::pair<const char *, const char *> names[] = {
        {"General", "a=b"}, {"General", "[Key"}, {"General", "Key]"}, {"Gen]eral", "Key"}, {"[General", "Key"},
        {"Gen=eral", "Key"},
    };
    for (const auto &[section, key] : names) {
        try {
            writeString(dirs.iniPath(), section, key, "new");
            QFAIL(qPrintable(QStringLiteral("[%1] %2 was written").arg(section, key)));
        } catch (const VexelError &e) {
            QCOMPARE(e.message(), QDir::toNativeSeparators(dirs.iniPath()) + QStringLiteral(" に書き込めません"));
        }
    }
    QCOMPARE(dirs.readIni(), before);
}

void TestProfile::writeCreatesFileSectionAndKey()
{
    TestDirs dirs;
    writeString(dirs.iniPath(), "General", "LastEngine", "IE");
    QCOMPARE(dirs.readIni(), QByteArray("[General]\r\nLastEngine=IE\r\n"));
    writeInteger(dirs.iniPath(), "Bar", "Band0ID", 1);
    QCOMPARE(dirs.readIni(), QByteArray("[General]\r\nLastEngine=IE\r\n[Bar]\r\nBand0ID=1\r\n"));
}

void TestProfile::writeReplacesInPlaceAndKeepsEveryOtherLine()
{
    TestDirs dirs;
    const QByteArray before = "; comment \x82\xa0\r\n[General]\r\n  LastEngine = IE \r\nOther=x\r\n\r\n[Bar]\r\nband0id=0\r\n"
                              "junk line without equals\r\n";
    dirs.writeIni(before);
    writeString(dirs.iniPath(), "general", "lastEngine", "Gecko");
    QByteArray expected = before;
    expected.replace("  LastEngine = IE ", "lastEngine=Gecko");
    QCOMPARE(dirs.readIni(), expected);
    writeInteger(dirs.iniPath(), "BAR", "Band0ID", 1);
    expected.replace("band0id=0", "Band0ID=1");
    QCOMPARE(dirs.readIni(), expected);
}

void TestProfile::writeAddsKeyToExistingSection()
{
    TestDirs dirs;
    dirs.writeIni("[General]\nLastEngine=IE\n\n[Bar]\nBand0ID=0");
    writeString(dirs.iniPath(), "General", "New", "v");
    writeString(dirs.iniPath(), "Bar", "Band1ID", "1");
    QCOMPARE(dirs.readIni(), QByteArray("[General]\nLastEngine=IE\nNew=v\n\n[Bar]\nBand0ID=0\nBand1ID=1\n"));
}

void TestProfile::valuesRoundTripInCp932()
{
    TestDirs dirs;
    const QString path = QStringLiteral("/home/ユーザー/～①髙\\x");
    writeString(dirs.iniPath(), "Option_Main", "MozPath", path);
    QVERIFY(dirs.readIni().contains(*cp932::encode(path)));
    QVERIFY(dirs.readIni().contains("\x81\x60"));  // U+FF5E in CP932
    QCOMPARE(readString(dirs.iniPath(), "Option_Main", "MozPath", ""), path);
}

void TestProfile::unencodableValueIsRefusedNotCorrupted()
{
    TestDirs dirs;
    writeString(dirs.iniPath(), "Option_Main", "MozPath", "/old");
    const QByteArray before = dirs.readIni();
    for (const QString &bad : {QStringLiteral("/emoji😀"), QStringLiteral("line\nbreak")}) {
        try {
            writeString(dirs.iniPath(), "Option_Main", "MozPath", bad);
            QFAIL("an unwritable value was accepted");
        } catch (const VexelError &e) {
            QCOMPARE(e.message(), QDir::toNativeSeparators(dirs.iniPath()) + QStringLiteral(" に書き込めません"));
        }
    }
    QCOMPARE(dirs.readIni(), before);
}

void TestProfile::refusedWritesNameTheFullPath()
{
    TestDirs dirs;
    const auto refused = [](const QString &path, const char *value, const char *what) {
        try {
            writeString(path, "General", "LastEngine", value);
            QFAIL(what);
        } catch (const VexelError &e) {
            QCOMPARE(e.message(), path + QStringLiteral(" に書き込めません"));
        }
    };
    // A read-only directory.
    QVERIFY(::chmod(QFile::encodeName(dirs.programDir()).constData(), 0555) == 0);
    refused(dirs.iniPath(), "IE", "write into a read-only directory succeeded");
    QVERIFY(!QFile::exists(dirs.iniPath()));
    ::chmod(QFile::encodeName(dirs.programDir()).constData(), 0755);
    // A read-only file in a writable directory.
    dirs.writeIni("[General]\r\nLastEngine=IE\r\n");
    QVERIFY(::chmod(QFile::encodeName(dirs.iniPath()).constData(), 0444) == 0);
    refused(dirs.iniPath(), "Gecko", "write to a read-only file succeeded");
    QCOMPARE(readString(dirs.iniPath(), "General", "LastEngine", ""), QString("IE"));
    // A directory that does not exist.
    refused(dirs.programDir() + "missing/config.ini", "IE", "write into a missing directory succeeded");
}

void TestProfile::failedWriteLeavesOldFileWhole()
{
    TestDirs dirs;
    dirs.writeIni("[General]\r\nLastEngine=IE\r\n");
    ::chmod(QFile::encodeName(dirs.programDir()).constData(), 0555);
    QVERIFY_THROWS_EXCEPTION(VexelError, writeString(dirs.iniPath(), "General", "LastEngine", "Gecko"));
    ::chmod(QFile::encodeName(dirs.programDir()).constData(), 0755);
    QCOMPARE(dirs.readIni(), QByteArray("[General]\r\nLastEngine=IE\r\n"));
    // No temporary file is left behind.
    QCOMPARE(QDir(dirs.programDir()).entryList(QDir::Files), QStringList{"config.ini"});
}

void TestProfile::cp932Table()
{
    QCOMPARE(*cp932::encode(QStringLiteral("\\～①髙")), QByteArray("\x5c\x81\x60\x87\x40\xfb\xfc"));
    QCOMPARE(cp932::decode(QByteArray("\x5c\x81\x60\x87\x40\xfb\xfc")), QStringLiteral("\\～①髙"));
    QVERIFY(!cp932::encode(QStringLiteral("😀")));
    // Look-alikes that would come back as other characters are refused.
    QVERIFY(!cp932::encode(QStringLiteral("¥")));
    QVERIFY(!cp932::encode(QStringLiteral("〜")));
    QVERIFY(!cp932::encode(QStringLiteral("−")));
    QVERIFY(!cp932::canEncode(U'😀'));
    QVERIFY(!cp932::canEncode(U'\uFEFF'));  // a character here, not a byte-order mark
    QCOMPARE(cp932::decode(QByteArray("a\x81")), QStringLiteral("a\uFFFD"));
}

VEXEL_TEST_MAIN(TestProfile)
#include "test_profile.moc"
