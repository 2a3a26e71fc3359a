// SPDX-License-Identifier: GPL-3.0-or-later
// Printing in both engines: the page as the engine lays it out for print,
// written to PDF; a page's own print request reaching the frame; and our
// print preview saving the engine's PDF. One row per engine ("ie", and
// "gecko" where the engine host is built).

#include "webkittests.h"

#include "browser/errorpage.h"
#include "browser/pageprinter.h"
#include "whenopen.h"

#include <QMenu>
#include <QPdfDocument>
#include <QPdfSelection>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QSignalSpy>
#include <QTemporaryDir>

namespace {

const QByteArray receipt = "<h1>Receipt 1234</h1><p>領収書 合計 540 円</p>";

// The text of every page of a PDF file; empty when it is none.
QString pdfText(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || !file.read(5).startsWith("%PDF"))
        return {};
    QPdfDocument document;
    if (document.load(path) != QPdfDocument::Error::None)
        return {};
    QString text;
    for (int page = 0; page < document.pageCount(); ++page)
        text += document.getAllText(page).text() + QLatin1Char('\n');
    return text.simplified();
}

}  // namespace

class TestPrinting : public EngineTest {
    Q_OBJECT
private slots:
    void pageToPdf_data();
    void pageToPdf();
    void pageAsksToPrint_data();
    void pageAsksToPrint();
    void previewSavesPdf_data() { engineRows(); }
    void previewSavesPdf();
    void hungPageIsNotHidden_data() { engineRows(); }
    void hungPageIsNotHidden();
};

void TestPrinting::pageToPdf_data()
{
    QTest::addColumn<QString>("engine");
    QTest::addColumn<bool>("pageThere");
    for (const EngineSlot &e : engineSlots()) {
        QTest::addRow("%s", e.tag) << e.clsid << true;
        // A failed load shows our page, not the engine's: nothing to print.
        QTest::addRow("%s failed load", e.tag) << e.clsid << false;
    }
}

// The file is the engine's print layout: a PDF holding the page's text, or
// a failure said as one.
void TestPrinting::pageToPdf()
{
    QFETCH(QString, engine);
    QFETCH(bool, pageThere);
    const QString url = pageThere ? fixture_.pages().page("receipt.html", "receipt", receipt)
                                  : fixture_.pages().url("missing.html");
    TBrowserWindow *w = openOn(engine, url);
    if (pageThere)
        QTRY_COMPARE_WITH_TIMEOUT(w->windowTitle(), QString("receipt"), kWait);
    else
        QTRY_VERIFY_WITH_TIMEOUT(w->control()->findChild<ErrorPage *>()->isVisible(), kWait);
    QTemporaryDir out;
    const QString path = out.filePath("page.pdf");
    QSignalSpy printed(w->control(), &EngineControl::PdfPrinted);
    w->control()->PrintToPdf(path);
    QTRY_COMPARE_WITH_TIMEOUT(printed.size(), 1, kWait);
    QCOMPARE(printed.at(0).at(0).toString(), path);
    QCOMPARE(printed.at(0).at(1).toBool(), pageThere);
    if (pageThere) {
        const QString text = pdfText(path);
        QVERIFY2(text.contains("Receipt 1234") && text.contains("領収書"), qPrintable(text));
    }
}

void TestPrinting::pageAsksToPrint_data()
{
    QTest::addColumn<QString>("engine");
    QTest::addColumn<bool>("fromMenu");  // the page's context menu, else window.print()
    for (const EngineSlot &e : engineSlots()) {
        QTest::addRow("%s script", e.tag) << e.clsid << false;
        QTest::addRow("%s menu", e.tag) << e.clsid << true;
    }
}

// window.print() and the page's "印刷..." ask the frame, which prints; the
// page goes on meanwhile.
void TestPrinting::pageAsksToPrint()
{
    QFETCH(QString, engine);
    QFETCH(bool, fromMenu);
    TBrowserWindow *w = openOn(engine, fixture_.pages().page("asks.html", "ready",
                                                           "<p>asks</p><script>onclick = () => { print();"
                                                           " document.title = 'asked'; };</script>"));
    QTRY_COMPARE_WITH_TIMEOUT(w->windowTitle(), QString("ready"), kWait);
    // The window's print flow would open a preview: only the request is seen here.
    QObject::disconnect(w->control(), &EngineControl::PrintRequested, w, nullptr);
    QSignalSpy asked(w->control(), &EngineControl::PrintRequested);
    if (!fromMenu) {
        QVERIFY(clickAt(onScreen(w->control(), QPoint(60, 25))));
        QTRY_COMPARE_WITH_TIMEOUT(asked.size(), 1, kWait);
        QTRY_COMPARE_WITH_TIMEOUT(w->windowTitle(), QString("asked"), kWait);
        return;
    }
    // A page just loaded may not take clicks yet: until its menu opens.
    const auto menuOpen = [] { return QApplication::activePopupWidget() || !popupMenus().isEmpty(); };
    QVERIFY(QTest::qWaitFor([&] {
        return movePointer(onScreen(w->control(), QPoint(100, 100))) && xdotool({"click", "3"}) &&
               QTest::qWaitFor(menuOpen, 1000);
    }, kWait));
    if (isGecko(engine)) {
        // GTK's menu, by keys: 再読み込み, then 印刷... (back and forward are disabled).
        QVERIFY(xdotool({"key", "--delay", "50", "Home", "Down", "Return"}));
    } else {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        QAction *print = menu ? menu->findChild<QAction *>("printAction") : nullptr;
        QVERIFY(print && menu->actions().contains(print));
        QCOMPARE(print->text(), QString("印刷..."));
        print->trigger();
        menu->close();
    }
    QTRY_COMPARE_WITH_TIMEOUT(asked.size(), 1, kWait);
    QTRY_VERIFY_WITH_TIMEOUT(popupMenus().isEmpty() && !QApplication::activePopupWidget(), kWait);
}

// Our preview shows the engine's pages, and "PDF に保存" keeps the engine's
// file (its text too) under the page's title in the folder chosen.
void TestPrinting::previewSavesPdf()
{
    QFETCH(QString, engine);
    TBrowserWindow *w = openOn(engine, fixture_.pages().page("receipt.html", "receipt", receipt));
    QTRY_COMPARE_WITH_TIMEOUT(w->windowTitle(), QString("receipt"), kWait);
    QTemporaryDir out;
    QString proposed;
    pagedialogs::savePathChooser() = [&](QWidget *, const QString &path) {
        proposed = QFileInfo(path).fileName();
        return out.filePath("saved.pdf");
    };
    int pages = 0;
    WhenOpen preview([&](QPrintPreviewDialog *dialog) {
        QCOMPARE(dialog->windowTitle(), QString("印刷プレビュー"));
        pages = dialog->findChild<QPrintPreviewWidget *>()->pageCount();
        QAction *save = dialog->findChild<QAction *>("savePdfAction");
        QVERIFY(save);
        QCOMPARE(save->text(), QString("PDF に保存"));
        save->trigger();
    });
    pageprinter::printPage(w->control(), w);
    QTRY_VERIFY_WITH_TIMEOUT(preview.done(), kWait);
    QVERIFY(pages >= 1);
    QCOMPARE(proposed, QString("receipt.pdf"));
    const QString text = pdfText(out.filePath("saved.pdf"));
    QVERIFY2(text.contains("Receipt 1234"), qPrintable(text));
    // The print has ended: the next one starts.
    QTRY_VERIFY_WITH_TIMEOUT(!w->control()->findChild<QObject *>("printJob"), kWait);
}

// A page that stops answering is never laid out for print: its window says
// so meanwhile; the print, stopped with the page, fails as one, and the
// next print of the page works.
void TestPrinting::hungPageIsNotHidden()
{
    QFETCH(QString, engine);
    ErrorRecorder errors;
    const QString url = fixture_.pages().page("hangs.html", "calm",
                                              "<p>hangs</p><script>addEventListener('load', () => {"
                                              " if (location.hash == '#hang') setTimeout(() => { for (;;) {} }, 0);"
                                              " });</script>");
    TBrowserWindow *w = openOn(engine, url + "#hang");
    QTRY_COMPARE_WITH_TIMEOUT(w->windowTitle(), QString("calm"), kWait);
    pageprinter::printPage(w->control(), w);
    QTRY_VERIFY_WITH_TIMEOUT(w->HungBar->isVisible(), 2 * kWait);
    w->btnStopPage->click();
    QTRY_VERIFY_WITH_TIMEOUT(w->HungBar->isHidden(), kWait);
    QTRY_COMPARE_WITH_TIMEOUT(errors.messages, QStringList{errorBoxText(pageprinter::failedText())}, kWait);

    w->control()->Navigate(url);
    QTRY_VERIFY_WITH_TIMEOUT(w->control()->LocationURL() == url && w->windowTitle() == "calm", kWait);
    WhenOpen preview([](QPrintPreviewDialog *) {});
    pageprinter::printPage(w->control(), w);
    QTRY_VERIFY_WITH_TIMEOUT(preview.done(), kWait);
}

VEXEL_TEST_MAIN(TestPrinting)
#include "test_printing.moc"
