// Vexel: a multiple-document web browser frame over two web engines.

#include "app/forms.h"
#include "app/mainform.h"
#include "browser/enginecontrol.h"
#include "browser/engines/webengine/webenginecontrol.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

int main(int argc, char *argv[])
{
    // Qt WebEngine shares its GL context with the widgets; this must precede
    // the application object.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    // The Gekko slot embeds X windows: on a Wayland desktop run on XWayland.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        !qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vexel"));
    // The user interface is Japanese whatever the desktop's language: Qt's
    // own dialogs and buttons too, and the engines' pages (error pages).
    QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
    QTranslator qtTranslator;
    if (qtTranslator.load(QLocale(QLocale::Japanese), QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTranslator);
    // The program ends when the main window closes, whatever else is open.
    QApplication::setQuitOnLastWindowClosed(false);
    engines::registerBuiltInEngines();
    createForms();
    QObject::connect(MainForm, &TMainForm::closed, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    const int rc = app.exec();
    destroyForms();
    WebEngineControl::releaseSharedProfile();
    return rc;
}
