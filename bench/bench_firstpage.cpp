// SPDX-License-Identifier: GPL-3.0-or-later
// First page: the time from process start until a local page's load has
// finished (its load event reached the page's server), for "vexel URL" in
// each engine slot and for a bare window of the same engine; median of
// fresh starts, taken interleaved so that all share the machine's state.

#include "benchsupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>

namespace {

const int kRuns = 7;
const int kTimeoutMs = 120000;

// Serves the page; the page asks for /loaded from its load event.
class PageServer : public QObject {
    Q_OBJECT
public:
    PageServer()
    {
        server_.listen(QHostAddress::LocalHost);
        connect(&server_, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *s = server_.nextPendingConnection()) {
                connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
                connect(s, &QTcpSocket::readyRead, this, [this, s] {
                    const QByteArray request = s->peek(s->bytesAvailable());
                    if (!request.contains("\r\n\r\n"))
                        return;
                    s->readAll();
                    if (request.startsWith("GET /loaded")) {
                        s->write("HTTP/1.1 204 No Content\r\nConnection: close\r\n\r\n");
                        emit loaded();
                    } else {
                        const QByteArray page =
                            "<!DOCTYPE html><html><head><title>first page</title></head>"
                            "<body onload=\"fetch('/loaded')\"><h1>First page</h1><p>A local page.</p></body></html>";
                        s->write("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nConnection: close\r\n"
                                 "Content-Length: " + QByteArray::number(page.size()) + "\r\n\r\n" + page);
                    }
                    s->disconnectFromHost();
                });
            }
        });
    }
    QString url() const { return QStringLiteral("http://127.0.0.1:%1/").arg(server_.serverPort()); }

signals:
    void loaded();

private:
    QTcpServer server_;
};

struct Contender {
    const char *figure;
    QString program;
    QString directory;
    QList<double> ms;
};

// A portable copy of Vexel whose settings check the given engine slot.
QString vexelCopy(const QString &root, const QString &name, const QByteArray &engine)
{
    const QString bin = QCoreApplication::applicationDirPath();
    const QString dir = root + QLatin1Char('/') + name;
    QDir().mkpath(dir);
    for (const char *file : {"vexel", "vexel-webengine.so", "vexel-webkit"})
        QFile::copy(bin + QLatin1Char('/') + QLatin1String(file), dir + QLatin1Char('/') + QLatin1String(file));
    writeBenchFile(dir + QStringLiteral("/config.ini"),
                   "[General]\r\nLastEngine=" + engine + "\r\n[Option_Main]\r\nMozilla=1\r\n");
    return dir + QStringLiteral("/vexel");
}

double runOnce(PageServer &server, const Contender &c, const QProcessEnvironment &env)
{
    QProcess process;
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(c.directory);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QEventLoop loop;
    QTimer timeout;
    timeout.setSingleShot(true);
    double ms = -1;
    QElapsedTimer clock;
    auto finish = [&] { loop.quit(); };
    QObject::connect(&server, &PageServer::loaded, &loop, [&] {
        ms = clock.nsecsElapsed() / 1e6;
        finish();
    });
    QObject::connect(&timeout, &QTimer::timeout, &loop, finish);
    QObject::connect(&process, &QProcess::finished, &loop, finish);
    clock.start();
    process.start(c.program, {server.url()});
    timeout.start(kTimeoutMs);
    loop.exec();
    process.kill();
    process.waitForFinished();
    return ms;
}

}  // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    PageServer server;
    QTemporaryDir root;
    // Engine data, settings and the running-copy socket of this run only.
    const QString runtime = root.path() + QStringLiteral("/runtime");
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    for (const char *var : {"XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_CONFIG_HOME"})
        env.insert(QLatin1String(var), root.path() + QLatin1Char('/') + QLatin1String(var));

    const QString bin = QCoreApplication::applicationDirPath();
    QList<Contender> contenders = {
        {"firstpage.vexel_ie_ms", vexelCopy(root.path(), "ie", "IE"), root.path(), {}},
        {"firstpage.baseline_webengine_ms", bin + "/firstpage_webengine", root.path(), {}},
        {"firstpage.vexel_gecko_ms", vexelCopy(root.path(), "gecko", "Gecko"), root.path(), {}},
        {"firstpage.baseline_webkit_ms", bin + "/firstpage_webkit", root.path(), {}},
    };
    for (int run = 0; run < kRuns; ++run) {
        // A different one goes first each round.
        for (int i = 0; i < contenders.size(); ++i) {
            Contender &c = contenders[(run + i) % contenders.size()];
            const double ms = runOnce(server, c, env);
            if (ms < 0) {
                std::fprintf(stderr, "%s: the page did not finish loading\n", c.figure);
                return 1;
            }
            c.ms.append(ms);
        }
    }
    for (const Contender &c : contenders)
        printFigure(c.figure, median(c.ms), "ms");
    std::printf("firstpage.ratio_ie %.2f x\n", median(contenders[0].ms) / median(contenders[1].ms));
    std::printf("firstpage.ratio_gecko %.2f x\n", median(contenders[2].ms) / median(contenders[3].ms));
    return 0;
}

#include "bench_firstpage.moc"
