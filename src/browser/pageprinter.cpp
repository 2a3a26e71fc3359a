// SPDX-License-Identifier: GPL-3.0-or-later
#include "pageprinter.h"

#include "browserwindow.h"
#include "core/atomicfile.h"
#include "core/errors.h"
#include "core/placement.h"
#include "enginecontrol.h"
#include "pagedialogs.h"

#include <QFile>
#include <QPainter>
#include <QPdfDocument>
#include <QPointer>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QTemporaryDir>
#include <QToolBar>
#include <QUrl>

namespace pageprinter {

QString failedText()
{
    return QStringLiteral("このページを印刷できませんでした");
}

namespace {

// One print of one page, from the engine's PDF to the preview's end. A child
// of the control: a window that closes takes its print along.
class PrintJob : public QObject {
public:
    PrintJob(EngineControl *control, QWidget *parent)
        : QObject(control), control_(control), parent_(parent), pdf_(folder_.filePath(QStringLiteral("page.pdf"))),
          printer_(QPrinter::HighResolution)
    {
        setObjectName(QStringLiteral("printJob"));
        for (QWidget *w = control; w; w = w->parentWidget())
            if ((window_ = qobject_cast<TBrowserWindow *>(w)))
                break;
    }

    ~PrintJob() override
    {
        delete preview_;
        // Later: the window may be going itself (and take the job along);
        // then the call goes with it.
        if (window_ && holding_)
            QMetaObject::invokeMethod(window_, [w = window_.data()] { w->holdHangWatch(false); }, Qt::QueuedConnection);
    }

    // The preview, once the engine's file is there; null before.
    QPrintPreviewDialog *preview() const { return preview_; }

    void start()
    {
        if (!folder_.isValid())
            throw VexelError(failedText());
        connect(control_, &EngineControl::PdfPrinted, this, guarded([this](const QString &path, bool ok) {
                    if (path == pdf_)
                        printed(ok);
                }));
        control_->PrintToPdf(pdf_);
    }

private:
    // Ends the job whatever happens below; a failure is reported.
    void printed(bool ok)
    {
        disconnect(control_, &EngineControl::PdfPrinted, this, nullptr);
        if (!ok || document_.load(pdf_) != QPdfDocument::Error::None || document_.pageCount() < 1) {
            deleteLater();
            throw VexelError(failedText());
        }
        showPreview();
    }

    void showPreview()
    {
        // The paper of the engine's first page, all of it: the margins are
        // in the PDF already.
        printer_.setPageLayout(QPageLayout(QPageSize(document_.pagePointSize(0), QPageSize::Point),
                                           QPageLayout::Portrait, QMarginsF()));
        printer_.setFullPage(true);
        printer_.setDocName(title());
        printer_.setFromTo(1, document_.pageCount());
        preview_ = new QPrintPreviewDialog(&printer_, parent_ ? parent_.data() : control_.data());
        preview_->setObjectName(QStringLiteral("PrintPreview"));
        preview_->setWindowTitle(QStringLiteral("印刷プレビュー"));
        preview_->setAttribute(Qt::WA_DeleteOnClose);
        connect(preview_, &QPrintPreviewDialog::paintRequested, this,
                guarded([this](QPrinter *printer) { paint(printer); }));
        if (auto *bar = preview_->findChild<QToolBar *>()) {
            bar->addSeparator();
            QAction *save = bar->addAction(QStringLiteral("PDF に保存"), this, guarded([this](bool) { savePdf(); }));
            save->setObjectName(QStringLiteral("savePdfAction"));
        }
        // The job lives as long as its preview.
        connect(preview_, &QDialog::finished, this, &QObject::deleteLater);
        // The page waits for the user now. Not before: a page that does not
        // answer may never be laid out, and the user must see that.
        if (window_) {
            window_->holdHangWatch(true);
            holding_ = true;
        }
        if (window_)
            centreOver(preview_, window_->window());
        preview_->open();
    }

    // The engine's pages as images at the printer's resolution (no finer
    // than 300 dpi: a page at a printer's 1200 would take half a gigabyte),
    // each filling the paper it goes on.
    void paint(QPrinter *printer)
    {
        QPainter painter;
        if (!painter.begin(printer))
            throw VexelError(failedText());
        const int first = qMax(1, printer->fromPage());
        const int last = printer->toPage() > 0 ? qMin(printer->toPage(), document_.pageCount()) : document_.pageCount();
        const QRectF paper = printer->pageLayout().fullRectPixels(printer->resolution());
        const qreal dpi = qMin(printer->resolution(), 300);
        for (int page = first; page <= last; ++page) {
            if (page > first && !printer->newPage())
                throw VexelError(failedText());
            const QSizeF points = document_.pagePointSize(page - 1);
            const QImage image = document_.render(page - 1, (points * dpi / 72.0).toSize());
            QSizeF size = points.scaled(paper.size(), Qt::KeepAspectRatio);
            QRectF target(QPointF(), size);
            target.moveCenter(paper.center());
            painter.drawImage(target, image);
        }
    }

    // A copy of the engine's file: it keeps the page's text and links.
    void savePdf()
    {
        const QString path = pagedialogs::chooseDownloadPath(preview_, fileName());
        if (path.isEmpty())
            return;
        QFile file(pdf_);
        if (!file.open(QIODevice::ReadOnly))
            throw VexelError(failedText());
        writeFileAtomically(path, file.readAll());
    }

    QString title() const
    {
        return window_ ? window_->windowTitle() : QString();
    }

    // "<title>.pdf", as a saved page is named.
    QString fileName() const
    {
        QString address;
        runGuarded([&] { address = control_ ? control_->LocationURL() : QString(); });
        QString name = pagedialogs::savedPageName(title(), QUrl(address));
        name.truncate(name.lastIndexOf(QLatin1Char('.')));
        return name + QStringLiteral(".pdf");
    }

    QPointer<EngineControl> control_;
    QPointer<QWidget> parent_;
    QPointer<TBrowserWindow> window_;
    QTemporaryDir folder_;
    QString pdf_;
    QPdfDocument document_;
    QPrinter printer_;
    QPointer<QPrintPreviewDialog> preview_;
    bool holding_ = false;  // the window's hang watch is held for the preview
};

}  // namespace

void printPage(EngineControl *control, QWidget *parent)
{
    if (!control)
        return;
    // A print under way shows its preview again; one whose file never came
    // (the page stopped answering meanwhile) gives way to this one.
    if (auto *old = control->findChild<PrintJob *>(QStringLiteral("printJob"), Qt::FindDirectChildrenOnly)) {
        if (QPrintPreviewDialog *preview = old->preview()) {
            preview->raise();
            preview->activateWindow();
            return;
        }
        delete old;
    }
    auto *job = new PrintJob(control, parent);
    try {
        job->start();
    } catch (...) {
        delete job;
        throw;
    }
}

}  // namespace pageprinter
