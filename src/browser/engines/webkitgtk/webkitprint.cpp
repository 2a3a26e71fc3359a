// SPDX-License-Identifier: GPL-3.0-or-later
// Printing a Gecko page: the host lays the page out for print into a PDF
// file; the page's own print requests come to the frame, which prints.

#include "webkitcontrol.h"

#include "protocol.h"

#include <QFile>
#include <utility>

void WebKitControl::PrintToPdf(const QString &path)
{
    // Without a page (its process or host went, or our page for a failed
    // load shows) there is nothing to lay out.
    if ((state_ != State::Live && state_ != State::Creating) || showsErrorPage()) {
        emit PdfPrinted(path, false);
        return;
    }
    printing_.append(path);
    send(VEXEL_VERB_PRINTPDF, {QFile::encodeName(path)});
}

void WebKitControl::onPrint(const QList<QByteArray> &)
{
    emit PrintRequested();
}

void WebKitControl::onPrinted(const QList<QByteArray> &fields)
{
    const QString path = QFile::decodeName(fields.value(0));
    // Only what this control asked for: the host's word is no path of its own.
    if (!printing_.removeOne(path))
        return;
    emit PdfPrinted(path, isYes(fields.value(1)));
}

void WebKitControl::failPrints()
{
    for (const QString &path : std::exchange(printing_, {}))
        emit PdfPrinted(path, false);
}
