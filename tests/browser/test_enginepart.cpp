// SPDX-License-Identifier: GPL-3.0-or-later
// The Internet Explorer slot's engine is mapped only into a program that
// opens one of its windows: "vexel URL" run as a child from a copy of the
// program in a folder of the case's own, its page served here.

#include "httpserver.h"
#include "testsupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QtTest>

class TestEnginePart : public QObject {
    Q_OBJECT
private slots:
    void mappedOnlyWithItsWindow_data()
    {
        QTest::addColumn<QByteArray>("engine");
        QTest::addColumn<bool>("mapped");
        QTest::newRow("Internet Explorer") << QByteArray("IE") << true;
        if (QFile::exists(QCoreApplication::applicationDirPath() + "/vexel-webkit"))
            QTest::newRow("Gecko") << QByteArray("Gecko") << false;
    }

    void mappedOnlyWithItsWindow()
    {
        QFETCH(QByteArray, engine);
        QFETCH(bool, mapped);
        TestDirs dirs;
        RuntimeDir runtime;
        const QDir bin(QCoreApplication::applicationDirPath());
        for (const char *file : {"vexel", "vexel-webengine.so", "vexel-webkit"})
            if (bin.exists(file))
                QVERIFY(QFile::copy(bin.filePath(file), dirs.programDir() + file));
        dirs.writeIni("[General]\r\nLastEngine=" + engine + "\r\n[Option_Main]\r\nMozilla=1\r\n");
        HttpServer server;
        server.route("/", [](const HttpRequest &) {
            HttpResponse r;
            r.headers = {{"Content-Type", "text/html"}};
            r.body = "<title>part</title><body onload=\"fetch('/loaded')\">part</body>";
            return r;
        });
        server.route("/loaded", [](const HttpRequest &) { return HttpResponse{204, "No Content", {}, {}, false}; });

        // User data of the row's own: a killed run leaves windows to restore.
        QTemporaryDir home;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_CONFIG_HOME"})
            env.insert(name, home.filePath(name));
        QProcess vexel;
        vexel.setProcessEnvironment(env);
        vexel.setProcessChannelMode(QProcess::ForwardedChannels);
        vexel.start(dirs.programDir() + "vexel", {server.url("/").toString()});
        QVERIFY(vexel.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(server.requestCount("/loaded") > 0, 60000);
        QFile maps(QStringLiteral("/proc/%1/maps").arg(vexel.processId()));
        QVERIFY(maps.open(QIODevice::ReadOnly));
        const QByteArray mappings = maps.readAll();
        vexel.kill();
        vexel.waitForFinished();
        for (const char *library : {"libQt6WebEngineCore", "libQt6Quick.so", "libQt6Qml.so"})
            QCOMPARE(mappings.contains(library), mapped);
    }
};

VEXEL_TEST_MAIN(TestEnginePart)
#include "test_enginepart.moc"
