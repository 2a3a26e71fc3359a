// SPDX-License-Identifier: GPL-3.0-or-later
// A page's source and the engine's inspector, in both engines, reached the
// way the frame reaches them (ViewSource, ShowInspector) and from the page's
// context menu; and what the Gecko page's menu saves.

#include "webkittests.h"

#include "browser/engines/webengine/webenginecontrol.h"
#include "browser/sourceviewer.h"
#include "core/cp932.h"

#include <QMenu>
#include <QPlainTextEdit>
#include <QProcess>
#include <QToolButton>
#include <QWebEnginePage>

namespace {

// Markup that must come back as it was written: Shift_JIS bytes where the
// Windows reading matters (～ is 0x8160, ① exists only there), and markup
// that would vanish if it were read as HTML.
const QString markup = QStringLiteral(
    "<!DOCTYPE html>\n<html><head><meta charset=\"Shift_JIS\"><title>ソースのページ</title></head>\n"
    "<body style=\"margin:0\"><p>波ダッシュ～と丸数字①、&lt;b&gt; はタグではありません。</p>\n"
    "<a href=\"target.txt\" style=\"position:absolute;left:20px;top:40px;width:200px;height:40px;"
    "display:block\">link</a>\n</body></html>\n");
const QString sentence = QStringLiteral("波ダッシュ～と丸数字①、&lt;b&gt; はタグではありません。");

enum class Via { Call, Menu };

void addRows(const char *const (&items)[2])
{
    QTest::addColumn<QString>("engine");
    QTest::addColumn<Via>("via");
    for (const EngineSlot &e : engineSlots()) {
        QTest::addRow("%s %s", e.tag, items[0]) << e.clsid << Via::Call;
        QTest::addRow("%s %s", e.tag, items[1]) << e.clsid << Via::Menu;
    }
}

bool rightClick(QWidget *page, const QPoint &at)
{
    return movePointer(onScreen(page, at)) && xdotool({"click", "3"});
}

// Chooses an item of the page's context menu: in an Internet Explorer page
// our action by name; in a Gecko page the keyboard walks GTK's menu up from
// "サイトの設定", which follows ours (only the 広告ブロック submenu is below).
bool chooseFromMenu(TBrowserWindow *w, const QString &ieAction, int upFromEnd, const QPoint &at = {100, 10})
{
    if (geckoOf(w)) {
        if (!popupMenus().isEmpty() || !rightClick(w->control(), at) ||
            !QTest::qWaitFor([] { return !popupMenus().isEmpty(); }, kWait))
            return false;
        QStringList keys{"End", "Up"};
        for (int i = 0; i < upFromEnd; ++i)
            keys << "Up";
        keys << "Return";
        return xdotool(QStringList{"key", "--delay", "50"} + keys) &&
               QTest::qWaitFor([] { return popupMenus().isEmpty(); }, kWait);
    }
    // A page just loaded may not take clicks yet: until its menu opens.
    const auto menuOpen = [] { return qobject_cast<QMenu *>(QApplication::activePopupWidget()) != nullptr; };
    if (!QTest::qWaitFor([&] { return rightClick(w->control(), at) && QTest::qWaitFor(menuOpen, 1000); }, kWait))
        return false;
    auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
    QAction *chosen = menu->findChild<QAction *>(ieAction);
    const bool listed = chosen && menu->actions().contains(chosen);
    menu->close();
    if (!listed)
        return false;
    chosen->trigger();
    return true;
}

// Asks the X window captioned as pattern says to close, as a window
// manager's close button does; false when there is no such window.
bool closeXWindow(const QString &pattern)
{
    QProcess search;
    search.start(QStringLiteral("xdotool"), {"search", "--onlyvisible", "--name", pattern});
    if (!search.waitForFinished() || search.exitCode() != 0)
        return false;
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t *c = x11->connection();
    const auto atom = [c](const char *name) {
        xcb_intern_atom_reply_t *r = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, strlen(name), name), nullptr);
        const xcb_atom_t a = r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
        free(r);
        return a;
    };
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = search.readAllStandardOutput().trimmed().split('\n').value(0).toUInt();
    event.type = atom("WM_PROTOCOLS");
    event.data.data32[0] = atom("WM_DELETE_WINDOW");
    event.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(c, 0, event.window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char *>(&event));
    xcb_flush(c);
    return event.window != 0;
}

// The text of an Internet Explorer page, as its reader sees it.
QString pageText(TBrowserWindow *w)
{
    auto *ie = qobject_cast<WebEngineControl *>(w->control());
    QString text;
    bool answered = false;
    ie->page()->runJavaScript(QStringLiteral("document.body ? document.body.innerText : ''"),
                              [&](const QVariant &v) { text = v.toString(), answered = true; });
    return QTest::qWaitFor([&] { return answered; }, kWait) ? text : QString();
}

}  // namespace

Q_DECLARE_METATYPE(Via)

class TestSource : public EngineTest {
    Q_OBJECT
private slots:
    void sourceShowsTheMarkup_data() { addRows({"ViewSource", "menu"}); }
    void sourceShowsTheMarkup();
    void inspectorOpens_data() { addRows({"ShowInspector", "menu"}); }
    void inspectorOpens();
    void geckoMenuSaves_data();
    void geckoMenuSaves();

private:
    TBrowserWindow *openSourcePage(const QString &engine);
};

TBrowserWindow *TestSource::openSourcePage(const QString &engine)
{
    fixture_.pages().write("target.txt", "the link's target\n");
    TBrowserWindow *w = openOn(engine, fixture_.pages().write("source.html", *cp932::encode(markup)));
    const bool shown = QTest::qWaitFor([w] { return w->windowTitle() == QStringLiteral("ソースのページ"); }, kWait) &&
                       QTest::qWaitFor([] { return !MainForm->StopCtrl->isEnabled(); }, kWait);
    return shown ? w : nullptr;
}

// Internet Explorer shows the engine's source view in a window of the
// frame; Gecko our viewer, holding exactly the markup.
void TestSource::sourceShowsTheMarkup()
{
    QFETCH(QString, engine);
    QFETCH(Via, via);
    TBrowserWindow *w = openSourcePage(engine);
    QVERIFY(w);
    const QString url = w->control()->LocationURL();
    if (via == Via::Call)
        w->control()->ViewSource();
    else
        QVERIFY(chooseFromMenu(w, "viewSourceAction", 2));

    if (isGecko(engine)) {
        SourceViewer *viewer = nullptr;
        QTRY_VERIFY_WITH_TIMEOUT((viewer = MainForm->findChild<SourceViewer *>()), kWait);
        QTRY_VERIFY(viewer->isVisible());
        QCOMPARE(viewer->windowTitle(), "ソース - " + url);
        QCOMPARE(viewer->editor()->toPlainText(), markup);
        QVERIFY(viewer->editor()->isReadOnly());
        QCOMPARE(MainForm->MDIClient->subWindowList().size(), 1);
        return;
    }
    QTRY_COMPARE_WITH_TIMEOUT(MainForm->MDIClient->subWindowList().size(), 2, kWait);
    TBrowserWindow *source = MainForm->ActiveMDIChild();
    QVERIFY(source != w);
    QTRY_COMPARE_WITH_TIMEOUT(source->control()->LocationURL(), "view-source:" + url, kWait);
    QTRY_VERIFY_WITH_TIMEOUT(pageText(source).contains(sentence), kWait);
}

void TestSource::inspectorOpens()
{
    QFETCH(QString, engine);
    QFETCH(Via, via);
    TBrowserWindow *w = openSourcePage(engine);
    QVERIFY(w);
    if (via == Via::Call)
        w->control()->ShowInspector();
    else
        QVERIFY(chooseFromMenu(w, "inspectAction", 1));

    if (auto *gecko = geckoOf(w)) {
        QTRY_VERIFY_WITH_TIMEOUT(gecko->showsInspector(), kWait);
        // A window of its own, not squeezed into the embedded view.
        const QString caption = "^Web インスペクター - " + w->control()->LocationURL();
        QVERIFY(xdotool({"search", "--onlyvisible", "--name", caption}));
        // Closed by the user, it can be opened again.
        QVERIFY(closeXWindow(caption));
        QTRY_VERIFY_WITH_TIMEOUT(!gecko->showsInspector(), kWait);
        QVERIFY(!xdotool({"search", "--onlyvisible", "--name", caption}));
        w->control()->ShowInspector();
        QTRY_VERIFY_WITH_TIMEOUT(gecko->showsInspector(), kWait);
        return;
    }
    auto *ie = qobject_cast<WebEngineControl *>(w->control());
    QTRY_VERIFY_WITH_TIMEOUT(ie->devTools() && ie->devTools()->isVisible(), kWait);
    QTRY_COMPARE_WITH_TIMEOUT(ie->devTools()->toolsPage()->url().scheme(), QString("devtools"), kWait);
    // Asked again: the same window.
    const QPointer<DevToolsWindow> tools = ie->devTools();
    w->control()->ShowInspector();
    QCOMPARE(ie->devTools(), tools.data());
    tools->close();
    QTRY_VERIFY(tools.isNull());
}

void TestSource::geckoMenuSaves_data()
{
    QTest::addColumn<QPoint>("at");
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<QString>("proposed");
    QTest::addColumn<QByteArray>("saved");
#ifdef VEXEL_GECKO_ROWS
    // ページを保存, above ソースを表示; リンク先を保存, the link's third item.
    QTest::newRow("page") << QPoint(100, 10) << QStringList{"End", "Up", "Up", "Up", "Up"}
                          << QStringLiteral("ソースのページ.mhtml") << QByteArray("multipart/related");
    QTest::newRow("link") << QPoint(60, 60) << QStringList{"Home", "Down", "Down", "Down"}
                          << QStringLiteral("target.txt") << QByteArray("the link's target\n");
#endif
}

// What the Gecko page's menu saves goes where the user chooses, under the
// name proposed.
void TestSource::geckoMenuSaves()
{
    QFETCH(QPoint, at);
    QFETCH(QStringList, keys);
    QFETCH(QString, proposed);
    QFETCH(QByteArray, saved);
    QTemporaryDir target;
    QString asked;
    pagedialogs::savePathChooser() = [&](QWidget *, const QString &path) {
        asked = QFileInfo(path).fileName();
        return target.filePath(asked);
    };
    TBrowserWindow *w = openSourcePage(engines::MOZILLA_CLSID);
    QVERIFY(w);
    QVERIFY(rightClick(w->control(), at));
    QTRY_VERIFY_WITH_TIMEOUT(!popupMenus().isEmpty(), kWait);
    QVERIFY(xdotool(QStringList{"key", "--delay", "50"} + keys + QStringList{"Return"}));
    QTRY_COMPARE_WITH_TIMEOUT(asked, proposed, kWait);
    const auto contents = [&] {
        QFile file(target.filePath(proposed));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    QTRY_VERIFY_WITH_TIMEOUT(contents().contains(saved), kWait);
}

int main(int argc, char *argv[])
{
    TestSource tc;
    return vexelTestMain(argc, argv, &tc);
}

#include "test_source.moc"
