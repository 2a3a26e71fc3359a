// Vexel: a multiple-document web browser frame over two web engines.

#include "app/forms.h"
#include "app/mainform.h"
#include "browser/enginecontrol.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    // Qt WebEngine shares its GL context with the widgets; this must precede
    // the application object.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vexel"));
    QApplication::setOrganizationName(QStringLiteral("Vexel"));
    // The program ends when the main window closes, whatever else is open.
    QApplication::setQuitOnLastWindowClosed(false);
    engines::registerBuiltInEngines();
    createForms();
    QObject::connect(MainForm, &TMainForm::closed, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    const int rc = app.exec();
    destroyForms();
    return rc;
}
