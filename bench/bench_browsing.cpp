// SPDX-License-Identifier: GPL-3.0-or-later
// Opening browser windows on the Internet Explorer slot's engine: time from
// OpenBrowserWindow on a local page to its load finishing, for the first and
// the fifth window, and what the process tree gains per added window.

#include "app/forms.h"
#include "app/mainform.h"
#include "core/programdir.h"
#include "benchsupport.h"
#include "browser/browserwindow.h"
#include "browser/engines/webengine/webenginecontrol.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>

#include <QTemporaryDir>
#include <QTimer>

int main(int argc, char *argv[])
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QTemporaryDir dir;
    setExecutableDirectoryForTesting(dir.path());
    QDir::setCurrent(dir.path());
    const QString page = dir.path() + "/page.html";
    writeBenchFile(page, "<title>Bench</title><h1>A page</h1><p>Some text.</p>");
    writeBenchFile(dir.path() + "/config.ini", "[General]\r\nLastEngine=IE\r\n");

    engines::registerBuiltInEngines();
    createForms();
    MainForm->resize(1000, 800);

    QList<double> times, growth;
    double before = treeMemoryMb(QCoreApplication::applicationPid(), "VmRSS");
    for (int n = 1; n <= 5; ++n) {
        QElapsedTimer clock;
        clock.start();
        MainForm->OpenBrowserWindow(QString(), page);
        auto *control = static_cast<WebEngineControl *>(MainForm->ActiveMDIChild()->control());
        QEventLoop loop;
        bool loaded = false;
        QObject::connect(control->page(), &QWebEnginePage::loadFinished, &loop, [&] {
            loaded = true;
            loop.quit();
        });
        QTimer::singleShot(30000, &loop, &QEventLoop::quit);
        loop.exec();
        if (!loaded) {
            std::fprintf(stderr, "window %d did not load\n", n);
            return 1;
        }
        times.append(clock.nsecsElapsed() / 1e6);
        QEventLoop settle;  // let the renderer reach its resting size
        QTimer::singleShot(300, &settle, &QEventLoop::quit);
        settle.exec();
        const double after = treeMemoryMb(QCoreApplication::applicationPid(), "VmRSS");
        if (n > 1)
            growth.append(after - before);
        before = after;
    }
    printFigure("browsing.first_window_ms", times.first(), "ms");
    printFigure("browsing.fifth_window_ms", times.last(), "ms");
    printFigure("browsing.further_window_median_ms", median(times.mid(1)), "ms");
    printFigure("browsing.tree_rss_per_window_mb", median(growth), "MB");
    destroyForms();
    return 0;
}
