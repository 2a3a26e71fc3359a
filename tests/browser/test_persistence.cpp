// Cookies and site storage of the Internet Explorer slot's engine survive a
// restart: two runs of a child process share one user data folder.

#include "browser/enginecontrol.h"
#include "browser/engines/webengine/webenginecontrol.h"
#include "httpserver.h"

#include <QApplication>
#include <QEventLoop>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebEngineView>
#include <cstdio>

// One run of the program: load the page, wait for its title, print it.
static int child(int argc, char *argv[])
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vexel"));
    engines::registerBuiltInEngines();
    QString title;
    {
        QWidget window;
        EngineControl *control = engines::create(engines::IE_CLSID, &window);
        QEventLoop loop;
        QObject::connect(control, &EngineControl::TitleChange, &loop, [&](const QString &t) {
            if (t.startsWith(QLatin1String("done:"))) {
                title = t;
                loop.quit();
            }
        });
        QTimer::singleShot(30000, &loop, &QEventLoop::quit);
        control->Navigate(QString::fromLocal8Bit(argv[2]));
        loop.exec();
    }
    WebEngineControl::releaseSharedProfile();
    std::printf("%s\n", title.toUtf8().constData());
    return title.isEmpty() ? 1 : 0;
}

int main(int argc, char *argv[])
{
    if (argc >= 3 && QByteArray(argv[1]) == "--child")
        return child(argc, argv);

    QCoreApplication app(argc, argv);
    HttpServer server;
    server.route("/", [](const HttpRequest &r) {
        const bool second = r.path.contains("read");
        const QByteArray script =
            second ? "document.title = 'done:' + document.cookie + '|' + localStorage.getItem('k');"
                   : "document.cookie = 'login=yes; max-age=86400'; localStorage.setItem('k', 'kept');"
                     "document.title = 'done:written';";
        return HttpResponse{200, "OK", {}, "<script>" + script + "</script>", false};
    });
    QTemporaryDir home;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_DATA_HOME", home.path() + "/data");
    env.insert("XDG_CACHE_HOME", home.path() + "/cache");
    env.insert("QT_QPA_PLATFORM", "offscreen");
    QStringList titles;
    int failed = 0;
    for (const QString &phase : {QStringLiteral("write"), QStringLiteral("read")}) {
        QProcess p;
        p.setProcessEnvironment(env);
        p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p.start(QCoreApplication::applicationFilePath(), {"--child", server.url("/?" + phase).toString()});
        // The server answers from this process's event loop while the child runs.
        QEventLoop loop;
        QObject::connect(&p, &QProcess::finished, &loop, &QEventLoop::quit);
        QTimer::singleShot(60000, &loop, &QEventLoop::quit);
        loop.exec();
        titles << QString::fromUtf8(p.readAllStandardOutput()).trimmed();
    }
    const QString expected = QStringLiteral("done:login=yes|kept");
    if (titles.value(0) != QLatin1String("done:written") || titles.value(1) != expected) {
        std::printf("FAIL: persistence: got %s\n", qPrintable(titles.join(QLatin1String(" / "))));
        failed = 1;
    }
    // A plain closing line CTest and CI read.
    std::printf("%d passed, %d failed\n", 1 - failed, failed);
    return failed;
}
