// SPDX-License-Identifier: GPL-3.0-or-later
// The frame and its dialogs as the X server sees them: the first web view
// added to the shown frame must not make the frame hide and reappear (it
// flickers, and a window manager may move it), and every window's caption
// is its own text alone.

#include "about/aboutbox.h"
#include "app/forms.h"
#include "app/mainform.h"
#include "bookmarks/bmedit.h"
#include "browser/browserwindow.h"
#include "settings/option.h"
#include "testsupport.h"

#include <QGuiApplication>
#include <memory>
#include <xcb/xcb.h>

namespace {

// The caption the window manager shows: the window's _NET_WM_NAME.
QString xCaption(QWidget *w)
{
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t *c = x11->connection();
    auto atom = [c](const char *name) {
        xcb_intern_atom_reply_t *r = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(strlen(name)), name), nullptr);
        xcb_atom_t a = XCB_ATOM_NONE;
        if (r)
            a = r->atom;
        free(r);
        return a;
    };
    xcb_get_property_reply_t *r = xcb_get_property_reply(
        c, xcb_get_property(c, 0, xcb_window_t(w->winId()), atom("_NET_WM_NAME"), atom("UTF8_STRING"), 0, 1024),
        nullptr);
    QString name;
    if (r)
        name = QString::fromUtf8(static_cast<const char *>(xcb_get_property_value(r)),
                                 xcb_get_property_value_length(r));
    free(r);
    return name;
}

}  // namespace

class HideCounter : public QObject {
public:
    int hides = 0;
    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() == QEvent::Hide)
            ++hides;
        return false;
    }
};

class TestFirstWindow : public QObject {
    Q_OBJECT
private slots:
    void frameStaysShown()
    {
        engines::registerBuiltInEngines();
        TestDirs dirs;
        dirs.writeIni("[General]\r\nLastEngine=IE\r\n");
        ErrorRecorder errors;
        Forms forms;
        QVERIFY(QTest::qWaitForWindowExposed(MainForm));
        HideCounter counter;
        MainForm->installEventFilter(&counter);
        const WId native = MainForm->winId();
        QFile page(dirs.currentDir() + "/p.html");
        QVERIFY(page.open(QIODevice::WriteOnly));
        page.write("<title>First</title>");
        page.close();
        MainForm->OpenBrowserWindow(QString(), page.fileName());
        QTRY_COMPARE_WITH_TIMEOUT(MainForm->ActiveMDIChild()->windowTitle(), QString("First"), 20000);
        QCOMPARE(counter.hides, 0);
        QCOMPARE(MainForm->winId(), native);  // the native window was not made anew
        QVERIFY(MainForm->isVisible());
        QVERIFY(errors.messages.isEmpty());
    }

    void captionsAreTheirOwn()
    {
        TestDirs dirs;
        dirs.writeIni("[General]\r\nLastEngine=IE\r\n");
        Forms forms;
        std::unique_ptr<Tfrm_Option> options(MainForm->newOptionDialog());
        const QList<QPair<QWidget *, QString>> windows = {{MainForm, "Vexel"},
                                                          {options.get(), "オプション"},
                                                          {frm_BMEdit, "ブックマークの編集"},
                                                          {AboutBox, "バージョン情報"}};
        for (const auto &[window, caption] : windows) {
            window->show();
            QVERIFY(QTest::qWaitForWindowExposed(window));
            QTRY_COMPARE(xCaption(window), caption);
        }
    }
};

VEXEL_TEST_MAIN(TestFirstWindow)
#include "test_firstwindow.moc"
