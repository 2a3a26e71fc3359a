// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A page's source as text: a window of its own, read-only, monospace, with
// line numbers, for an engine that has no source view of its own. Nothing
// in it is ever interpreted: markup shows as it was sent.

#include <QByteArray>
#include <QString>
#include <QWidget>

class QPlainTextEdit;

class SourceViewer : public QWidget {
    Q_OBJECT
public:
    // A window (deleted when closed) over parent, captioned with address.
    SourceViewer(const QString &address, const QString &text, QWidget *parent);

    QPlainTextEdit *editor() const { return edit_; }

    // The text of a page's bytes in the encoding the engine read them in
    // (its name as the page's document gives it); UTF-8 when the name is
    // unknown.
    static QString decode(const QByteArray &bytes, const QString &charset);

private:
    QPlainTextEdit *edit_;
};
