// SPDX-License-Identifier: GPL-3.0-or-later
// Vexel: a multiple-document web browser frame over two web engines.

#include "app/commandline.h"
#include "app/firstwindow.h"
#include "app/forms.h"
#include "app/instancelink.h"
#include "app/mainform.h"
#include "app/windowsession.h"
#include "core/programdir.h"
#include "core/renderpath.h"
#include "browser/enginecontrol.h"
#include "browser/engines/webenginepart.h"
#include "browser/engines/webkitgtk/webkithost.h"

#include <QApplication>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <cstdio>

int main(int argc, char *argv[])
{
    // The bytes as given: a file name need not be text.
    QList<QByteArray> arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QByteArray(argv[i]));
    const CommandLine commandLine = parseCommandLine(arguments);
    switch (commandLine.action) {
    case CommandLine::Help:
        std::fputs(helpText().toLocal8Bit().constData(), stdout);
        return 0;
    case CommandLine::Version:
        std::fputs(versionText(QStringLiteral(VEXEL_VERSION)).toLocal8Bit().constData(), stdout);
        return 0;
    case CommandLine::Fail:
        std::fputs(QStringLiteral("vexel: %1\n詳しくは vexel --help を見てください。\n")
                       .arg(commandLine.error)
                       .toLocal8Bit()
                       .constData(),
                   stderr);
        return 2;
    case CommandLine::Start:
        break;
    }
#ifdef VEXEL_INSTALLED
    setInstalledLayout(true);
#endif
    // Read against the directory the user started from, before anything
    // changes it.
    QStringList addresses = resolvedAddresses(commandLine.addresses);
    // "--private" alone opens one empty private window.
    if (commandLine.privateWindows && addresses.isEmpty())
        addresses.append(QString());

    // Hardware or software drawing; this must precede the application object.
    rendering::applyBeforeApplication();
    webenginepart::prepareProcess();
    // The Gekko slot embeds X windows: on a Wayland desktop run on XWayland.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        !qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb");
    // The arguments are the program's own: neither Qt nor Chromium reads them.
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
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
    QGuiApplication::setDesktopFileName(QStringLiteral("vexel"));
    if (!addresses.isEmpty()) {
        switch (InstanceLink::forward(addresses, commandLine.privateWindows)) {
        case InstanceLink::Delivered:
            return 0;
        case InstanceLink::NoAnswer:
            std::fputs("vexel: 起動中の Vexel が応答しません。\n", stderr);
            return 1;
        case InstanceLink::NoCopy:
            break;
        }
    }
    // The first window's engine starts while the frame is built.
    const FirstWindow firstWindow = firstWindowEngine(addresses);
    if (firstWindow == FirstWindow::Gecko)
        WebKitHost::startEarly(!commandLine.privateWindows);
    engines::registerBuiltInEngines();
    createForms();
    if (firstWindow == FirstWindow::InternetExplorer) {
        // The frame goes to the screen first: loading Qt WebEngine and
        // starting its processes takes longer than building the frame.
        QGuiApplication::sync();
        webenginepart::warmUp(commandLine.privateWindows);
    }
    InstanceLink link;
    link.listen();
    // Queued: a question about many windows is not asked from inside the
    // link's socket handler.
    QObject::connect(&link, &InstanceLink::addressesReceived, MainForm->WindowSession,
                     &TWindowSession::openRequested, Qt::QueuedConnection);
    if (!addresses.isEmpty())
        MainForm->WindowSession->openRequested(addresses, commandLine.privateWindows);
    QObject::connect(MainForm, &TMainForm::closed, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    const int rc = app.exec();
    destroyForms();
    webenginepart::release();
    return rc;
}
