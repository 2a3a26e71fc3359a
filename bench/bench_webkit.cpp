// SPDX-License-Identifier: GPL-3.0-or-later
// Opening browser windows on the Gecko slot's engine (WebKitGTK in the
// vexel-webkit host): time from OpenBrowserWindow on a local page to its
// load finishing, for the first window (the host's start included) and for
// each further one, and what the host's process tree (the host, WebKit's
// network and web processes) gains per added window. Runs on X.

#include "app/forms.h"
#include "app/mainform.h"
#include "core/programdir.h"
#include "benchsupport.h"
#include "browser/browserwindow.h"
#include "browser/engines/webkitgtk/webkitcontrol.h"
#include "browser/engines/webkitgtk/webkithost.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QMdiArea>
#include <QTemporaryDir>
#include <QTimer>
#include <csignal>

static void wait(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Opens a Gecko window on url and returns the milliseconds until its load
// finished, or -1.
static double openAndLoad(const QString &url)
{
    QElapsedTimer clock;
    clock.start();
    MainForm->OpenBrowserWindow(QString(), url);
    EngineControl *control = MainForm->ActiveMDIChild()->control();
    QEventLoop loop;
    bool loaded = false;
    QObject::connect(control, &EngineControl::ProgressChange, &loop, [&](int p, int max) {
        if (p == max && control->LocationURL() == url) {
            loaded = true;
            loop.quit();
        }
    });
    QTimer::singleShot(30000, &loop, &QEventLoop::quit);
    loop.exec();
    return loaded ? clock.nsecsElapsed() / 1e6 : -1;
}

int main(int argc, char *argv[])
{
    QTemporaryDir dir;
    // The engine's data of a run stays in the run's folder.
    qputenv("XDG_DATA_HOME", (dir.path() + "/data").toLocal8Bit());
    qputenv("XDG_CACHE_HOME", (dir.path() + "/cache").toLocal8Bit());
    qputenv("QT_QPA_PLATFORM", "xcb");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    setExecutableDirectoryForTesting(dir.path());
    QDir::setCurrent(dir.path());
    writeBenchFile(dir.path() + "/page.html", "<title>Bench</title><h1>A page</h1><p>Some text.</p>");
    const QString url = QUrl::fromLocalFile(dir.path() + "/page.html").toString();
    writeBenchFile(dir.path() + "/config.ini", "[General]\r\nLastEngine=Gecko\r\n[Option_Main]\r\nMozilla=1\r\n");

    engines::registerBuiltInEngines();
    createForms();
    MainForm->resize(1000, 800);
    MainForm->Moz_Item->setEnabled(true);
    MainForm->Moz_ItemClick();

    const int rounds = 3, windows = 5;
    QList<double> first, further, growth, pssGrowth;
    for (int round = 0; round < rounds; ++round) {
        double before = 0, pssBefore = 0;
        for (int n = 1; n <= windows; ++n) {
            const double ms = openAndLoad(url);
            if (ms < 0) {
                std::fprintf(stderr, "window %d did not load\n", n);
                return 1;
            }
            (n == 1 ? first : further).append(ms);
            wait(300);  // let the web process reach its resting size
            const qint64 host = WebKitHost::runningProcessId();
            const double after = treeMemoryMb(host, "VmRSS"), pssAfter = treeMemoryMb(host, "Pss");
            if (n > 1) {
                growth.append(after - before);
                pssGrowth.append(pssAfter - pssBefore);
            }
            before = after;
            pssBefore = pssAfter;
        }
        // The next round starts without a host.
        MainForm->MDIClient->closeAllSubWindows();
        wait(100);
        if (const qint64 host = WebKitHost::runningProcessId())
            ::kill(pid_t(host), SIGTERM);
        QElapsedTimer gone;
        gone.start();
        while (WebKitHost::runningProcessId() && gone.elapsed() < 10000)
            wait(20);
    }
    printFigure("webkit.first_window_ms", median(first), "ms");
    printFigure("webkit.further_window_median_ms", median(further), "ms");
    printFigure("webkit.further_window_max_ms", *std::max_element(further.cbegin(), further.cend()), "ms");
    printFigure("webkit.host_tree_rss_per_window_mb", median(growth), "MB");
    printFigure("webkit.host_tree_pss_per_window_mb", median(pssGrowth), "MB");
    destroyForms();
    return 0;
}
