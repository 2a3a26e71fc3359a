// SPDX-License-Identifier: GPL-3.0-or-later
// The downloads list and its window, with both engines: what a download
// leaves in the list, read again as at the next start; a download that
// stops (the server fails, the user cancels) and is tried again; a damaged
// list file.

#include "webkittests.h"

#include "app/downloadsform.h"
#include "app/toolbars.h"
#include "browser/downloadlist.h"
#include "httpserver.h"

#include <QTreeWidget>

namespace {

const DownloadList::Entry *entryAt(const DownloadList &list, const QString &path)
{
    const QList<DownloadList::Entry> all = list.entries();
    for (const DownloadList::Entry &e : all)
        if (e.path == path)
            return list.find(e.id);
    return nullptr;
}

QStringList statesAt(const DownloadList &list, const QString &source)
{
    QStringList states;
    for (const DownloadList::Entry &e : list.entries())
        if (e.source.toString() == source)
            states << DownloadList::stateText(e.state);
    return states;
}

}  // namespace

class TestDownloads : public EngineTest {
    Q_OBJECT
private slots:
    void listedAcrossARestart_data() { engineRows(); }
    void listedAcrossARestart();
    void stoppedAndTriedAgain_data();
    void stoppedAndTriedAgain();
    void damagedListFile_data();
    void damagedListFile();
};

void TestDownloads::listedAcrossARestart()
{
    QFETCH(QString, engine);
    HttpServer server;
    const QByteArray content(300000, 'x');
    server.route("/get", [&](const HttpRequest &) {
        return HttpResponse{200, "OK",
                            {{"Content-Type", "application/octet-stream"},
                             {"Content-Disposition", "attachment; filename=\"report.bin\""}},
                            content, false};
    });
    QTemporaryDir target;
    const QString path = target.filePath("saved.bin");
    pagedialogs::savePathChooser() = [&](QWidget *, const QString &) { return path; };
    openOn(engine, server.url("/get").toString());
    DownloadList &list = DownloadList::instance();
    QTRY_VERIFY_WITH_TIMEOUT(entryAt(list, path) && entryAt(list, path)->state == DownloadList::State::Completed,
                             kWait);
    QCOMPARE(entryAt(list, path)->size, qint64(content.size()));

    // As the next start reads it.
    const DownloadList again(list.file());
    const DownloadList::Entry *read = entryAt(again, path);
    QVERIFY(read);
    QCOMPARE(read->state, DownloadList::State::Completed);
    QCOMPARE(read->name, QString("saved.bin"));
    QCOMPARE(read->size, qint64(content.size()));
    QCOMPARE(read->source, server.url("/get"));

    // The status bar's message opens the window, the newest download first.
    QTRY_COMPARE(MainForm->StatusBar1->panelText(), QString("saved.bin のダウンロードが完了しました"));
    QTest::mouseClick(MainForm->StatusBar1, Qt::LeftButton);
    auto *form = MainForm->findChild<TDownloadsForm *>();
    QVERIFY(form && form->isVisible());
    QCOMPARE(form->windowTitle(), QString("ダウンロード"));
    const QTreeWidgetItem *top = form->lstDownloads->topLevelItem(0);
    QCOMPARE(top->text(0), QString("saved.bin"));
    QCOMPARE(top->text(1), QString("292 KB"));
    QCOMPARE(top->text(4), QString("完了"));
    QVERIFY(form->btnOpen->isEnabled());
    QVERIFY(!form->btnRetry->isEnabled());
    QVERIFY(!form->btnCancel->isEnabled());
    QVERIFY(QFile::exists(path));
}

void TestDownloads::stoppedAndTriedAgain_data()
{
    QTest::addColumn<QString>("engine");
    QTest::addColumn<bool>("userCancels");  // else the server fails
    QTest::addColumn<QString>("state");
    for (const EngineSlot &e : engineSlots()) {
        QTest::addRow("%s, the server fails", e.tag) << e.clsid << false << "失敗";
        QTest::addRow("%s, the user cancels", e.tag) << e.clsid << true << "キャンセル";
    }
}

void TestDownloads::stoppedAndTriedAgain()
{
    QFETCH(QString, engine);
    QFETCH(bool, userCancels);
    QFETCH(QString, state);
    HttpServer server;
    // Part of the file, then nothing more; a failure when asked again by
    // the engine itself; whole when the user tries again.
    bool retried = false;
    server.route("/file", [&](const HttpRequest &) {
        const bool first = server.requestCount("/file") == 1;
        if (!first && !retried)
            return HttpResponse{500, "Internal Server Error", {}, "failed", false};
        return HttpResponse{200, "OK",
                            {{"Content-Type", "application/octet-stream"},
                             {"Content-Disposition", "attachment; filename=\"f.bin\""},
                             {"Content-Length", "100000"}},
                            QByteArray(first ? 1000 : 100000, 'f'), first};
    });
    const QString source = server.url("/file").toString();
    QTemporaryDir target;
    int asked = 0;
    pagedialogs::savePathChooser() = [&](QWidget *, const QString &) {
        return target.filePath(QStringLiteral("f%1.bin").arg(++asked));
    };
    openOn(engine, source);
    DownloadList &list = DownloadList::instance();
    QTRY_VERIFY_WITH_TIMEOUT(entryAt(list, target.filePath("f1.bin")) &&
                                 entryAt(list, target.filePath("f1.bin"))->received > 0,
                             kWait);
    TDownloadsForm *form = TDownloadsForm::showFor(MainForm);
    const int first = entryAt(list, target.filePath("f1.bin"))->id;
    form->selectId(first);
    QCOMPARE(form->lstDownloads->currentItem()->text(4), QString("進行中"));
    QVERIFY(form->btnCancel->isEnabled());
    QVERIFY(!form->btnRemove->isEnabled());
    if (userCancels)
        form->btnCancel->click();
    else
        server.dropConnections();
    QTRY_COMPARE_WITH_TIMEOUT(statesAt(list, source), QStringList{state}, kWait);
    QCOMPARE(form->lstDownloads->currentItem()->text(4), state);

    // Tried again: a new download of the same address, asked where to go.
    QVERIFY(form->btnRetry->isEnabled());
    retried = true;
    form->btnRetry->click();
    QTRY_COMPARE_WITH_TIMEOUT(statesAt(list, source), (QStringList{state, "完了"}), kWait);
    QCOMPARE(asked, 2);
    QCOMPARE(QFileInfo(target.filePath("f2.bin")).size(), 100000);

    // Removed from the list, the file stays.
    form->selectId(entryAt(list, target.filePath("f2.bin"))->id);
    form->btnRemove->click();
    QCOMPARE(statesAt(list, source), QStringList{state});
    QCOMPARE(statesAt(DownloadList(list.file()), source), QStringList{state});
    QVERIFY(QFile::exists(target.filePath("f2.bin")));
}

void TestDownloads::damagedListFile_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("states");
    QTest::newRow("no list") << QByteArray("\x00\xff{{[", 6) << QStringList();
    QTest::newRow("cut short") << QByteArray(R"({"downloads":[{"path":"/d/a.bin","state":"comp)") << QStringList();
    QTest::newRow("another shape") << QByteArray(R"([{"path":"/d/a.bin"}])") << QStringList();
    QTest::newRow("odd entries") << QByteArray(R"({"downloads":[1,"x",null,{"path":"d/relative.bin"},{"path":""},)"
                                               R"({"path":"/d/ok.bin","size":-5,"received":1e300,"state":"?"}]})")
                                 << QStringList{"失敗"};
    // Still running when the program ended: it did not finish.
    QTest::newRow("running at the end")
        << QByteArray(R"({"downloads":[{"path":"/d/a.bin","state":"running"},{"path":"/d/b.bin","state":"completed"}]})")
        << QStringList{"失敗", "完了"};
}

void TestDownloads::damagedListFile()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, states);
    QTemporaryDir dir;
    QFile file(dir.filePath("downloads.json"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    file.close();
    const DownloadList list(file.fileName());
    QStringList read;
    for (const DownloadList::Entry &e : list.entries()) {
        read << DownloadList::stateText(e.state);
        QVERIFY(e.size >= 0 && e.received >= 0);
    }
    QCOMPARE(read, states);
}

int main(int argc, char *argv[])
{
    TestDownloads tc;
    return vexelTestMain(argc, argv, &tc);
}

#include "test_downloads.moc"
