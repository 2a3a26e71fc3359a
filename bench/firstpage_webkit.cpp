// SPDX-License-Identifier: GPL-3.0-or-later
// Baseline for bench_firstpage: one WebKitGTK view from the engine host,
// embedded in a Qt window as Vexel embeds it, loading the address given.

#include "browser/enginecontrol.h"

#include <QApplication>
#include <QMainWindow>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc < 2)
        return 2;
    engines::registerBuiltInEngines();
    QMainWindow window;
    window.resize(1024, 768);
    EngineControl *view = engines::create(engines::MOZILLA_CLSID, &window);
    window.setCentralWidget(view);
    window.show();
    view->Navigate(QString::fromLocal8Bit(argv[1]));
    return app.exec();
}
