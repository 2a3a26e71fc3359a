// SPDX-License-Identifier: GPL-3.0-or-later
// What both engines offer around a page, seen through the frame: find
// counts, Japanese text encodings, a window's back/forward history saved and
// put back, keys left to an input method's composition, and full screen. Every case runs
// once per engine ("ie", and "gecko" where the engine host is built); the
// program runs as on a Japanese system.

#include "webkittests.h"

#include "app/framekeys.h"
#include "browser/engines/savedhistory.h"
#include "browser/engines/webengine/webenginecontrol.h"
#include "httpserver.h"

#include <QInputMethodEvent>
#include <QMenu>
#include <algorithm>
#include <QShortcut>
#include <QStringEncoder>
#include <QToolButton>
#include <QWebEngineView>

namespace {

const QString japaneseTitle = QStringLiteral("日本語のページ");

// A page in Japanese, its title among its words, in charset's bytes.
QByteArray japanesePage(const char *charset, const QByteArray &meta = {})
{
    const QString html = QStringLiteral("<html><head>") + QString::fromLatin1(meta) + QStringLiteral("<title>") +
                         japaneseTitle +
                         QStringLiteral("</title></head><body><p>これは日本語で書かれたページです。"
                                        "文字コードを宣言していないので、ブラウザーが判定します。"
                                        "漢字、ひらがな、カタカナが混じった普通の文章です。</p></body></html>");
    QStringEncoder encoder(charset);
    QByteArray bytes = encoder.encode(html);
    if (encoder.hasError())
        qFatal("cannot encode a test page in %s", charset);
    return bytes;
}

HttpResponse undeclared(const QByteArray &body)
{
    return HttpResponse{200, "OK", {{"Content-Type", "text/html"}}, body, false};
}

// Chooses エンコード > label from the page's context menu, opened with a
// real right click. In a Gecko page the keyboard walks GTK's menu: on a page
// without history, エンコード is the seventh item that can be chosen.
bool chooseEncoding(TBrowserWindow *w, const QString &label)
{
    static const QStringList labels{"自動", "Shift_JIS", "EUC-JP", "ISO-2022-JP", "UTF-8"};
    const auto rightClick = [w] {
        return movePointer(onScreen(w->control(), QPoint(100, 100))) && xdotool({"click", "3"});
    };
    if (geckoOf(w)) {
        if (!rightClick() || !QTest::qWaitFor([] { return !popupMenus().isEmpty(); }, kWait))
            return false;
        QStringList keys{"Home", "Down", "Down", "Down", "Down", "Down", "Down", "Right", "Home"};
        for (int i = 0; i < labels.indexOf(label); ++i)
            keys << "Down";
        keys << "Return";
        return xdotool(QStringList{"key", "--delay", "50"} + keys) &&
               QTest::qWaitFor([] { return popupMenus().isEmpty(); }, kWait);
    }
    // A page just loaded may not take clicks yet: until its menu opens.
    const auto menuOpen = [] { return qobject_cast<QMenu *>(QApplication::activePopupWidget()) != nullptr; };
    if (!QTest::qWaitFor([&] { return rightClick() && QTest::qWaitFor(menuOpen, 1000); }, kWait))
        return false;
    auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
    auto *encodings = menu->findChild<QMenu *>(QStringLiteral("encodingMenu"));
    QAction *chosen = nullptr;
    for (QAction *a : encodings ? encodings->actions() : QList<QAction *>())
        if (a->text() == label)
            chosen = a;
    // The one chosen before is checked.
    const bool checkedRight = encodings && std::count_if(encodings->actions().cbegin(), encodings->actions().cend(),
                                                         [](QAction *a) { return a->isChecked(); }) == 1;
    menu->close();
    if (!chosen || !checkedRight)
        return false;
    chosen->trigger();
    return true;
}

}  // namespace

class TestPageTools : public EngineTest {
    Q_OBJECT
private slots:
    void initTestCase();

    void findCounts_data() { engineRows(); }
    void findCounts();
    void undeclaredJapanesePages_data();
    void undeclaredJapanesePages();
    void encodingMenuRereads_data();
    void encodingMenuRereads();
    void historySavedAndRestored_data() { engineRows(); }
    void historySavedAndRestored();
    void compositionKeepsItsKeys_data() { engineRows(); }
    void compositionKeepsItsKeys();
    void pageFullScreen_data() { engineRows(); }
    void pageFullScreen();
};

void TestPageTools::initTestCase()
{
    // The test's environment makes this a Japanese system (see tests.cmake).
    QCOMPARE(QLocale::system().language(), QLocale::Japanese);
    EngineTest::initTestCase();
}

// --- Find --------------------------------------------------------------------------

void TestPageTools::findCounts()
{
    QFETCH(QString, engine);
    TBrowserWindow *w = openOn(engine, fixture_.pages().page("find.html", "find",
                                                           "<p>alpha beta</p><p>Alpha gamma</p><p>alpha</p>"));
    QTRY_COMPARE_WITH_TIMEOUT(w->windowTitle(), QString("find"), kWait);
    // The whole page is there to search.
    QTRY_VERIFY_WITH_TIMEOUT(!MainForm->StopCtrl->isEnabled(), kWait);
    QSignalSpy found(w->control(), &EngineControl::FindResult);
    struct Step {
        const char *text;
        bool backward;
        int active, count;
    };
    // From the top, on, wrapping both ways; a new text starts afresh.
    const Step steps[] = {
        {"alpha", false, 1, 3}, {"alpha", false, 2, 3}, {"alpha", false, 3, 3}, {"alpha", false, 1, 3},
        {"alpha", true, 3, 3},  {"alpha", true, 2, 3},  {"missing", false, 0, 0}, {"gamma", false, 1, 1},
    };
    for (const Step &step : steps) {
        const qsizetype before = found.count();
        w->control()->FindText(QString::fromLatin1(step.text), step.backward);
        QTRY_COMPARE_WITH_TIMEOUT(found.count(), before + 1, kWait);
        QCOMPARE(found.last(), QVariantList({step.active, step.count}));
    }
}

// --- Text encoding ---------------------------------------------------------------------

void TestPageTools::undeclaredJapanesePages_data()
{
    QTest::addColumn<QString>("engine");
    QTest::addColumn<QByteArray>("charset");
    for (const EngineSlot &e : engineSlots())
        for (const char *charset : {"Shift_JIS", "EUC-JP", "ISO-2022-JP"})
            QTest::addRow("%s %s", e.tag, charset) << e.clsid << QByteArray(charset);
}

// Neither the server nor the page says what it is written in.
void TestPageTools::undeclaredJapanesePages()
{
    QFETCH(QString, engine);
    QFETCH(QByteArray, charset);
    HttpServer server;
    const QByteArray body = japanesePage(charset.constData());
    server.route("/", [&](const HttpRequest &) { return undeclared(body); });
    TBrowserWindow *w = openOn(engine, server.url("/").toString());
    QTRY_COMPARE_WITH_TIMEOUT(w->windowTitle(), japaneseTitle, kWait);
}

void TestPageTools::encodingMenuRereads_data()
{
    QTest::addColumn<QString>("engine");
    QTest::addColumn<QByteArray>("contentType");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("rereads");
    // Too short for Chromium to make out: it reads it as Chinese and then
    // keeps to that.
    const QByteArray shortPage = QStringEncoder("EUC-JP").encode(QStringLiteral("<title>日本語のページ</title>"));
    QTest::newRow("ie undeclared") << engines::IE_CLSID << QByteArray("text/html") << shortPage << false;
#ifdef VEXEL_GECKO_ROWS
    // The server says Shift_JIS, wrongly.
    QTest::newRow("gecko declared") << engines::MOZILLA_CLSID << QByteArray("text/html; charset=Shift_JIS")
                                    << japanesePage("EUC-JP") << true;
#endif
}

// A page shown as mojibake, read again as EUC-JP, and 自動 as it came; where
// the engine does not re-read it, the user is told.
void TestPageTools::encodingMenuRereads()
{
    QFETCH(QString, engine);
    QFETCH(QByteArray, contentType);
    QFETCH(QByteArray, body);
    QFETCH(bool, rereads);
    HttpServer server;
    server.route("/", [&](const HttpRequest &) {
        return HttpResponse{200, "OK", {{"Content-Type", contentType}}, body, false};
    });
    const QString url = server.url("/").toString();
    TBrowserWindow *w = openOn(engine, url);
    // The title as the page gives it, not the engine's stand-in made of the address.
    QTRY_VERIFY_WITH_TIMEOUT(!MainForm->StopCtrl->isEnabled(), kWait);
    QTRY_VERIFY_WITH_TIMEOUT(!w->windowTitle().isEmpty() && !url.contains(w->windowTitle()), kWait);
    const QString mojibake = w->windowTitle();
    QVERIFY2(mojibake != japaneseTitle, qPrintable(mojibake));
    QSignalSpy messages(w->control(), &EngineControl::StatusMessage);
    QSignalSpy loaded(w->control(), &EngineControl::LoadFinished);
    QVERIFY(chooseEncoding(w, QStringLiteral("EUC-JP")));
    if (!rereads) {
        QTRY_COMPARE_WITH_TIMEOUT(messages.count(), 1, kWait);
        QCOMPARE(messages.last().value(0).toString(), QString("このページは EUC-JP で読み直せませんでした"));
        QCOMPARE(w->windowTitle(), mojibake);
        return;
    }
    QTRY_COMPARE_WITH_TIMEOUT(w->windowTitle(), japaneseTitle, kWait);
    QVERIFY(chooseEncoding(w, QStringLiteral("自動")));
    QTRY_COMPARE_WITH_TIMEOUT(w->windowTitle(), mojibake, kWait);
    QTRY_VERIFY_WITH_TIMEOUT(loaded.count() >= 2, kWait);
    QCOMPARE(messages.count(), 0);
    // A choice is for the page it was made on: the next page reads as it says.
    QVERIFY(chooseEncoding(w, QStringLiteral("EUC-JP")));
    QTRY_COMPARE_WITH_TIMEOUT(w->windowTitle(), japaneseTitle, kWait);
    w->control()->Navigate(fixture_.pages().page("next.html", "次のページ"));
    QTRY_COMPARE_WITH_TIMEOUT(w->windowTitle(), QString("次のページ"), kWait);
}

// --- History -----------------------------------------------------------------------------

void TestPageTools::historySavedAndRestored()
{
    QFETCH(QString, engine);
    const QString one = fixture_.pages().page("one.html", "one");
    const QString two = fixture_.pages().page("two.html", "two");
    TBrowserWindow *w = openOn(engine, one);
    QTRY_COMPARE_WITH_TIMEOUT(w->windowTitle(), QString("one"), kWait);
    const QByteArray afterOne = w->control()->SaveHistory();
    QVERIFY(!afterOne.isEmpty());
    w->control()->Navigate(two);
    QTRY_COMPARE_WITH_TIMEOUT(w->windowTitle(), QString("two"), kWait);
    // The Gecko host sends the history on its own after the navigation.
    QTRY_VERIFY_WITH_TIMEOUT(w->control()->SaveHistory() != afterOne, kWait);
    const QByteArray saved = w->control()->SaveHistory();
    MainForm->FileClose1Execute();

    TBrowserWindow *again = openOn(engine, QStringLiteral("about:blank"));
    EngineControl *control = again->control();
    // What is not this engine's own, unchanged, is refused and changes nothing.
    const QByteArray other = isGecko(engine) ? "ie" : "gecko";
    QByteArray damaged = saved;
    damaged[damaged.size() - 1] = char(damaged.back() ^ 0x20);
    for (const QByteArray &refused : {QByteArray(), QByteArray("garbage"), damaged,
                                      savedhistory::wrap(other, saved), savedhistory::wrap(other, "x")})
        QVERIFY(!control->RestoreHistory(refused));
    QVERIFY(control->RestoreHistory(saved));
    QTRY_COMPARE_WITH_TIMEOUT(again->windowTitle(), QString("two"), kWait);
    QCOMPARE(control->LocationURL(), two);
    QTRY_VERIFY_WITH_TIMEOUT(MainForm->BackCtrl->isEnabled(), kWait);
    control->GoBack();
    QTRY_COMPARE_WITH_TIMEOUT(again->windowTitle(), QString("one"), kWait);
    QCOMPARE(control->LocationURL(), one);
}

// --- Keys while composing --------------------------------------------------------------

// While an input method composes in the page, a key the frame has a shortcut
// for is the page's (its input method's); afterwards the frame's again.
void TestPageTools::compositionKeepsItsKeys()
{
    QFETCH(QString, engine);
    TBrowserWindow *w = openOn(engine, fixture_.pages().page("keys.html", "keys"));
    QTRY_COMPARE_WITH_TIMEOUT(w->windowTitle(), QString("keys"), kWait);
    // Where the keys go: the Gecko control itself, the view's input widget.
    QWidget *input = w->control();
    std::function<void(bool)> compose = [&](bool on) { geckoOf(w)->hostEvent("composing", {on ? "1" : "0"}); };
    if (auto *ie = qobject_cast<WebEngineControl *>(w->control())) {
        QTRY_VERIFY(ie->view()->focusProxy());
        input = ie->view()->focusProxy();
        compose = [input](bool on) {
            QInputMethodEvent event(on ? QStringLiteral("にほん") : QString(), {});
            if (!on)
                event.setCommitString(QStringLiteral("日本"));
            QCoreApplication::sendEvent(input, &event);
        };
    }
    input->setFocus();
    QTRY_VERIFY(input->hasFocus());
    int taken = 0;
    QShortcut shortcut(QKeySequence(Qt::Key_F9), MainForm);
    connect(&shortcut, &QShortcut::activated, this, [&] { ++taken; });
    compose(true);
    QTest::keyClick(input, Qt::Key_F9);
    QCOMPARE(taken, 0);
    compose(false);
    QTest::keyClick(input, Qt::Key_F9);
    QCOMPARE(taken, 1);
}

// --- Full screen -----------------------------------------------------------------------

// A page's request gives its window the whole screen, the frame's bars gone;
// Esc gives the page and the frame back as they were. F11 is the frame's own.
void TestPageTools::pageFullScreen()
{
    QFETCH(QString, engine);
    TBrowserWindow *w = openOn(
        engine, fixture_.pages().page(
                    "full.html", "normal",
                    "<button style=\"width:100%;height:300px\" onclick=\"document.documentElement.requestFullscreen()\">"
                    "full</button><script>document.onfullscreenchange = () =>"
                    " document.title = document.fullscreenElement ? 'full' : 'normal';</script>"));
    QTRY_COMPARE_WITH_TIMEOUT(w->windowTitle(), QString("normal"), kWait);
    const QRect before = w->geometry();
    const QRect screen = MainForm->screen()->geometry();
    // A page just loaded may not take clicks yet: until the title says so.
    const auto full = [w] { return w->windowTitle() == "full"; };
    QVERIFY(QTest::qWaitFor(
        [&] { return full() || (clickAt(onScreen(w->control(), {50, 50})) && QTest::qWaitFor(full, 2000)); }, kWait));
    QTRY_COMPARE_WITH_TIMEOUT(QRect(onScreen(w->control(), {0, 0}), w->control()->size()), screen, kWait);
    QVERIFY(MainForm->isFullScreen());
    QVERIFY(!MainForm->menuWidget()->isVisible());
    QVERIFY(!MainForm->ToolBar3->isVisible());

    QVERIFY(pressKeys("Escape"));
    QTRY_COMPARE_WITH_TIMEOUT(w->windowTitle(), QString("normal"), kWait);
    QTRY_VERIFY_WITH_TIMEOUT(!MainForm->isFullScreen(), kWait);
    QVERIFY(MainForm->menuWidget()->isVisible());
    QVERIFY(MainForm->ToolBar3->isVisible());
    QCOMPARE(w->geometry(), before);

    const QRect frame = MainForm->geometry();
    MainForm->Keys->FullScreenAction->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(MainForm->geometry(), screen, kWait);
    QVERIFY(MainForm->isFullScreen());
    QVERIFY(MainForm->ToolBar3->isVisible());
    MainForm->Keys->FullScreenAction->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(MainForm->geometry(), frame, kWait);
    QVERIFY(!MainForm->isFullScreen());
}

int main(int argc, char *argv[])
{
    TestPageTools tc;
    return vexelTestMain(argc, argv, &tc);
}

#include "test_pagetools.moc"
