// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the tests on X share (the WebKitGTK engine's and the engine contract
// test): local pages, windows of either engine opened through the frame, and
// real X input (xdotool) for what only the plug's own window sees.

#include "app/forms.h"
#include "app/mainform.h"
#include "browser/browserwindow.h"
#include "browser/engines/webkitgtk/webkitcontrol.h"
#include "browser/engines/webkitgtk/webkithost.h"
#include "browser/pagedialogs.h"
#include "testsupport.h"
#include "whenopen.h"

#include <QAction>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLineEdit>
#include <QMdiArea>
#include <QMessageBox>
#include <QPushButton>
#include <QMdiSubWindow>
#include <QCursor>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>
#include <xcb/xcb.h>

// Pages written into a temporary folder, by name.
class Pages {
public:
    // Writes name (UTF-8 HTML) and returns its file URL.
    QString write(const QString &name, const QByteArray &html) const
    {
        const QString path = dir_.filePath(name);
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            qFatal("cannot write a test page");
        f.write(html);
        return url(name);
    }
    QString url(const QString &name) const { return QUrl::fromLocalFile(dir_.filePath(name)).toString(); }
    // A page titled title with body as its content.
    QString page(const QString &name, const QByteArray &title, const QByteArray &body = QByteArray()) const
    {
        return write(name, "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>" + title +
                               "</title></head><body style=\"margin:0\">" + body + "</body></html>");
    }

private:
    QTemporaryDir dir_;
};

// Gives the run a download folder of its own (beside its XDG_CONFIG_HOME),
// for the frame and the engine host alike; returns it, or "" on failure.
inline QString makeDownloadFolder()
{
    const QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    const QString downloads = QDir::cleanPath(QDir(config).absoluteFilePath(QStringLiteral("../downloads")));
    QFile dirs(config + QStringLiteral("/user-dirs.dirs"));
    if (!QDir().mkpath(config) || !QDir().mkpath(downloads) || !dirs.open(QIODevice::WriteOnly))
        return QString();
    dirs.write("XDG_DOWNLOAD_DIR=\"" + downloads.toUtf8() + "\"\n");
    return downloads;
}

// The frame of a case: settings that open no options dialog, Gecko enabled,
// a frame large enough for two windows side by side, active.
inline void prepareFrame(TestDirs &dirs)
{
    dirs.writeIni("[Option_Main]\r\nMozilla=1\r\n");
}

inline bool activateFrame()
{
    MainForm->resize(1000, 700);
    MainForm->activateWindow();
    return QTest::qWaitForWindowActive(MainForm);
}

inline QString downloadFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
}


inline TBrowserWindow *openGecko(const QString &url, const QString &caption = QString())
{
    MainForm->Moz_Item->setEnabled(true);
    MainForm->Moz_ItemClick();
    MainForm->OpenBrowserWindow(caption, url);
    return MainForm->ActiveMDIChild();
}

inline TBrowserWindow *openIE(const QString &url)
{
    MainForm->IE_itemClick();
    MainForm->OpenBrowserWindow(QString(), url);
    return MainForm->ActiveMDIChild();
}

inline WebKitControl *geckoOf(TBrowserWindow *w)
{
    return w ? qobject_cast<WebKitControl *>(w->control()) : nullptr;
}

// X errors about the plug windows, the frame's or the host's, are faults.
inline void failOnXErrors()
{
    QTest::failOnWarning(QRegularExpression(QStringLiteral("XCB error|X Window System error"),
                                            QRegularExpression::CaseInsensitiveOption));
}

// Real X input.
inline bool xdotool(const QStringList &args)
{
    return QProcess::execute(QStringLiteral("xdotool"), args) == 0;
}

// Moves the pointer and waits until the X server has it there (xdotool's
// own --sync can wait for a motion that never comes).
inline bool movePointer(const QPoint &global)
{
    return xdotool({QStringLiteral("mousemove"), QString::number(global.x()), QString::number(global.y())}) &&
           QTest::qWaitFor([&] { return QCursor::pos() == global; }, 5000);
}

inline bool clickAt(const QPoint &global)
{
    return movePointer(global) && xdotool({QStringLiteral("click"), QStringLiteral("1")});
}

inline bool typeText(const QString &text)
{
    return xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("30"), text});
}

inline bool pressKeys(const QString &keys)
{
    return xdotool({QStringLiteral("key"), keys});
}

// Where a point of a widget is on the screen.
inline QPoint onScreen(const QWidget *widget, const QPoint &p)
{
    return widget->mapToGlobal(p);
}

// One row per engine, by the class ID its menu slot creates: "ie", and
// "gecko" where the engine host is built (VEXEL_GECKO_ROWS).
struct EngineSlot {
    const char *tag;
    QString clsid;
};

inline QList<EngineSlot> engineSlots()
{
    QList<EngineSlot> all{{"ie", engines::IE_CLSID}};
#ifdef VEXEL_GECKO_ROWS
    all.append({"gecko", engines::MOZILLA_CLSID});
#endif
    return all;
}

inline bool isGecko(const QString &clsid)
{
    return clsid == engines::MOZILLA_CLSID;
}

// The rows; more columns may follow "engine".
inline void engineRows()
{
    QTest::addColumn<QString>("engine");
    for (const EngineSlot &e : engineSlots())
        QTest::newRow(e.tag) << e.clsid;
}

inline TBrowserWindow *openOn(const QString &clsid, const QString &url)
{
    return isGecko(clsid) ? openGecko(url) : openIE(url);
}

// Whether an X window exists (on the frame's own connection).
inline bool xWindowExists(quint32 window)
{
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11)
        return false;
    xcb_connection_t *c = x11->connection();
    xcb_generic_error_t *error = nullptr;
    xcb_get_window_attributes_reply_t *reply =
        xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, window), &error);
    const bool exists = reply != nullptr;
    free(reply);
    free(error);
    return exists;
}

// The pop-up menus on the screen: GTK's are viewable override-redirect
// windows straight below the root, which the frame has none of.
inline QList<quint32> popupMenus()
{
    QList<quint32> menus;
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11)
        return menus;
    xcb_connection_t *c = x11->connection();
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    xcb_query_tree_reply_t *tree = xcb_query_tree_reply(c, xcb_query_tree(c, root), nullptr);
    if (!tree)
        return menus;
    const xcb_window_t *children = xcb_query_tree_children(tree);
    for (int i = 0; i < xcb_query_tree_children_length(tree); ++i) {
        xcb_get_window_attributes_reply_t *a =
            xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, children[i]), nullptr);
        if (a && a->override_redirect && a->map_state == XCB_MAP_STATE_VIEWABLE)
            menus << children[i];
        free(a);
    }
    free(tree);
    return menus;
}

// The processes the host has started whose name begins with prefix
// ("WebKitWebProces", "WebKitNetworkP").
inline QList<pid_t> childProcessesOf(qint64 host, const QByteArray &prefix)
{
    QList<pid_t> found;
    QDirIterator tasks(QStringLiteral("/proc/%1/task").arg(host));
    while (tasks.hasNext()) {
        QFile children(tasks.next() + QStringLiteral("/children"));
        if (!children.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray &pid : children.readAll().split(' ')) {
            QFile comm(QStringLiteral("/proc/%1/comm").arg(QString::fromLatin1(pid.trimmed())));
            if (!pid.trimmed().isEmpty() && comm.open(QIODevice::ReadOnly) && comm.readAll().startsWith(prefix))
                found << pid.trimmed().toInt();
        }
    }
    return found;
}

// The web processes the host has started.
inline QList<pid_t> webProcessesOf(qint64 host)
{
    return childProcessesOf(host, "WebKitWebProces");
}

// Whether a process has ended (a zombie nobody reaps counts as ended).
inline bool processEnded(pid_t pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray text = stat.readAll();
    const qsizetype close = text.lastIndexOf(')');
    return close < 0 || text.mid(close + 2, 1) == "Z";
}

// What a case on the real engines sets up and checks around itself: its own
// program directory and an active frame, pages of its own, and an error
// record; a case that passed reported no error, and nothing landed in the
// download folder unasked.
class EngineCase {
public:
    // Once per test program: the engines, and the run's own download folder.
    void prepareRun()
    {
        engines::registerBuiltInEngines();
        chooser_ = pagedialogs::savePathChooser();
        const QString downloads = makeDownloadFolder();
        QVERIFY(!downloads.isEmpty());
        QCOMPARE(downloadFolder(), downloads);
    }
    void begin()
    {
        failOnXErrors();
        dirs_ = std::make_unique<TestDirs>();
        prepareFrame(*dirs_);
        errors_ = std::make_unique<ErrorRecorder>();
        forms_ = std::make_unique<Forms>();
        pages_ = std::make_unique<Pages>();
        QVERIFY(activateFrame());
    }
    void end()
    {
        pagedialogs::savePathChooser() = chooser_;
        pages_.reset();
        forms_.reset();
        QVERIFY2(errors_->messages.isEmpty() || QTest::currentTestFailed(), qPrintable(errors_->messages.join('|')));
        errors_.reset();
        dirs_.reset();
        QCOMPARE(QDir(downloadFolder()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
    }
    const Pages &pages() const { return *pages_; }
    const TestDirs &dirs() const { return *dirs_; }

private:
    std::unique_ptr<TestDirs> dirs_;
    std::unique_ptr<ErrorRecorder> errors_;
    std::unique_ptr<Forms> forms_;
    std::unique_ptr<Pages> pages_;
    pagedialogs::SavePathChooser chooser_;
};

// Generous for a busy machine; never what a case measures.
constexpr int kWait = 30000;

// A test class on the real engines: every case inside an EngineCase. A class
// that does more around its cases declares the slot again and calls this one.
class EngineTest : public QObject {
    Q_OBJECT
protected slots:
    void initTestCase() { fixture_.prepareRun(); }
    void init() { fixture_.begin(); }
    void cleanup() { fixture_.end(); }

protected:
    EngineCase fixture_;
};

// A frame of a case's own: its program directory with the Gecko engine
// enabled, an error record, the forms, and pages.
struct GeckoFrame {
    struct Dirs : TestDirs {
        Dirs() { prepareFrame(*this); }  // before the forms read the settings
    };
    Dirs dirs;
    ErrorRecorder errors;
    Forms forms;
    Pages pages;
};

// Steps for the page's dialogs: a message box's button, and the
// credentials dialog filled in and accepted.
inline WhenOpen::Step press(QMessageBox::StandardButton button)
{
    return [button](QWidget *modal) { static_cast<QMessageBox *>(modal)->button(button)->click(); };
}

inline WhenOpen::Step credentials(const QString &user, const QString &password)
{
    return [user, password](QWidget *dialog) {
        dialog->findChild<QLineEdit *>("txtUser")->setText(user);
        dialog->findChild<QLineEdit *>("txtPassword")->setText(password);
        QMetaObject::invokeMethod(dialog, "accept");
    };
}
