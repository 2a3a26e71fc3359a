// SPDX-License-Identifier: GPL-3.0-or-later
#include "sourceviewer.h"

#include <QFontDatabase>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScreen>
#include <QStringDecoder>
#include <QTextBlock>
#include <QVBoxLayout>

namespace {

// The text with its line numbers in a margin on the left.
class NumberedText : public QPlainTextEdit {
public:
    explicit NumberedText(QWidget *parent) : QPlainTextEdit(parent), gutter_(new QWidget(this))
    {
        gutter_->installEventFilter(this);
        connect(this, &QPlainTextEdit::blockCountChanged, this, &NumberedText::fitGutter);
        connect(this, &QPlainTextEdit::updateRequest, this, [this](const QRect &rect, int dy) {
            if (dy)
                gutter_->scroll(0, dy);
            else
                gutter_->update(0, rect.y(), gutter_->width(), rect.height());
        });
        fitGutter();
    }

protected:
    void resizeEvent(QResizeEvent *event) override
    {
        QPlainTextEdit::resizeEvent(event);
        const QRect r = contentsRect();
        gutter_->setGeometry(r.left(), r.top(), gutterWidth(), r.height());
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == gutter_ && event->type() == QEvent::Paint) {
            paintGutter(static_cast<QPaintEvent *>(event)->rect());
            return true;
        }
        return QPlainTextEdit::eventFilter(watched, event);
    }

private:
    int gutterWidth() const
    {
        const int digits = QString::number(qMax(1, blockCount())).size();
        return 8 + fontMetrics().horizontalAdvance(QLatin1Char('9')) * digits;
    }

    void fitGutter()
    {
        setViewportMargins(gutterWidth(), 0, 0, 0);
        const QRect r = contentsRect();
        gutter_->setGeometry(r.left(), r.top(), gutterWidth(), r.height());
    }

    void paintGutter(const QRect &area)
    {
        QPainter painter(gutter_);
        painter.fillRect(area, palette().alternateBase());
        painter.setPen(palette().color(QPalette::PlaceholderText));
        QTextBlock block = firstVisibleBlock();
        qreal top = blockBoundingGeometry(block).translated(contentOffset()).top();
        const int right = gutter_->width() - 4;
        while (block.isValid() && top <= area.bottom()) {
            const qreal height = blockBoundingRect(block).height();
            if (block.isVisible() && top + height >= area.top())
                painter.drawText(QRectF(0, top, right, fontMetrics().height()), Qt::AlignRight,
                                 QString::number(block.blockNumber() + 1));
            top += height;
            block = block.next();
        }
    }

    QWidget *gutter_;
};

}  // namespace

SourceViewer::SourceViewer(const QString &address, const QString &text, QWidget *parent)
    : QWidget(parent, Qt::Window), edit_(new NumberedText(this))
{
    setObjectName(QStringLiteral("sourceViewer"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("ソース - %1").arg(address));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(edit_);
    edit_->setObjectName(QStringLiteral("sourceText"));
    edit_->setReadOnly(true);
    // Read-only still lets the keyboard move through it and select.
    edit_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    edit_->setLineWrapMode(QPlainTextEdit::NoWrap);
    edit_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    edit_->setPlainText(text);
    if (const QScreen *screen = parent ? parent->screen() : nullptr)
        resize(screen->availableSize() * 2 / 3);
    else
        resize(900, 650);
}

QString SourceViewer::decode(const QByteArray &bytes, const QString &charset)
{
    QStringDecoder decoder(charset.trimmed().toLatin1().constData());
    if (!decoder.isValid())
        decoder = QStringDecoder(QStringDecoder::Utf8);
    return decoder.decode(bytes);
}
