// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up: from process start to the main window shown and the event loop
// idle, and the peak memory of such a start, with no browser window open.
// The program runs itself as a child for each sample, so every start is cold
// for the process (the disk cache is warm after the first).

#include "app/forms.h"
#include "core/programdir.h"
#include "benchsupport.h"
#include "browser/enginecontrol.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

static int child(int argc, char *argv[], const QString &programDir)
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    setExecutableDirectoryForTesting(programDir);
    engines::registerBuiltInEngines();
    createForms();
    // Idle: every event the start-up posted has been handled.
    QTimer::singleShot(0, [] {
        std::printf("ready %.1f\n", peakRssMb());
        std::fflush(stdout);
        QCoreApplication::quit();
    });
    const int rc = app.exec();
    destroyForms();
    return rc;
}

int main(int argc, char *argv[])
{
    if (argc >= 3 && QByteArray(argv[1]) == "--child")
        return child(argc, argv, QString::fromLocal8Bit(argv[2]));

    QCoreApplication app(argc, argv);
    QTemporaryDir programDir;
    writeBenchFile(programDir.path() + "/config.ini", "[General]\r\nLastEngine=IE\r\n[Option_Main]\r\nMozilla=1\r\n");

    QList<double> times, memory;
    for (int run = 0; run < 7; ++run) {
        QProcess p;
        p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QElapsedTimer clock;
        clock.start();
        p.start(QCoreApplication::applicationFilePath(), {"--child", programDir.path()});
        QByteArray line;
        while (p.waitForReadyRead(30000)) {
            line += p.readAll();
            if (line.contains('\n'))
                break;
        }
        const double elapsed = clock.nsecsElapsed() / 1e6;
        p.waitForFinished(30000);
        if (!line.startsWith("ready ")) {
            std::fprintf(stderr, "start-up failed: %s\n", line.constData());
            return 1;
        }
        if (run == 0)
            continue;  // the first start fills the disk cache
        times.append(elapsed);
        memory.append(line.mid(6).trimmed().toDouble());
    }
    printFigure("startup.shown_idle_ms", median(times), "ms");
    printFigure("startup.peak_rss_mb", median(memory), "MB");
    return 0;
}
