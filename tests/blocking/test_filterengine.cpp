// SPDX-License-Identifier: GPL-3.0-or-later
// The filter matcher: rule syntax against the decisions it must give, the
// CSS of element hiding, and the cache read back alike or refused when
// damaged.

#include "blocking/filterengine.h"

#include <QTest>

#include <algorithm>

using blocking::FilterEngine;
using blocking::Request;
using blocking::RequestType;

namespace {

// Enough of the public suffix list for registrable domains under co.jp.
constexpr std::string_view suffixes = "// comment\ncom\njp\nco.jp\ntest\n*.ck\n!www.ck\n";

FilterEngine engineFor(const QString &rules)
{
    FilterEngine engine;
    engine.setPublicSuffixes(suffixes);
    const QByteArray text = rules.toUtf8();
    engine.addList(std::string_view(text.constData(), std::size_t(text.size())));
    engine.finish();
    return engine;
}

bool blocks(const FilterEngine &engine, const QByteArray &url, const QByteArray &page, const QByteArray &type)
{
    const auto requestType = blocking::requestTypeFromName(std::string_view(type.constData(), std::size_t(type.size())));
    if (!requestType)
        qFatal("unknown request type %s", type.constData());
    return engine.shouldBlock(Request{std::string_view(url.constData(), std::size_t(url.size())),
                                      std::string_view(page.constData(), std::size_t(page.size())), *requestType});
}

QByteArray css(const FilterEngine &engine, const QByteArray &page)
{
    return QByteArray::fromStdString(engine.hidingCss(std::string_view(page.constData(), std::size_t(page.size()))));
}

} // namespace

class TestFilterEngine : public QObject {
    Q_OBJECT
private slots:
    void decisions_data();
    void decisions();
    void hiding_data();
    void hiding();
    void cacheReadsBackAlikeOrNotAtAll();
};

void TestFilterEngine::decisions_data()
{
    QTest::addColumn<QString>("rules");
    QTest::addColumn<QByteArray>("url");
    QTest::addColumn<QByteArray>("page");
    QTest::addColumn<QByteArray>("type");
    QTest::addColumn<bool>("blocked");

    const QByteArray page = "https://news.test/article";
    // ||host: the host or a subdomain, at a label's start.
    QTest::newRow("host anchor") << "||ads.example.com^" << QByteArray("https://ads.example.com/x.js") << page << QByteArray("script") << true;
    QTest::newRow("host anchor, subdomain") << "||ads.example.com^" << QByteArray("https://cdn.ads.example.com/x") << page << QByteArray("image") << true;
    QTest::newRow("host anchor, not mid-label") << "||ads.example.com^" << QByteArray("https://bads.example.com/x") << page << QByteArray("image") << false;
    QTest::newRow("separator is no dot") << "||example.com^" << QByteArray("https://example.com.evil.test/") << page << QByteArray("script") << false;
    QTest::newRow("separator at the end of the URL") << "||tracker.test^" << QByteArray("https://tracker.test") << page << QByteArray("ping") << true;
    QTest::newRow("separator before the port") << "||tracker.test^" << QByteArray("https://tracker.test:8443/p") << page << QByteArray("ping") << true;
    QTest::newRow("host anchor, not in the query") << "||tracker.test^" << QByteArray("https://site.test/?u=https://tracker.test/") << page << QByteArray("script") << false;
    QTest::newRow("start anchor") << "|https://start.test/ad" << QByteArray("https://start.test/ad.js") << page << QByteArray("script") << true;
    QTest::newRow("start anchor, elsewhere") << "|https://start.test/ad" << QByteArray("https://x.test/?u=https://start.test/ad") << page << QByteArray("script") << false;
    QTest::newRow("end anchor") << ".swf|" << QByteArray("https://a.test/movie.swf") << page << QByteArray("media") << true;
    QTest::newRow("end anchor, more follows") << ".swf|" << QByteArray("https://a.test/movie.swf?x=1") << page << QByteArray("media") << false;
    QTest::newRow("wildcard") << "/banner/*/img^" << QByteArray("https://a.test/banner/300x250/img?x") << page << QByteArray("image") << true;
    QTest::newRow("wildcard needs its literals") << "/banner/*/img^" << QByteArray("https://a.test/banner/img") << page << QByteArray("image") << false;
    QTest::newRow("substring") << "-ad-banner." << QByteArray("https://a.test/x-ad-banner.png") << page << QByteArray("image") << true;
    QTest::newRow("case-insensitive") << "/AdFrame." << QByteArray("https://a.test/adframe.html") << page << QByteArray("subdocument") << true;
    QTest::newRow("match-case, other case") << "/AdFrame.$match-case" << QByteArray("https://a.test/adframe.html") << page << QByteArray("subdocument") << false;
    QTest::newRow("match-case, same case") << "/AdFrame.$match-case" << QByteArray("https://a.test/AdFrame.html") << page << QByteArray("subdocument") << true;
    QTest::newRow("hosts-file line") << "evil.test" << QByteArray("https://www.evil.test/x") << page << QByteArray("document") << true;
    QTest::newRow("hosts-file line, other host") << "evil.test" << QByteArray("https://notevil.test/x") << page << QByteArray("document") << false;

    // Parties by registrable domain.
    QTest::newRow("third-party, same site") << "||cdn.test^$third-party" << QByteArray("https://cdn.test/x") << QByteArray("https://www.cdn.test/") << QByteArray("script") << false;
    QTest::newRow("third-party, other site") << "||cdn.test^$third-party" << QByteArray("https://cdn.test/x") << QByteArray("https://other.test/") << QByteArray("script") << true;
    QTest::newRow("third-party, a.co.jp from a.co.jp") << "||a.co.jp^$third-party" << QByteArray("https://img.a.co.jp/x.png") << QByteArray("https://www.a.co.jp/") << QByteArray("image") << false;
    QTest::newRow("third-party, a.co.jp from b.co.jp") << "||a.co.jp^$third-party" << QByteArray("https://img.a.co.jp/x.png") << QByteArray("https://b.co.jp/") << QByteArray("image") << true;
    QTest::newRow("third-party, wildcard suffix") << "||x.shop.ck^$third-party" << QByteArray("https://x.shop.ck/a") << QByteArray("https://y.shop.ck/") << QByteArray("image") << true;
    QTest::newRow("third-party, suffix exception") << "||www.ck^$third-party" << QByteArray("https://a.www.ck/a") << QByteArray("https://b.www.ck/") << QByteArray("image") << false;
    QTest::newRow("first-party only, same site") << "/local-ad.$~third-party" << QByteArray("https://site.test/local-ad.js") << QByteArray("https://site.test/") << QByteArray("script") << true;
    QTest::newRow("first-party only, other site") << "/local-ad.$~third-party" << QByteArray("https://site.test/local-ad.js") << QByteArray("https://other.test/") << QByteArray("script") << false;

    // domain= by the page, nearest listed domain deciding.
    const QString promo = "/promo.$domain=a.test|~b.a.test";
    QTest::newRow("domain, listed") << promo << QByteArray("https://cdn.test/promo.js") << QByteArray("https://a.test/") << QByteArray("script") << true;
    QTest::newRow("domain, subdomain of listed") << promo << QByteArray("https://cdn.test/promo.js") << QByteArray("https://x.a.test/") << QByteArray("script") << true;
    QTest::newRow("domain, under the excluded one") << promo << QByteArray("https://cdn.test/promo.js") << QByteArray("https://c.b.a.test/") << QByteArray("script") << false;
    QTest::newRow("domain, unlisted") << promo << QByteArray("https://cdn.test/promo.js") << QByteArray("https://other.test/") << QByteArray("script") << false;
    QTest::newRow("domain, no page") << promo << QByteArray("https://cdn.test/promo.js") << QByteArray() << QByteArray("script") << false;

    // Types.
    QTest::newRow("type") << "/thing.$script" << QByteArray("https://a.test/thing.js") << page << QByteArray("script") << true;
    QTest::newRow("type, other") << "/thing.$script" << QByteArray("https://a.test/thing.js") << page << QByteArray("image") << false;
    QTest::newRow("negated type") << "/thing.$~script" << QByteArray("https://a.test/thing.js") << page << QByteArray("script") << false;
    QTest::newRow("negated type, other") << "/thing.$~script" << QByteArray("https://a.test/thing.js") << page << QByteArray("image") << true;
    QTest::newRow("popup alone is dropped") << "||pop.test^$popup" << QByteArray("https://pop.test/") << page << QByteArray("document") << false;
    QTest::newRow("popup with a type of ours") << "||pop.test^$popup,script" << QByteArray("https://pop.test/a.js") << page << QByteArray("script") << true;

    // Exceptions and $important.
    const QString excepted = "||ads.test^\n@@||ads.test/allowed^";
    QTest::newRow("exception") << excepted << QByteArray("https://ads.test/allowed/x") << page << QByteArray("script") << false;
    QTest::newRow("exception, elsewhere") << excepted << QByteArray("https://ads.test/other") << page << QByteArray("script") << true;
    QTest::newRow("important beats an exception") << "||ads.test^$important\n@@||ads.test^" << QByteArray("https://ads.test/x") << page << QByteArray("script") << true;
    QTest::newRow("important exception beats important") << "||ads.test^$important\n@@||ads.test^$important" << QByteArray("https://ads.test/x") << page << QByteArray("script") << false;
    QTest::newRow("document exception lets the page through") << "||ads.test^\n@@||good.test^$document" << QByteArray("https://ads.test/x") << QByteArray("https://www.good.test/") << QByteArray("script") << false;

    // What is not ours is dropped, never widened.
    QTest::newRow("unknown option drops the rule") << "||ads.test^$frobnicate" << QByteArray("https://ads.test/x") << page << QByteArray("script") << false;
    QTest::newRow("redirect drops the rule") << "||ads.test/a.js$script,redirect=noop.js" << QByteArray("https://ads.test/a.js") << page << QByteArray("script") << false;
    QTest::newRow("entity domain drops the rule") << "/promo.$domain=google.*" << QByteArray("https://cdn.test/promo.js") << QByteArray("https://google.com/") << QByteArray("script") << false;
    QTest::newRow("entity beside a domain is left out") << "/promo.$domain=google.*|a.test" << QByteArray("https://cdn.test/promo.js") << QByteArray("https://a.test/") << QByteArray("script") << true;
    QTest::newRow("excluded entity drops the rule") << "/promo.$domain=~google.*" << QByteArray("https://cdn.test/promo.js") << QByteArray("https://a.test/") << QByteArray("script") << false;
    QTest::newRow("badfilter takes its rule back") << "||ads.test/x^$script,third-party\n||ads.test/x^$script,badfilter,third-party" << QByteArray("https://ads.test/x") << page << QByteArray("script") << false;
    QTest::newRow("badfilter of another rule") << "||ads.test/x^$script\n||ads.test/x^$image,badfilter" << QByteArray("https://ads.test/x") << page << QByteArray("script") << true;
    QTest::newRow("regular expression skipped") << "/ads[0-9]+/" << QByteArray("https://a.test/ads12/") << page << QByteArray("script") << false;
    QTest::newRow("comments and headers") << "[Adblock Plus 2.0]\n! ||ads.test^\n\n" << QByteArray("https://ads.test/x") << page << QByteArray("script") << false;
    QTest::newRow("hiding lines are no URL rules") << "ads.test##.ad\nads.test#?#.ad:-abp-has(x)\nads.test##+js(noop)" << QByteArray("https://ads.test/x") << page << QByteArray("script") << false;

    // Only the web's schemes are ever blocked.
    QTest::newRow("websocket") << "||ads.test^" << QByteArray("wss://ads.test/socket") << page << QByteArray("other") << true;
    QTest::newRow("data URL") << "ads" << QByteArray("data:text/plain,ads") << page << QByteArray("image") << false;
    QTest::newRow("file URL") << "/ads/" << QByteArray("file:///home/u/ads/x.png") << page << QByteArray("image") << false;
}

void TestFilterEngine::decisions()
{
    QFETCH(QString, rules);
    QFETCH(QByteArray, url);
    QFETCH(QByteArray, page);
    QFETCH(QByteArray, type);
    QFETCH(bool, blocked);
    const FilterEngine engine = engineFor(rules);
    QCOMPARE(blocks(engine, url, page, type), blocked);
}

void TestFilterEngine::hiding_data()
{
    QTest::addColumn<QString>("rules");
    QTest::addColumn<QByteArray>("page");
    QTest::addColumn<QByteArray>("css");

    const QByteArray hide = "{display:none!important}\n";
    QTest::newRow("generic") << "##.ad" << QByteArray("https://a.test/") << ".ad" + hide;
    QTest::newRow("per-site and generic") << "a.test##.x\n##.ad" << QByteArray("https://sub.a.test/") << ".x" + hide + ".ad" + hide;
    QTest::newRow("per-site, other site") << "a.test##.x" << QByteArray("https://b.test/") << QByteArray();
    QTest::newRow("excluded site") << "~a.test##.x" << QByteArray("https://a.test/") << QByteArray();
    QTest::newRow("excluded site, other site") << "~a.test##.x" << QByteArray("https://b.test/") << ".x" + hide;
    QTest::newRow("exception on a site") << "##.ad\na.test#@#.ad" << QByteArray("https://a.test/") << QByteArray();
    QTest::newRow("exception on a site, other site") << "##.ad\na.test#@#.ad" << QByteArray("https://b.test/") << ".ad" + hide;
    QTest::newRow("exception everywhere") << "##.ad\nb.test##.ad\n#@#.ad" << QByteArray("https://b.test/") << QByteArray();
    QTest::newRow("generichide") << "##.ad\na.test##.x\n@@||a.test^$generichide" << QByteArray("https://a.test/") << ".x" + hide;
    QTest::newRow("elemhide") << "##.ad\na.test##.x\n@@||a.test^$elemhide" << QByteArray("https://a.test/") << QByteArray();
    QTest::newRow("one rule per selector, each once") << "##.a\n##.a\n##div[title=\"x,y\"]" << QByteArray("https://a.test/") << ".a" + hide + "div[title=\"x,y\"]" + hide;
    QTest::newRow("selectors that break out are dropped") << "##a{}body\n##a/*\n##a[x=\"\n##a\\\n##.ok" << QByteArray("https://a.test/") << ".ok" + hide;
    QTest::newRow("extended syntaxes are dropped") << "##div:has-text(Ad)\na.test#?#div\na.test#$#abort()\n##^script" << QByteArray("https://a.test/") << QByteArray();
}

void TestFilterEngine::hiding()
{
    QFETCH(QString, rules);
    QFETCH(QByteArray, page);
    QFETCH(QByteArray, css);
    QCOMPARE(::css(engineFor(rules), page), css);
}

void TestFilterEngine::cacheReadsBackAlikeOrNotAtAll()
{
    const QString rules = "||ads.test^\n@@||ads.test/ok^\n||t.a.co.jp^$third-party,image\n/p.$domain=a.test|~b.a.test\n"
                          "||imp.test^$important\n@@||d.test^$document,subdocument\n||d.test^\nevil.test\n/Case.$match-case\n##.ad\na.test##.x\na.test#@#.ad\n"
                          "~c.test##.y\n@@||g.test^$generichide\n";
    const FilterEngine engine = engineFor(rules);
    const std::string bytes = engine.serialize();
    std::optional<FilterEngine> loaded = FilterEngine::deserialize(bytes);
    QVERIFY(loaded);
    QCOMPARE(loaded->ruleCount(), engine.ruleCount());
    QCOMPARE(loaded->serialize(), bytes);

    const QList<QByteArray> urls = {"https://ads.test/x", "https://ads.test/ok/x", "https://t.a.co.jp/i.png",
                                    "https://cdn.test/p.js", "https://imp.test/", "https://www.evil.test/",
                                    "https://s.test/Case.js", "https://s.test/case.js", "https://d.test/f"};
    const QList<QByteArray> pages = {"https://a.co.jp/", "https://b.co.jp/", "https://x.a.test/",
                                     "https://b.a.test/", "https://c.test/", "https://g.test/", "https://d.test/",
                                     QByteArray()};
    const QList<QByteArray> types = {"script", "image", "document"};
    for (const QByteArray &page : pages) {
        QCOMPARE(css(*loaded, page), css(engine, page));
        for (const QByteArray &url : urls)
            for (const QByteArray &type : types)
                QVERIFY2(blocks(*loaded, url, page, type) == blocks(engine, url, page, type), (url + " from " + page).constData());
    }

    // Every truncation and any changed byte are refused, as is another
    // version of the format (a byte of the header).
    for (std::size_t length = 0; length < bytes.size(); ++length)
        QVERIFY(!FilterEngine::deserialize(std::string_view(bytes).substr(0, length)));
    const std::size_t stride = std::max<std::size_t>(1, bytes.size() / 512);
    for (std::size_t at = 0; at < bytes.size(); at += at < 64 ? 1 : stride) {
        std::string damaged = bytes;
        damaged[at] = char(damaged[at] ^ 0x20);
        QVERIFY2(!FilterEngine::deserialize(damaged), QByteArray::number(qulonglong(at)).constData());
    }
    QVERIFY(!FilterEngine::deserialize(bytes + '\0'));

    // Lists added after a first finish() join the rules already there.
    const qsizetype half = rules.indexOf("evil.test");
    FilterEngine twoSteps = engineFor(rules.left(half));
    const QByteArray rest = rules.mid(half).toUtf8();
    twoSteps.addList(std::string_view(rest.constData(), std::size_t(rest.size())));
    twoSteps.finish();
    for (const QByteArray &page : pages) {
        QCOMPARE(css(twoSteps, page), css(engine, page));
        for (const QByteArray &url : urls)
            for (const QByteArray &type : types)
                QVERIFY2(blocks(twoSteps, url, page, type) == blocks(engine, url, page, type),
                         (url + " from " + page).constData());
    }
}

QTEST_APPLESS_MAIN(TestFilterEngine)
#include "test_filterengine.moc"
