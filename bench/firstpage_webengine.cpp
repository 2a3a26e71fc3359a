// SPDX-License-Identifier: GPL-3.0-or-later
// Baseline for bench_firstpage: one Qt WebEngine view in an MDI window,
// nothing else, loading the address given.

#include <QApplication>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QWebEngineView>

int main(int argc, char *argv[])
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    if (argc < 2)
        return 2;
    QMainWindow window;
    auto *area = new QMdiArea;
    window.setCentralWidget(area);
    window.resize(1024, 768);
    auto *view = new QWebEngineView;
    QMdiSubWindow *child = area->addSubWindow(view);
    window.show();
    child->showMaximized();
    view->load(QUrl(QString::fromLocal8Bit(argv[1])));
    return app.exec();
}
