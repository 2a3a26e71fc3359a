// SPDX-License-Identifier: GPL-3.0-or-later
// Cookies and site storage survive a restart, also when the program ends the
// moment a page has set them: child processes share one user data folder;
// each reads what the one before it wrote, writes anew and exits at once.
//
//   test_persistence [--engine ie|gecko] [--rounds N]
//
// CTest runs a few rounds per engine; run it with more rounds (and a busy
// machine) to soak the exit path.

#include "browser/enginecontrol.h"
#include "browser/engines/webengine/webenginecontrol.h"
#include "httpserver.h"

#include <QApplication>
#include <QEventLoop>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

// One run of the program: load the page, wait until it says it is done,
// print its title and end straight away, the way a user quits.
static int child(int argc, char *argv[])
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vexel"));
    engines::registerBuiltInEngines();
    QString title;
    {
        QWidget window;
        window.resize(400, 300);
        window.show();
        EngineControl *control = engines::create(QString::fromLatin1(argv[2]), &window);
        control->resize(window.size());
        control->show();
        QEventLoop loop;
        QObject::connect(control, &EngineControl::TitleChange, &loop, [&](const QString &t) {
            if (t.startsWith(QLatin1String("done:"))) {
                title = t;
                loop.quit();
            }
        });
        // Only against a page that never answers: the parent reports it.
        QTimer::singleShot(60000, &loop, &QEventLoop::quit);
        control->Navigate(QString::fromLocal8Bit(argv[3]));
        loop.exec();
    }
    WebEngineControl::releaseSharedProfile();
    std::printf("%s\n", title.toUtf8().constData());
    std::fflush(stdout);
    return title.isEmpty() ? 1 : 0;
}

int main(int argc, char *argv[])
{
    if (argc >= 4 && QByteArray(argv[1]) == "--child")
        return child(argc, argv);

    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const qsizetype engineAt = args.indexOf(QLatin1String("--engine"));
    const bool gecko = engineAt > 0 && args.value(engineAt + 1) == QLatin1String("gecko");
    const qsizetype roundsAt = args.indexOf(QLatin1String("--rounds"));
    const int rounds = roundsAt > 0 ? args.value(roundsAt + 1).toInt() : 3;
    const QString engine = gecko ? engines::MOZILLA_CLSID : engines::IE_CLSID;

    // The page reports what the last run left, then leaves its own.
    HttpServer server;
    server.route("/", [](const HttpRequest &r) {
        const QByteArray round = r.path.mid(r.path.indexOf('=') + 1);
        const QByteArray script = "var found = 'done:' + document.cookie + '|' + localStorage.getItem('k');"
                                  "document.cookie = 'login=" + round + "; max-age=86400';"
                                  "localStorage.setItem('k', 'v" + round + "');"
                                  "document.title = found;";
        return HttpResponse{200, "OK", {{"Content-Type", "text/html"}}, "<script>" + script + "</script>", false};
    });
    QTemporaryDir home;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_DATA_HOME", home.path() + "/data");
    env.insert("XDG_CACHE_HOME", home.path() + "/cache");
    int passed = 0, failed = 0;
    for (int round = 0; round <= rounds; ++round) {
        QProcess p;
        p.setProcessEnvironment(env);
        p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p.start(QCoreApplication::applicationFilePath(),
                {"--child", engine, server.url("/?round=" + QByteArray::number(round)).toString()});
        // The server answers from this process's event loop while the child runs.
        QEventLoop loop;
        QObject::connect(&p, &QProcess::finished, &loop, &QEventLoop::quit);
        QTimer::singleShot(120000, &loop, &QEventLoop::quit);
        loop.exec();
        const QString got = QString::fromUtf8(p.readAllStandardOutput()).trimmed();
        const QString expected = round == 0 ? QStringLiteral("done:|null")
                                            : QStringLiteral("done:login=%1|v%1").arg(round - 1);
        if (got == expected) {
            ++passed;
        } else {
            ++failed;
            std::printf("FAIL: %s round %d: expected %s, got %s\n", gecko ? "gecko" : "ie", round,
                        qPrintable(expected), qPrintable(got));
        }
        if (p.state() != QProcess::NotRunning) {
            p.kill();
            p.waitForFinished();
        }
    }
    // A plain closing line CTest and CI read.
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed ? 1 : 0;
}
