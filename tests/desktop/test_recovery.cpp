// SPDX-License-Identifier: GPL-3.0-or-later
// The real program on X: a Vexel killed with two pages open leaves its list
// of windows, and the next start reopens them when asked; one closed the way
// a window manager closes it leaves no list.

#include "app/forms.h"
#include "app/mainform.h"
#include "app/windowsession.h"
#include "browser/browserwindow.h"
#include "browser/childie.h"
#include "browser/enginecontrol.h"
#include "testsupport.h"
#include "whenopen.h"

#include <QAbstractButton>
#include <QDir>
#include <QGuiApplication>
#include <QMdiArea>
#include <QMessageBox>
#include <QProcess>
#include <QUrl>
#include <csignal>
#include <optional>
#include <sys/stat.h>
#include <xcb/xcb.h>

namespace {

// The addresses the list on disk holds, in order.
QStringList listedAddresses()
{
    QFile file(TWindowSession::filePath());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const std::optional<TWindowSession::Snapshot> snapshot = TWindowSession::fromJson(file.readAll());
    QStringList list;
    if (snapshot)
        for (const TWindowSession::Entry &e : snapshot->windows)
            list << QStringLiteral("%1 %2").arg(e.ie ? "IE" : "Gecko", e.address);
    return list;
}

xcb_connection_t *connection()
{
    return qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
}

xcb_atom_t atom(const char *name)
{
    xcb_intern_atom_reply_t *r =
        xcb_intern_atom_reply(connection(), xcb_intern_atom(connection(), 0, uint16_t(strlen(name)), name), nullptr);
    const xcb_atom_t a = r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
    free(r);
    return a;
}

QByteArray property(xcb_window_t w, const char *name, xcb_atom_t type)
{
    xcb_get_property_reply_t *r =
        xcb_get_property_reply(connection(), xcb_get_property(connection(), 0, w, atom(name), type, 0, 1024), nullptr);
    QByteArray value;
    if (r)
        value = QByteArray(static_cast<const char *>(xcb_get_property_value(r)), xcb_get_property_value_length(r));
    free(r);
    return value;
}

// The shown main window of the process, as the X server knows it.
xcb_window_t frameOf(qint64 pid)
{
    xcb_connection_t *c = connection();
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    xcb_query_tree_reply_t *tree = xcb_query_tree_reply(c, xcb_query_tree(c, root), nullptr);
    xcb_window_t found = XCB_WINDOW_NONE;
    if (!tree)
        return found;
    const xcb_window_t *children = xcb_query_tree_children(tree);
    for (int i = 0; i < xcb_query_tree_children_length(tree) && found == XCB_WINDOW_NONE; ++i) {
        const QByteArray ownPid = property(children[i], "_NET_WM_PID", XCB_ATOM_CARDINAL);
        if (ownPid.size() != 4 || *reinterpret_cast<const quint32 *>(ownPid.constData()) != quint32(pid))
            continue;
        if (property(children[i], "_NET_WM_NAME", atom("UTF8_STRING")) != "Vexel")
            continue;
        xcb_get_window_attributes_reply_t *a =
            xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, children[i]), nullptr);
        if (a && a->map_state == XCB_MAP_STATE_VIEWABLE)
            found = children[i];
        free(a);
    }
    free(tree);
    return found;
}

// What a window manager sends when the user closes the window.
void askToClose(xcb_window_t w)
{
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = w;
    event.type = atom("WM_PROTOCOLS");
    event.data.data32[0] = atom("WM_DELETE_WINDOW");
    event.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(connection(), 0, w, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char *>(&event));
    xcb_flush(connection());
}

// A copy of the program in the case's program directory (its config.ini
// lies beside it), started on two local pages.
struct RunningVexel {
    explicit RunningVexel(const TestDirs &dirs)
    {
        // Whatever an earlier case left would be asked about first.
        QFile::remove(TWindowSession::filePath());
        const QString program = dirs.programDir() + "vexel";
        // The Internet Explorer slot's part goes with the program.
        const QString part = dirs.programDir() + "vexel-webengine.so";
        const QString built = QFileInfo(VEXEL_PROGRAM).dir().filePath("vexel-webengine.so");
        if ((!QFileInfo::exists(program) && !QFile::copy(VEXEL_PROGRAM, program)) ||
            (!QFileInfo::exists(part) && !QFile::copy(built, part)))
            qFatal("cannot copy the program");
        for (const char *name : {"one", "two"}) {
            const QString page = dirs.writePage(QStringLiteral("%1.html").arg(name),
                                                QByteArray("<title>") + name + "</title><p>" + name + "</p>");
            pages << page;
            expected << "IE " + QUrl::fromLocalFile(page).toString();
        }
        process.setProcessChannelMode(QProcess::ForwardedChannels);
        process.start(program, pages);
    }
    ~RunningVexel()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished();
        }
    }
    QProcess process;
    QStringList pages, expected;
};

const int kEngineMs = 120000;

}  // namespace

class TestRecovery : public QObject {
    Q_OBJECT
private slots:
    void killedCopyIsReopened();
    void closedCopyLeavesNoList();
};

void TestRecovery::killedCopyIsReopened()
{
    RuntimeDir runtime;
    TestDirs dirs;
    dirs.writeIni("[General]\r\nLastEngine=IE\r\n");
    QStringList expected;
    {
        RunningVexel vexel(dirs);
        expected = vexel.expected;
        QTRY_COMPARE_WITH_TIMEOUT(listedAddresses(), expected, kEngineMs);
        ::kill(pid_t(vexel.process.processId()), SIGKILL);
        QVERIFY(vexel.process.waitForFinished(60000));
        QCOMPARE(vexel.process.exitStatus(), QProcess::CrashExit);
    }
    QCOMPARE(listedAddresses(), expected);
    // A window far larger than any frame brought the engines down.
    {
        QFile file(TWindowSession::filePath());
        QVERIFY(file.open(QIODevice::ReadWrite));
        std::optional<TWindowSession::Snapshot> list = TWindowSession::fromJson(file.readAll());
        QVERIFY(list);
        list->windows[0].geometry = QRect(-100, 20, 40000, 40000);
        QVERIFY(file.resize(0));
        file.write(TWindowSession::toJson(*list));
    }

    // The next start, in this process, as the program starts.
    engines::registerBuiltInEngines();
    ErrorRecorder errors;
    QString asked;
    WhenOpen when([&](QMessageBox *box) {
        asked = box->text();
        for (QAbstractButton *b : box->buttons())
            if (b->text() == "はい")
                b->click();
    });
    {
        Forms forms;
        QCOMPARE(asked, QString("前回のウィンドウを復元しますか？"));
        auto shown = [] {
            QStringList list;
            for (TBrowserWindow *w : MainForm->browserWindows())
                list << QStringLiteral("%1 %2").arg(qobject_cast<Tfrm_IE *>(w) ? "IE" : "Gecko",
                                                    w->control()->LocationURL());
            return list;
        };
        QTRY_COMPARE_WITH_TIMEOUT(shown(), expected, kEngineMs);
        QCOMPARE(MainForm->ActiveMDIChild(), MainForm->browserWindows().last());
        QTRY_COMPARE_WITH_TIMEOUT(MainForm->browserWindows().first()->windowTitle(), QString("one"), kEngineMs);
        const QRect area(QPoint(0, 0), MainForm->MDIClient->viewport()->size());
        QVERIFY(area.contains(MainForm->browserWindows().first()->geometry()));
        QVERIFY(errors.messages.isEmpty());
    }
}

void TestRecovery::closedCopyLeavesNoList()
{
    RuntimeDir runtime;
    TestDirs dirs;
    dirs.writeIni("[General]\r\nLastEngine=IE\r\n");
    RunningVexel vexel(dirs);
    QTRY_COMPARE_WITH_TIMEOUT(listedAddresses(), vexel.expected, kEngineMs);
    const xcb_window_t frame = frameOf(vexel.process.processId());
    QVERIFY(frame != XCB_WINDOW_NONE);
    askToClose(frame);
    QVERIFY(vexel.process.waitForFinished(60000));
    QCOMPARE(vexel.process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(vexel.process.exitCode(), 0);
    QVERIFY(!QFile::exists(TWindowSession::filePath()));
}

VEXEL_TEST_MAIN(TestRecovery)
#include "test_recovery.moc"
