// SPDX-License-Identifier: GPL-3.0-or-later
// What a window shows of documents that are not HTML pages: a PDF and an
// image report their own address and a title (their file name when they
// have none), never the page before them.

#include "webkittests.h"

#include <QImage>
#include <QPainter>
#include <QPdfWriter>

class TestDocumentViews : public EngineTest {
    Q_OBJECT
private slots:
    void documentReportsItself_data();
    void documentReportsItself();
};

void TestDocumentViews::documentReportsItself_data()
{
    QTest::addColumn<QString>("engine");
    QTest::addColumn<QString>("file");
    for (const EngineSlot &e : engineSlots())
        for (const char *file : {"report.pdf", "picture.png"})
            QTest::addRow("%s %s", e.tag, file) << e.clsid << QString::fromLatin1(file);
}

void TestDocumentViews::documentReportsItself()
{
    QFETCH(QString, engine);
    QFETCH(QString, file);
    const QString before = fixture_.pages().page("before.html", "before");
    const QString path = QUrl(fixture_.pages().url(file)).toLocalFile();
    if (file.endsWith(".pdf")) {
        QPdfWriter pdf(path);
        QPainter painter(&pdf);
        painter.drawText(100, 100, QStringLiteral("document"));
    } else {
        QImage image(40, 30, QImage::Format_RGB32);
        image.fill(Qt::darkGreen);
        QVERIFY(image.save(path));
    }
    const QString address = fixture_.pages().url(file);
    TBrowserWindow *w = openOn(engine, before);
    QTRY_COMPARE_WITH_TIMEOUT(w->windowTitle(), QString("before"), kWait);
    MainForm->txtAddress->setText(address);
    MainForm->btnMove->click();
    QTRY_COMPARE_WITH_TIMEOUT(w->control()->LocationURL(), address, kWait);
    QTRY_VERIFY2_WITH_TIMEOUT(w->windowTitle().startsWith(file), qPrintable(w->windowTitle()), kWait);
    QCOMPARE(MainForm->txtAddress->text(), address);
}

int main(int argc, char *argv[])
{
    TestDocumentViews tc;
    return vexelTestMain(argc, argv, &tc);
}

#include "test_documentviews.moc"
