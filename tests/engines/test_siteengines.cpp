// SPDX-License-Identifier: GPL-3.0-or-later
// Engine rules per site on the real engines: a rule naming the other engine
// takes a typed address, a bookmark and a page's link there, in a new
// window, while the window it came from keeps its page.

#include "webkittests.h"

#include "app/bookmarkmenu.h"
#include "browser/enginerules.h"
#include "httpserver.h"

#include <QAction>
#include <QLineEdit>

class TestSiteEngines : public EngineTest {
    Q_OBJECT
private slots:
    void ruleTakesTheSiteToItsEngine_data();
    void ruleTakesTheSiteToItsEngine();
};

void TestSiteEngines::ruleTakesTheSiteToItsEngine_data()
{
    QTest::addColumn<QString>("engine");
    QTest::addColumn<QString>("how");
    for (const EngineSlot &e : engineSlots())
        for (const char *how : {"typed", "bookmark", "link"})
            QTest::newRow(qPrintable(QStringLiteral("%1 %2").arg(QLatin1String(e.tag), QLatin1String(how))))
                << e.clsid << QString::fromLatin1(how);
}

void TestSiteEngines::ruleTakesTheSiteToItsEngine()
{
#ifndef VEXEL_GECKO_ROWS
    QSKIP("a rule needs both engines");
#endif
    QFETCH(QString, engine);
    QFETCH(QString, how);
    // Two hosts of one server: 127.0.0.1 has no rule, localhost's names the
    // other engine.
    HttpServer server;
    server.route("/target.html", [](const HttpRequest &) {
        return HttpResponse{200, "OK", {{"Content-Type", "text/html"}}, "<title>target</title>target"};
    });
    QUrl target = server.url(QStringLiteral("/target.html"));
    target.setHost(QStringLiteral("localhost"));
    server.route("/start.html", [target](const HttpRequest &) {
        return HttpResponse{200,
                            "OK",
                            {{"Content-Type", "text/html"}},
                            "<title>start</title><body style=\"margin:0\"><a href=\"" + target.toEncoded() +
                                "\" style=\"display:block;width:100vw;height:100vh\">go</a></body>"};
    });
    const QString other = isGecko(engine) ? engines::IE_CLSID : engines::MOZILLA_CLSID;
    enginerules::setRules({{QStringLiteral("localhost"), false, other}});
    const auto clearRules = qScopeGuard([] { enginerules::setRules({}); });

    const QString start = server.url(QStringLiteral("/start.html")).toString();
    TBrowserWindow *first = openOn(engine, start);
    QVERIFY(first);
    QTRY_COMPARE_WITH_TIMEOUT(first->pageCaption(), QStringLiteral("start"), kWait);

    if (how == QLatin1String("typed")) {
        MainForm->txtAddress->setText(target.toString());
        MainForm->btnMoveClick();
    } else if (how == QLatin1String("bookmark")) {
        QAction bookmark;
        bookmark.setData(QVariant::fromValue(BookmarkItem{TBookmarkMenu::BookmarkImage, target.toString()}));
        MainForm->iventMenuClick(&bookmark);
    } else {
        QVERIFY(clickAt(onScreen(first->control(), first->control()->rect().center())));
    }

    QTRY_COMPARE_WITH_TIMEOUT(MainForm->browserWindows().size(), 2, kWait);
    TBrowserWindow *second = MainForm->browserWindows().last();
    QCOMPARE(isGecko(other), qobject_cast<WebKitControl *>(second->control()) != nullptr);
    QTRY_COMPARE_WITH_TIMEOUT(second->control()->LocationURL(), target.toString(), kWait);
    QTRY_COMPARE_WITH_TIMEOUT(second->pageCaption(), QStringLiteral("target"), kWait);
    // The window the site left keeps its page.
    QCOMPARE(first->control()->LocationURL(), start);
    QCOMPARE(server.requestCount("/target.html"), 1);
}

VEXEL_TEST_MAIN(TestSiteEngines)
#include "test_siteengines.moc"
