// SPDX-License-Identifier: GPL-3.0-or-later
// The bookmark file: its exact layout, the reading rules by position, CP932
// both ways, and damaged files.

#include "bookmarktree.h"
#include "core/cp932.h"
#include "testsupport.h"

#include <QDir>

using namespace bookmarks;

class TestBookmarkFile : public QObject {
    Q_OBJECT
private slots:
    void layout();
    void readingRules_data();
    void readingRules();
    void textRoundTrip();
    void damagedFiles_data();
    void damagedFiles();
    void unreadableFiles();
    void entityExpansionIsBounded();
};

void TestBookmarkFile::layout()
{
    QCOMPARE(fileBytes(exampleTree()), exampleBytes());
    QCOMPARE(readBack(exampleBytes()), QString("A=U1 F[B=U2 G[C=U3]]"));
    QCOMPARE(fileBytes({}), QByteArray("<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\n<bookmark>\n</bookmark>\n"));

    // Empty name and address: elements without text. A folder without
    // entries stays a directory element holding only its name.
    const QByteArray bytes = fileBytes({bookmark("", ""), folder("E"), folder("", {folder("")})});
    QVERIFY(bytes.contains("  <file>\n    <name></name>\n    <url></url>\n  </file>\n"));
    QVERIFY(bytes.contains("  <directory>\n    <name>E</name></directory>\n"));
    QVERIFY(bytes.contains("    <directory>\n        <name></name></directory></directory>\n"));
    QCOMPARE(readBack(bytes), QString("= E[] [[]]"));
}

void TestBookmarkFile::readingRules_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("read");       // a bookmark's address is its last node
    QTest::addColumn<QString>("afterName");  // each top-level entry's node after its name

    const QByteArray decl = "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>";
    const QString example = "A=U1 F[B=U2 G[C=U3]]";
    QTest::newRow("CRLF") << QByteArray(exampleBytes()).replace("\n", "\r\n") << example << "U1,BU2";
    QTest::newRow("no white space")
        << decl + "<bookmark><file><name>A</name><url>U1</url></file><directory><name>F</name><file><name>B</name>"
                  "<url>U2</url></file><directory><name>G</name><file><name>C</name><url>U3</url></file>"
                  "</directory></directory></bookmark>"
        << example << "U1,BU2";
    QTest::newRow("tabs, blank lines, comments")
        << decl + "\n\n<bookmark>\t<!-- mine -->\n\t<file>\t<name>A</name>\n<url>U1</url>\t</file>\n"
                  "<directory>  <name>F</name><?pi x?><file> <name>B</name> <url>U2</url> </file>\n"
                  "\t<directory>\n<name>G</name>\n\n<file><name>C</name><url>U3</url></file>\n</directory>\n"
                  "</directory>\n</bookmark>\n\n"
        << example << "U1,BU2";
    QTest::newRow("other names, attributes")
        << decl + "<favorites><link a=\"X\"><name>A</name><href>U1</href></link><dir><name>D</name><url>U2</url>"
                  "</dir></favorites>"
        << "A=U1 D=U2" << "U1,U2";
    QTest::newRow("third child")
        << decl + "<bookmark><file><name>T</name><url>U</url><url>V</url></file><directory><name>F</name>"
                  "<file><name>N</name><url>U</url><extra>V</extra></file></directory></bookmark>"
        << "T=V F[N=V]" << "U,NUV";
    QTest::newRow("entries lacking nodes")
        << decl + "<bookmark><file/><file><name>N</name></file><directory/><directory><name>E</name></directory>"
                  "<file><name/><url/></file></bookmark>"
        << "= N= [] E[] =" << ",,,,";
    QTest::newRow("text in an entry's place is no entry, text in an entry counts")
        << decl + "<bookmark>stray<file>Name<url>U</url></file><file><name>N</name>http://t/</file>"
                  "<![CDATA[x]]></bookmark>"
        << "Name=U N=http://t/" << "U,http://t/";
    QTest::newRow("no declaration, UTF-8")
        << QByteArray("<bookmark><file><name>\xE3\x81\x82</name><url>U</url></file></bookmark>") << "あ=U" << "U";
}

void TestBookmarkFile::readingRules()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, read);
    QFETCH(QString, afterName);
    QCOMPARE(readBack(file), read);
    const XmlDoc doc = parseBookmarks(file);
    QStringList second;
    for (xmlNode *e : topLevelEntries(bookmarkRoot(doc)))
        second << textAfterName(e);
    QCOMPARE(second.join(','), afterName);
}

void TestBookmarkFile::textRoundTrip()
{
    // Markup characters; "～" U+FF5E; "①" NEC row 13; "髙" IBM extension;
    // "\" 0x5C; an emoji, and three characters glibc maps one way onto
    // others (¥ to "\", 〜 to ～, − to －), which CP932 cannot hold.
    const QString name = QStringLiteral("Tom & <Jerry> \"q\" 'q' ]]> ～①髙\\表示😀");
    const QString address = QStringLiteral("file:///C:\\ﾃｽﾄ\\¥〜−?a=1&b=2\r\n\t");
    const QByteArray bytes = fileBytes({folder(QStringLiteral("日本語"), {bookmark(name, address)})});
    const QString expected = QStringLiteral(
        "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\n<bookmark>\n  <directory>\n    <name>日本語</name>\n"
        "      <file>\n        <name>Tom &amp; &lt;Jerry&gt; \"q\" 'q' ]]&gt; ～①髙\\表示&#128512;</name>\n"
        "        <url>file:///C:\\ﾃｽﾄ\\&#165;&#12316;&#8722;?a=1&amp;b=2&#13;\n\t</url>\n"
        "      </file></directory>\n</bookmark>\n");
    QCOMPARE(bytes, cp932::encode(expected).value());
    QVERIFY(bytes.contains("\x81\x60\x87\x40\xFB\xFC\\"));
    const XmlDoc doc = parseBookmarks(bytes);
    xmlNode *entry = folderEntries(topLevelEntries(bookmarkRoot(doc)).value(0)).value(0);
    QCOMPARE(entryName(entry), name);
    QCOMPARE(entryAddress(entry), address);

    // Characters XML cannot carry at all would leave a file no reader
    // parses: they are left out.
    const QString unfit = QString("a") + QChar(0x01) + "b" + QChar(0xFFFF) + "c" + QChar(0xD800) + "d";
    QCOMPARE(readBack(fileBytes({bookmark(unfit, "u")})), QString("abcd=u"));
}

void TestBookmarkFile::damagedFiles_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("read");

    const QByteArray decl = "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\n";
    const QByteArray example = exampleBytes();
    const QByteArray japanese = decl + "<bookmark><file><name>" + cp932::encode("日本").value() + "</name><url>u</url>"
                                "</file><file><name>" + cp932::encode("表").value();
    QTest::newRow("empty") << QByteArray() << "";
    QTest::newRow("declaration only") << decl << "";
    QTest::newRow("binary") << QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\xff\xfe<x", 21) << "";
    QTest::newRow("bytes without NUL") << QByteArray("\xff\xfe\xfd<<&&>>\x81\x82;]]") << "";
    // A cut file gives the entries before the cut, the cut one as far as it goes.
    QTest::newRow("cut in an entry") << example.left(example.indexOf("U2") + 1) << "A=U1 F[B=U]";
    QTest::newRow("cut in a character") << japanese.left(japanese.size() - 1) << "日本=u =";
    QTest::newRow("unknown encoding")
        << "<?xml version=\"1.0\" encoding=\"x-none\"?><bookmark><file><name>" + cp932::encode("名前").value()
               + "</name><url>u</url></file></bookmark>"
        << "名前=u";
    QTest::newRow("CP932 declared UTF-8")
        << "<?xml version=\"1.0\" encoding=\"UTF-8\"?><bookmark><file><name>" + cp932::encode("～①").value()
               + "</name><url>u</url></file></bookmark>"
        << "～①=u";
    QTest::newRow("bytes that are no CP932")
        << decl + "<bookmark><file><name>a\x80" "b\xfd</name><url>u</url></file><file><name>\x85<</name>"
                  "<url>v</url></file></bookmark>"
        << QString("a\uFFFDb\uFFFD=u \uFFFD=v");
    QTest::newRow("external entity is not read")
        << decl + "<!DOCTYPE bookmark [<!ENTITY e SYSTEM \"/etc/hostname\">]><bookmark><file><name>&e;</name>"
                  "<url>u</url></file></bookmark>"
        << "=u";
    QTest::newRow("short declared entity")
        << decl + "<!DOCTYPE bookmark [<!ENTITY co \"Vexel &#x793E;\">]><bookmark><file><name>&co;&amp;x</name>"
                  "<url>u</url></file></bookmark>"
        << "Vexel 社&x=u";
    QTest::newRow("nested entities read as nothing")
        << decl + "<!DOCTYPE bookmark [<!ENTITY a \"aa\"><!ENTITY b \"&a;&a;\">]><bookmark><file><name>x&b;y</name>"
                  "<url>u</url></file></bookmark>"
        << "xy=u";
}

void TestBookmarkFile::entityExpansionIsBounded()
{
    // A 2,000-character entity referenced 2,000 times would read as four
    // million characters from a file of ten thousand bytes.
    const QByteArray file = "<?xml version=\"1.0\"?><!DOCTYPE bookmark [<!ENTITY big \"" + QByteArray(2000, 'x') +
                            "\">]><bookmark><file><name>" + QByteArray("&big;").repeated(2000) +
                            "</name><url>u</url></file></bookmark>";
    const QString read = readBack(file);
    QVERIFY2(read.size() <= file.size(), qPrintable(QStringLiteral("%1 characters").arg(read.size())));
    QCOMPARE(read, QString("=u"));
}

void TestBookmarkFile::damagedFiles()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, read);
    QCOMPARE(readBack(file), read);
}

void TestBookmarkFile::unreadableFiles()
{
    TestDirs dirs;
    QVERIFY(!readBookmarkFile(dirs.currentDir() + "/bookmark.xml"));  // missing
    QVERIFY(QDir(dirs.currentDir()).mkdir("bookmark.xml"));
    QVERIFY(!bookmarkRoot(readBookmarkFile(dirs.currentDir() + "/bookmark.xml")));  // a directory
}

VEXEL_TEST_MAIN(TestBookmarkFile)
#include "test_bookmarkfile.moc"
