// SPDX-License-Identifier: GPL-3.0-or-later
// The page's render process: whether it still answers, its crash, its end on
// the user's word, and the PDF print that waits for its answer.

#include "webenginecontrol.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPageLayout>
#include <QPointer>
#include <QTimer>
#include <QWebEngineScript>
#include <QWebEngineView>
#include <csignal>

namespace {

// Run in a world of its own, which the page's scripts cannot answer for:
// its result says only that the page's process answered.
const QString answerScript = QStringLiteral("0");

}  // namespace

void WebEngineControl::probe()
{
    constexpr qint64 kHangAfter = 4000;
    // The page waits for the user's answer; its probe is asked again after.
    if (page_->dialogsOpen() > 0) {
        resetProbe();
        return;
    }
    if (probing_) {
        if (!hung_ && probeSent_.elapsed() >= kHangAfter) {
            hung_ = true;
            emit PageResponsiveChange(false);
        }
        return;
    }
    if (showsCrashNotice())
        return;
    probing_ = true;
    probeSent_.start();
    const quint64 generation = probeGeneration_;
    page_->runJavaScript(answerScript, QWebEngineScript::ApplicationWorld,
                         [self = QPointer<WebEngineControl>(this), generation](const QVariant &) {
                             if (!self || self->probeGeneration_ != generation)
                                 return;
                             self->probing_ = false;
                             if (self->hung_) {
                                 self->hung_ = false;
                                 emit self->PageResponsiveChange(true);
                             }
                         });
}

void WebEngineControl::resetProbe()
{
    ++probeGeneration_;
    probing_ = false;
    // Probes start with the first page: before it there is nothing to ask.
    if (!probeTimer_->isActive())
        probeTimer_->start();
    if (hung_) {
        hung_ = false;
        emit PageResponsiveChange(true);
    }
}

void WebEngineControl::PrintToPdf(const QString &path)
{
    // A page that is not there (our error page or crash notice shows)
    // has nothing to print; nor does the engine, while it still owes one.
    if (showsErrorPage() || showsCrashNotice() || !pdfPending_.isEmpty() || !pdfAsked_.isEmpty()) {
        emit PdfPrinted(path, false);
        return;
    }
    pdfAsked_ = path;
    page_->runJavaScript(answerScript, QWebEngineScript::ApplicationWorld,
                         [self = QPointer<WebEngineControl>(this), path](const QVariant &) {
                             if (!self || self->pdfAsked_ != path || self->showsCrashNotice())
                                 return;
                             self->pdfAsked_.clear();
                             self->pdfPending_ = path;
                             // A4 with the margins a printer needs, as the other engine prints.
                             self->page_->printToPdf(path, QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                                                       QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter));
                         });
}

void WebEngineControl::TerminatePage()
{
    // Single-process mode would run the page in this process: never end that.
    const qint64 pid = page_->renderProcessPid();
    if (pid > 0 && pid != QCoreApplication::applicationPid())
        ::kill(pid_t(pid), SIGKILL);
}

bool WebEngineControl::showsCrashNotice() const
{
    return crashNotice_->isVisible();
}

void WebEngineControl::showCrashNotice(bool shown)
{
    // A page gone is all there is to say: no failure of the load before.
    if (shown)
        errorPage_->hide();
    view_->setVisible(!shown && errorPage_->isHidden());
    crashNotice_->setVisible(shown);
    if (shown)
        emit StatusMessage(QStringLiteral("ページの処理が停止しました"));
}
