// SPDX-License-Identifier: GPL-3.0-or-later
// Japanese typed through an input method, as a user types it: IBus with
// Anthy, started for this run alone, and real X keys (romaji, Space to
// convert, Return to commit) into the frame's text fields. Skips where no
// input method can be started.

#include "inputmethodharness.h"
#include "webkittests.h"
#include "bookmarks/bmedit.h"
#include "browser/engines/webengine/webenginecontrol.h"

#include <QLineEdit>

class TestInputMethod : public EngineTest {
    Q_OBJECT
public:
    explicit TestInputMethod(InputMethod &inputMethod) : inputMethod_(inputMethod) {}
    QString unavailable;  // why no input method can be started here

private slots:
    void initTestCase();
    void frameFields_data();
    void frameFields();
    void pageFields_data();
    void pageFields();
    void clickingElsewhereMidComposition_data();
    void clickingElsewhereMidComposition();
    void closingAWindowMidComposition_data();
    void closingAWindowMidComposition();

private:
    // A page with one field (field opens its tag: "<input id=\"f\"") that
    // reports in its title: "focus", "composing:" and the composed text,
    // "v:" and what the field holds once the composition is over.
    QString fieldPage(const QString &name, const QByteArray &field);
    // Opens it in a window of either engine, loaded.
    TBrowserWindow *openField(bool gecko, const QString &name, const QByteArray &field);
    // Clicks into the field and waits until it takes the input method.
    bool clickField(TBrowserWindow *w);
    // Composes "nihonn" and checks that the input method is told of a
    // caret inside field (on the screen), after the composed text.
    void composeAt(const QRect &field);

    InputMethod &inputMethod_;
};

void TestInputMethod::initTestCase()
{
    if (!unavailable.isEmpty())
        QSKIP(qPrintable(QStringLiteral("no input method here: ") + unavailable));
    if (const QString why = inputMethod_.startPanel(); !why.isEmpty())
        QSKIP(qPrintable(QStringLiteral("no input method here: ") + why));
    EngineTest::initTestCase();
}

// What a QLineEdit shows while the input method composes.
class PreeditWatch : public QObject {
public:
    explicit PreeditWatch(QWidget *field) { field->installEventFilter(this); }
    QString preedit;
    int commits = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::InputMethod) {
            auto *im = static_cast<QInputMethodEvent *>(event);
            preedit = im->preeditString();
            commits += !im->commitString().isEmpty();
        }
        return false;
    }
};

void TestInputMethod::composeAt(const QRect &field)
{
    inputMethod_.forgetCaret();
    QVERIFY(typeText("nihonn"));
    // Where the candidate window opens: at the caret, not at the corner of
    // the screen, the frame or the page.
    QTRY_VERIFY2(field.contains(inputMethod_.caret().center()) && inputMethod_.caret().x() > field.x() + 20,
                 qPrintable(QStringLiteral("caret at %1,%2, field at %3,%4")
                                .arg(inputMethod_.caret().x()).arg(inputMethod_.caret().y())
                                .arg(field.x()).arg(field.y())));
}

void TestInputMethod::frameFields_data()
{
    QTest::addColumn<QString>("field");
    QTest::newRow("address") << "txtAddress";
    QTest::newRow("bookmark name") << "txtName";
    QTest::newRow("bookmark address") << "txtURL";
}

void TestInputMethod::frameFields()
{
    QFETCH(QString, field);
    QLineEdit *edit = MainForm->txtAddress;
    if (field != QLatin1String("txtAddress")) {
        MainForm->mnuEditClick();
        QVERIFY(QTest::qWaitForWindowActive(frm_BMEdit));
        edit = field == QLatin1String("txtName") ? frm_BMEdit->txtName : frm_BMEdit->txtURL;
    }
    edit->clear();
    QVERIFY(clickAt(onScreen(edit, edit->rect().center())));
    QTRY_VERIFY(edit->hasFocus());
    PreeditWatch watch(edit);

    // Composed in the field, converted, committed once; the Return that
    // commits is the input method's, not the field's.
    composeAt(QRect(onScreen(edit, QPoint(0, 0)), edit->size()));
    if (QTest::currentTestFailed())
        return;
    QTRY_COMPARE(watch.preedit, QString("にほん"));
    QCOMPARE(edit->text(), QString());
    // The candidate window goes where the input method is told the caret
    // is: in the field, not at the window's corner.
    const QRect fieldInWindow(edit->mapTo(edit->window(), QPoint(0, 0)), edit->size());
    const QRectF caret = QGuiApplication::inputMethod()->cursorRectangle();
    QVERIFY2(fieldInWindow.contains(caret.center().toPoint()), qPrintable(QStringLiteral("caret at %1,%2")
                                                                           .arg(caret.x()).arg(caret.y())));
    QVERIFY(caret.x() > fieldInWindow.x());
    QVERIFY(pressKeys("space"));
    QTRY_COMPARE(watch.preedit, QString("日本"));
    QVERIFY(pressKeys("Return"));
    QTRY_COMPARE(edit->text(), QString("日本"));
    QVERIFY(typeText("go"));
    QTRY_COMPARE(watch.preedit, QString("ご"));
    QVERIFY(pressKeys("Return"));
    QTRY_COMPARE(edit->text(), QString("日本ご"));
    QCOMPARE(watch.commits, 2);
    QVERIFY(watch.preedit.isEmpty());
    QCOMPARE(MainForm->MDIClient->subWindowList().size(), 0);
}

// Whether the focused object takes text from the input method.
static bool focusTakesInputMethod()
{
    QObject *focus = QGuiApplication::focusObject();
    if (!focus)
        return false;
    QInputMethodQueryEvent query(Qt::ImEnabled);
    QCoreApplication::sendEvent(focus, &query);
    return query.value(Qt::ImEnabled).toBool();
}

QString TestInputMethod::fieldPage(const QString &name, const QByteArray &field)
{
    // The field shows what it holds in the title, once the composition is
    // over; "focus" says the click has reached it.
    return fixture_.pages().page(
        name, "",
        field + " style=\"position:absolute;left:10px;top:10px;width:300px;height:40px\"" +
            (field.startsWith("<textarea") ? "></textarea>" : ">") +
            "<script>"
            "const f = document.getElementById('f');"
            "f.onfocus = () => { if (!f.value) document.title = 'focus'; };"
            "f.addEventListener('compositionupdate', e => document.title = 'composing:' + e.data);"
            "f.addEventListener('compositionend', () => setTimeout(() => document.title = 'v:' + f.value));"
            "f.addEventListener('input', e => { if (!e.isComposing) document.title = 'v:' + f.value; });"
            "document.title = 'empty';"
            "</script>");
}

TBrowserWindow *TestInputMethod::openField(bool gecko, const QString &name, const QByteArray &field)
{
    const QString url = fieldPage(name, field);
    TBrowserWindow *w = gecko ? openGecko(url) : openIE(url);
    if (!w || !QTest::qWaitFor([w] { return w->windowTitle() == QLatin1String("empty"); }, 20000))
        return nullptr;
    return w;
}

bool TestInputMethod::clickField(TBrowserWindow *w)
{
    if (!clickAt(onScreen(w->control(), QPoint(60, 30))) ||
        !QTest::qWaitFor([w] { return w->windowTitle() == QLatin1String("focus"); }, 10000))
        return false;
    // The page's own process sees the focus first; keys typed before the
    // frame hears that the page holds a text field pass the input method by.
    return geckoOf(w) || QTest::qWaitFor(focusTakesInputMethod, 10000);
}

void TestInputMethod::pageFields_data()
{
    QTest::addColumn<bool>("gecko");
    QTest::addColumn<QByteArray>("field");
    const QByteArray input = "<input id=\"f\"";
    const QByteArray textarea = "<textarea id=\"f\"";
    QTest::newRow("Internet Explorer input") << false << input;
    QTest::newRow("Internet Explorer textarea") << false << textarea;
    QTest::newRow("Gecko input") << true << input;
    QTest::newRow("Gecko textarea") << true << textarea;
}

void TestInputMethod::pageFields()
{
    QFETCH(bool, gecko);
    QFETCH(QByteArray, field);
    TBrowserWindow *w = openField(gecko, "field.html", field);
    QVERIFY(w);
    const QString address = MainForm->txtAddress->text();
    QVERIFY(clickField(w));

    composeAt(QRect(onScreen(w->control(), QPoint(10, 10)), QSize(300, 40)));
    if (QTest::currentTestFailed())
        return;
    QTRY_COMPARE(w->windowTitle(), QString("composing:にほん"));
    // Converted and committed at once, as quick typists do.
    QVERIFY(pressKeys("space"));
    QVERIFY(pressKeys("Return"));
    QTRY_COMPARE(w->windowTitle(), QString("v:日本"));
    QVERIFY(typeText("go"));
    QTRY_COMPARE(w->windowTitle(), QString("composing:ご"));
    QVERIFY(pressKeys("Return"));
    QTRY_COMPARE(w->windowTitle(), QString("v:日本ご"));
    QCOMPARE(MainForm->txtAddress->text(), address);
}

void TestInputMethod::clickingElsewhereMidComposition_data()
{
    QTest::addColumn<bool>("gecko");
    QTest::addColumn<bool>("beside");  // beside the field in its page, else into the other engine's page
    QTest::newRow("Internet Explorer to Gecko") << false << false;
    QTest::newRow("Gecko to Internet Explorer") << true << false;
    QTest::newRow("beside, Internet Explorer") << false << true;
    QTest::newRow("beside, Gecko") << true << true;
}

// A click elsewhere while a word is being composed ends the composition:
// the word stays in the field it was composed in, once, and the field
// clicked next composes its own.
void TestInputMethod::clickingElsewhereMidComposition()
{
    QFETCH(bool, gecko);
    QFETCH(bool, beside);
    TBrowserWindow *first = openField(gecko, "first.html", "<input id=\"f\"");
    QVERIFY(first);
    TBrowserWindow *next = beside ? first : openField(!gecko, "second.html", "<input id=\"f\"");
    QVERIFY(next);
    MainForm->WindowTileVertical1Execute();

    QVERIFY(clickField(first));
    QVERIFY(typeText("nihonn"));
    QTRY_COMPARE(first->windowTitle(), QString("composing:にほん"));
    QVERIFY(beside ? clickAt(onScreen(first->control(), QPoint(60, 150))) : clickField(next));
    QTRY_COMPARE(first->windowTitle(), QString("v:にほん"));

    if (beside)
        QVERIFY(clickAt(onScreen(first->control(), QPoint(60, 30))) && pressKeys("End"));
    QVERIFY(typeText("go"));
    QTRY_COMPARE(next->windowTitle(), QString("composing:ご"));
    QVERIFY(pressKeys("Return"));
    QTRY_COMPARE(next->windowTitle(), QString(beside ? "v:にほんご" : "v:ご"));
    QCOMPARE(first->windowTitle(), QString(beside ? "v:にほんご" : "v:にほん"));
}

void TestInputMethod::closingAWindowMidComposition_data()
{
    boolRows("gecko", "Internet Explorer", "Gecko");
}

// The window goes while a word is being composed in its page; the input
// method and the engine go on serving the next window.
void TestInputMethod::closingAWindowMidComposition()
{
    QFETCH(bool, gecko);
    QPointer<TBrowserWindow> w = openField(gecko, "goes.html", "<textarea id=\"f\"");
    QVERIFY(w);
    QVERIFY(clickField(w));
    QVERIFY(typeText("nihonn"));
    QTRY_COMPARE(w->windowTitle(), QString("composing:にほん"));
    MainForm->FileClose1Execute();
    QTRY_VERIFY(w.isNull());

    TBrowserWindow *next = openField(gecko, "next.html", "<input id=\"f\"");
    QVERIFY(next);
    QVERIFY(clickField(next));
    QVERIFY(typeText("go"));
    QTRY_COMPARE(next->windowTitle(), QString("composing:ご"));
    QVERIFY(pressKeys("Return"));
    QTRY_COMPARE(next->windowTitle(), QString("v:ご"));
}

int main(int argc, char *argv[])
{
    InputMethod inputMethod;
    TestInputMethod test(inputMethod);
    return vexelTestMain(argc, argv, &test, [&] {
        test.unavailable = inputMethod.start();
        WebEngineControl::prepareProcess();
    });
}

#include "test_input_method.moc"
