// SPDX-License-Identifier: GPL-3.0-or-later
// Engine rules per site: how a rules file reads (one "host engine" a line,
// bad lines skipped and counted) and which rule an address meets.

#include "browser/enginecontrol.h"
#include "browser/enginerules.h"
#include "core/programdir.h"
#include "testsupport.h"

#include <QFile>
#include <QTest>

using enginerules::Rule;

class TestEngineRules : public QObject {
    Q_OBJECT
private slots:
    void reading_data();
    void reading();
    void matching_data();
    void matching();
    void pageMenuChoice();
};

void TestEngineRules::reading_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("normal");  // format() of what was read, without its comment
    QTest::addColumn<int>("read");
    QTest::addColumn<int>("skipped");
    QTest::newRow("reaches, case, blanks, comments")
        << QByteArray("\xEF\xBB\xBF# mine\r\n  Intranet.Example.JP   IE \r\n\n*.old.example.jp gecko # shop\n"
                      ".Example.com\tGECKO\n")
        << QByteArray("intranet.example.jp ie\n.old.example.jp gecko\n.example.com gecko\n") << 3 << 0;
    QTest::newRow("bad lines cost only themselves")
        << QByteArray("a.example ie\nno-engine\nb.example opera\nc.example ie extra\nhttp://d.example/ ie\n"
                      "user@e.example ie\n.. gecko\n\xFF\xFE ie\nf.example gecko\n")
        << QByteArray("a.example ie\nf.example gecko\n") << 2 << 7;
    QTest::newRow("IDN kept in ASCII, port dropped, trailing dot")
        << QByteArray("\xE4\xBE\x8B\xE3\x81\x88.jp:8080 gecko\n.EXAMPLE.org. ie\n")
        << QByteArray("xn--r8jz45g.jp gecko\n.example.org ie\n") << 2 << 0;
    QTest::newRow("a later line replaces the same host and reach")
        << QByteArray("a.example ie\n.a.example ie\nA.example gecko\n")
        << QByteArray("a.example gecko\n.a.example ie\n") << 3 << 0;
}

void TestEngineRules::reading()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, normal);
    const enginerules::Reading reading = enginerules::parse(text);
    QByteArray formatted = enginerules::format(reading.rules);
    formatted.remove(0, formatted.indexOf('\n') + 1);
    QCOMPARE(formatted, normal);
    QFETCH(int, read);
    QFETCH(int, skipped);
    QCOMPARE(reading.read, read);
    QCOMPARE(reading.skipped, skipped);
    // What is written reads back the same.
    QCOMPARE(enginerules::parse(enginerules::format(reading.rules)).rules, reading.rules);
}

void TestEngineRules::matching_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("engine");  // "ie", "gecko" or "" for none
    QTest::newRow("exact host") << "http://intra.example.jp/a" << "ie";
    QTest::newRow("case and port ignored") << "https://INTRA.example.jp:8443/" << "ie";
    QTest::newRow("exact rule beats subdomain rule") << "http://shop.example.jp/" << "gecko";
    QTest::newRow("subdomain rule covers its own host") << "http://example.jp/" << "ie";
    QTest::newRow("longest subdomain rule wins") << "http://a.b.old.example.jp/" << "gecko";
    QTest::newRow("a rule without subdomains holds for its host only") << "http://x.intra.example.jp/" << "ie";
    QTest::newRow("a suffix that is no subdomain") << "http://notexample.jp/" << "";
    QTest::newRow("IDN in Unicode") << QString::fromUtf8("http://例え.jp/") << "gecko";
    QTest::newRow("IDN in ASCII") << "http://XN--R8JZ45G.jp/" << "gecko";
    QTest::newRow("IP address") << "http://127.0.0.1:8080/" << "gecko";
    QTest::newRow("file never matches") << "file:///intra.example.jp" << "";
    QTest::newRow("file with a host never matches") << "file://intra.example.jp/x" << "";
    QTest::newRow("hostless") << "about:blank" << "";
    QTest::newRow("empty") << "" << "";
}

void TestEngineRules::matching()
{
    QFETCH(QString, address);
    QFETCH(QString, engine);
    const QList<Rule> rules = enginerules::parse(".example.jp ie\nshop.example.jp gecko\n.old.example.jp ie\n"
                                                 ".b.old.example.jp gecko\nintra.example.jp ie\n"
                                                 "\xE4\xBE\x8B\xE3\x81\x88.jp gecko\n127.0.0.1 gecko\n")
                                  .rules;
    const std::optional<Rule> rule = enginerules::match(rules, QUrl(address));
    QCOMPARE(rule ? enginerules::engineWord(rule->engine) : QString(), engine);
}

// The page menu's choice keeps the rule in the user's file and takes it away
// again; a Gecko rule is not followed while Gecko is switched off.
void TestEngineRules::pageMenuChoice()
{
    QFile::remove(enginerules::storePath());
    const QUrl page(QStringLiteral("http://Sub.Example.com:81/page"));
    enginerules::setSiteEngine(page, engines::MOZILLA_CLSID);
    QCOMPARE(enginerules::rules(), QList<Rule>({{QStringLiteral("sub.example.com"), false, engines::MOZILLA_CLSID}}));
    QCOMPARE(enginerules::choose(page.toString(), true, true).ie, false);
    const enginerules::Choice off = enginerules::choose(page.toString(), true, false);
    QVERIFY(off.ie && off.geckoRefused);
    enginerules::setSiteEngine(QUrl(QStringLiteral("file:///tmp/x.html")), engines::IE_CLSID);
    enginerules::setSiteEngine(page, QString());
    QVERIFY(enginerules::rules().isEmpty());
}

VEXEL_TEST_MAIN(TestEngineRules)
#include "test_enginerules.moc"
