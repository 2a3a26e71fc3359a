// SPDX-License-Identifier: GPL-3.0-or-later
// Failed loads in both engines show our page in Japanese, with the address
// asked for kept in the window; Reload tries again; a refused certificate
// is shown and may be accepted for the run.

#include "webkittests.h"

#include "browser/errorpage.h"
#include "tlsserver.h"

#include <QCryptographicHash>
#include <QLabel>
#include <QPushButton>
#include <QSslSocket>
#include <QTcpServer>
#include <QTcpSocket>
#include <QToolButton>

namespace {

// A name no resolver knows: ".invalid" is reserved for that.
const QString unresolvable = QStringLiteral("http://nowhere.invalid/");

// A port nobody listens on, which a server may take up later.
quint16 closedPort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost))
        qFatal("cannot listen on loopback");
    return probe.serverPort();
}

// Answers every request on a given port with a page titled "up".
class LateServer : public QTcpServer {
public:
    bool start(quint16 port)
    {
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *s = nextPendingConnection()) {
                connect(s, &QTcpSocket::readyRead, s, [s] {
                    s->readAll();
                    s->write("HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n<title>up</title>");
                    s->disconnectFromHost();
                });
            }
        });
        return listen(QHostAddress::LocalHost, port);
    }
};

// The certificate a server (in this thread) presents, read without the
// browser.
QString presentedFingerprint(const QUrl &url)
{
    QSslSocket socket;
    socket.setPeerVerifyMode(QSslSocket::VerifyNone);
    QSignalSpy encrypted(&socket, &QSslSocket::encrypted);
    socket.connectToHostEncrypted(url.host(), quint16(url.port()));
    if (!encrypted.wait(kWait))
        return QString();
    return QString::fromLatin1(socket.peerCertificate().digest(QCryptographicHash::Sha256).toHex(':').toUpper());
}

QString labelText(ErrorPage *page, const char *name)
{
    auto *label = page->findChild<QLabel *>(QString::fromLatin1(name));
    return label && label->isVisible() ? label->text() : QString();
}

}  // namespace

class TestErrorPages : public EngineTest {
    Q_OBJECT
private slots:
    void failedLoadShowsOurPage_data();
    void failedLoadShowsOurPage();
    void refusedCertificateMayBeAccepted_data() { engineRows(); }
    void refusedCertificateMayBeAccepted();
};

void TestErrorPages::failedLoadShowsOurPage_data()
{
    QTest::addColumn<QString>("engine");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("heading");
    struct Row {
        const char *kind;
        const char *heading;
    };
    const Row rows[] = {
        {"refused", "サーバーに接続できません"},
        {"missing file", "ファイルが見つかりません"},
        {"unknown name", "サーバーが見つかりません"},
    };
    for (const EngineSlot &e : engineSlots())
        for (const Row &row : rows)
            QTest::addRow("%s %s", e.tag, row.kind) << e.clsid << row.kind << QString::fromUtf8(row.heading);
}

void TestErrorPages::failedLoadShowsOurPage()
{
    QFETCH(QString, engine);
    QFETCH(QString, kind);
    QFETCH(QString, heading);
    const quint16 port = closedPort();
    const QString address = kind == "refused"        ? QStringLiteral("http://127.0.0.1:%1/").arg(port)
                            : kind == "missing file" ? fixture_.pages().url("missing.html")
                                                     : unresolvable;
    const QString before = fixture_.pages().page("before.html", "before");
    TBrowserWindow *w = openOn(engine, before);
    // That load has ended: a Gecko page's end may come after its progress
    // (the host looks at an undeclared page's bytes first).
    QSignalSpy first(w->control(), &EngineControl::LoadFinished);
    QTRY_VERIFY_WITH_TIMEOUT(first.contains(QVariantList{true}), kWait);
    QTRY_COMPARE_WITH_TIMEOUT(w->windowTitle(), QString("before"), kWait);
    QSignalSpy ended(w->control(), &EngineControl::LoadFinished);
    MainForm->txtAddress->setText(address);
    MainForm->btnMove->click();

    auto *page = w->control()->findChild<ErrorPage *>();
    QVERIFY(page);
    QTRY_VERIFY_WITH_TIMEOUT(page->isVisible(), kWait);
    QCOMPARE(labelText(page, "errorHeading"), heading);
    QVERIFY(labelText(page, "errorAddress").endsWith(address));
    QVERIFY(!labelText(page, "errorDetail").isEmpty());  // the engine's own words
    QVERIFY(!page->findChild<QPushButton *>("proceedButton")->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(ended.contains(QVariantList{false}), kWait);
    QVERIFY(!ended.contains(QVariantList{true}));
    // The window keeps what was asked for, also once the engine has done.
    QTRY_VERIFY_WITH_TIMEOUT(!MainForm->StopCtrl->isEnabled(), kWait);
    QCOMPARE(w->control()->LocationURL(), address);
    QCOMPARE(MainForm->txtAddress->text(), address);
    QCOMPARE(w->windowTitle(), address);
    QVERIFY(page->isVisible());

    // Reload tries again: a server that has come up meanwhile answers.
    if (kind == "refused") {
        LateServer server;
        QVERIFY(server.start(port));
        MainForm->ReLoadCtrl->click();
        QTRY_COMPARE_WITH_TIMEOUT(w->windowTitle(), QString("up"), kWait);
        QVERIFY(!page->isVisible());
        QCOMPARE(w->control()->LocationURL(), address);
    }
    // Back leaves the error for the page before.
    QTRY_VERIFY_WITH_TIMEOUT(MainForm->BackCtrl->isEnabled(), kWait);
    MainForm->BackCtrl->click();
    QTRY_COMPARE_WITH_TIMEOUT(w->windowTitle(), QString("before"), kWait);
    QVERIFY(!page->isVisible());
}

void TestErrorPages::refusedCertificateMayBeAccepted()
{
    QFETCH(QString, engine);
    SelfSignedServer server;
    QVERIFY(server.start());
    const QString address = server.url();
    const QString fingerprint = presentedFingerprint(QUrl(address));
    QVERIFY(!fingerprint.isEmpty());
    TBrowserWindow *w = openOn(engine, address);
    auto *page = w->control()->findChild<ErrorPage *>();
    QVERIFY(page);
    QTRY_VERIFY_WITH_TIMEOUT(page->isVisible(), kWait);
    QCOMPARE(labelText(page, "errorHeading"), QString("この接続は安全ではありません"));
    QVERIFY2(labelText(page, "certificateProblems").contains("自己署名"), qPrintable(labelText(page, "certificateProblems")));
    const QString details = labelText(page, "certificateDetails");
    QVERIFY2(details.contains(fingerprint), qPrintable(details));
    QVERIFY(details.contains("127.0.0.1"));  // its subject
    QTRY_VERIFY_WITH_TIMEOUT(!MainForm->StopCtrl->isEnabled(), kWait);
    QCOMPARE(MainForm->txtAddress->text(), address);
    QCOMPARE(w->windowTitle(), address);
    QCOMPARE(server.served(), 0);

    // Reload alone asks again; only the button lets the page through.
    QSignalSpy ended(w->control(), &EngineControl::LoadFinished);
    MainForm->ReLoadCtrl->click();
    QTRY_VERIFY_WITH_TIMEOUT(!ended.isEmpty(), kWait);
    QTRY_VERIFY_WITH_TIMEOUT(page->isVisible(), kWait);
    QCOMPARE(labelText(page, "errorHeading"), QString("この接続は安全ではありません"));
    QCOMPARE(server.served(), 0);
    auto *proceed = page->findChild<QPushButton *>("proceedButton");
    QVERIFY(proceed->isVisible());
    proceed->click();
    QTRY_COMPARE_WITH_TIMEOUT(w->windowTitle(), QString("Secret"), kWait);
    QVERIFY(!page->isVisible());
    QVERIFY(server.served() > 0);
}

int main(int argc, char *argv[])
{
    // Chromium's resolver would ask the network about the reserved name.
    QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    flags += " --host-resolver-rules=\"MAP nowhere.invalid ~NOTFOUND\"";
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags.trimmed());
    TestErrorPages tc;
    return vexelTestMain(argc, argv, &tc);
}

#include "test_errorpages.moc"
