// SPDX-License-Identifier: GPL-3.0-or-later
// What kind of resource the Gecko slot's filters take a request for: WebKit
// names none, so it is read from the request (see requesttype.h). No X
// server, no engine.

#include "browser/engines/webkitgtk/blocker/requesttype.h"

#include <QTest>

using blocking::RequestType;
Q_DECLARE_METATYPE(RequestType)

class TestBlockerRequestType : public QObject {
    Q_OBJECT
private slots:
    void typeOfRequest_data();
    void typeOfRequest();
    void hostOfUrl_data();
    void hostOfUrl();
};

void TestBlockerRequestType::typeOfRequest_data()
{
    QTest::addColumn<QByteArray>("url");
    QTest::addColumn<QByteArray>("dest");
    QTest::addColumn<QByteArray>("accept");
    QTest::addColumn<bool>("main");
    QTest::addColumn<bool>("ping");
    QTest::addColumn<RequestType>("type");
    const QByteArray html = "text/html,application/xhtml+xml,application/xml;q=0.9,*/*;q=0.8";
    // The page's own document whatever its headers say.
    QTest::newRow("main resource") << QByteArray("http://a.jp/x.js") << QByteArray("") << html << true << false
                                   << RequestType::Document;
    QTest::newRow("frame by Accept") << QByteArray("http://a.jp/f") << QByteArray("") << html << false << false
                                     << RequestType::Subdocument;
    // The header WebKit sets outranks what the path looks like.
    QTest::newRow("dest script, no extension") << QByteArray("http://a.jp/s?x=1") << QByteArray("script")
                                               << QByteArray("*/*") << false << false << RequestType::Script;
    QTest::newRow("dest image named .js") << QByteArray("http://a.jp/p.js") << QByteArray("image")
                                          << QByteArray("*/*") << false << false << RequestType::Image;
    QTest::newRow("dest iframe") << QByteArray("http://a.jp/f") << QByteArray("iframe") << html << false << false
                                 << RequestType::Subdocument;
    QTest::newRow("fetch") << QByteArray("http://a.jp/api") << QByteArray("empty") << QByteArray("*/*") << false
                           << false << RequestType::XmlHttpRequest;
    QTest::newRow("beacon") << QByteArray("http://a.jp/b") << QByteArray("empty") << QByteArray("*/*") << false
                            << true << RequestType::Ping;
    QTest::newRow("unknown dest falls back") << QByteArray("http://a.jp/s.css") << QByteArray("future")
                                             << QByteArray("*/*") << false << false << RequestType::Stylesheet;
    QTest::newRow("style sheet by Accept") << QByteArray("http://a.jp/s") << QByteArray("")
                                           << QByteArray("text/css,*/*;q=0.1") << false << false
                                           << RequestType::Stylesheet;
    QTest::newRow("image by Accept") << QByteArray("http://a.jp/i") << QByteArray("")
                                     << QByteArray("image/webp,image/*,*/*;q=0.8") << false << false
                                     << RequestType::Image;
    // The extension before a query or fragment, in any case.
    QTest::newRow("script by extension") << QByteArray("http://a.jp/a/b.JS?v=1.png#x") << QByteArray("")
                                         << QByteArray("*/*") << false << false << RequestType::Script;
    QTest::newRow("font") << QByteArray("https://a.jp/f.woff2") << QByteArray("") << QByteArray("*/*") << false
                          << false << RequestType::Font;
    QTest::newRow("dot in a folder only") << QByteArray("http://a.jp/v1.js/data") << QByteArray("")
                                          << QByteArray("*/*") << false << false << RequestType::Other;
    QTest::newRow("host looks like a file") << QByteArray("http://cdn.js") << QByteArray("") << QByteArray("")
                                            << false << false << RequestType::Other;
}

void TestBlockerRequestType::typeOfRequest()
{
    QFETCH(QByteArray, url);
    QFETCH(QByteArray, dest);
    QFETCH(QByteArray, accept);
    QFETCH(bool, main);
    QFETCH(bool, ping);
    QFETCH(RequestType, type);
    blocker::RequestFacts facts;
    const std::string destText = dest.toStdString(), acceptText = accept.toStdString(), urlText = url.toStdString();
    facts.url = urlText;
    facts.fetchDest = destText;
    facts.accept = acceptText;
    facts.mainResource = main;
    facts.ping = ping;
    QCOMPARE(int(blocker::requestType(facts)), int(type));
}

void TestBlockerRequestType::hostOfUrl_data()
{
    QTest::addColumn<QByteArray>("url");
    QTest::addColumn<QByteArray>("host");
    QTest::newRow("plain") << QByteArray("https://www.a.jp/x") << QByteArray("www.a.jp");
    QTest::newRow("port and query") << QByteArray("http://a.jp:8080?q=/b") << QByteArray("a.jp");
    // The host follows the last "@" of the authority, not a user's name.
    QTest::newRow("user") << QByteArray("http://evil.jp@a.jp/") << QByteArray("a.jp");
    QTest::newRow("IPv6") << QByteArray("http://[::1]:80/") << QByteArray("[::1]");
    QTest::newRow("no authority") << QByteArray("about:blank") << QByteArray("");
}

void TestBlockerRequestType::hostOfUrl()
{
    QFETCH(QByteArray, url);
    QFETCH(QByteArray, host);
    const std::string text = url.toStdString();
    QCOMPARE(QByteArray::fromStdString(std::string(blocker::hostOf(text))), host);
}

QTEST_GUILESS_MAIN(TestBlockerRequestType)
#include "test_blocker_requesttype.moc"
