// SPDX-License-Identifier: GPL-3.0-or-later
#include "pagediff.h"

#include <QPainter>

namespace pagediff {

namespace {

constexpr int kGap = 8;

QRgb faded(QRgb pixel)
{
    // Seven tenths white: at least 178 in every channel.
    const auto fade = [](int c) { return (c * 3 + 255 * 7) / 10; };
    return qRgb(fade(qRed(pixel)), fade(qGreen(pixel)), fade(qBlue(pixel)));
}

}  // namespace

QImage differences(const QImage &first, const QImage &second)
{
    const QImage a = first.convertToFormat(QImage::Format_RGB32);
    const QImage b = second.convertToFormat(QImage::Format_RGB32);
    const int width = qMax(a.width(), b.width());
    const int height = qMax(a.height(), b.height());
    QImage out(width, height, QImage::Format_RGB32);
    const QRgb mark = Mark.rgb();
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(out.scanLine(y));
        const QRgb *lineA = y < a.height() ? reinterpret_cast<const QRgb *>(a.constScanLine(y)) : nullptr;
        const QRgb *lineB = y < b.height() ? reinterpret_cast<const QRgb *>(b.constScanLine(y)) : nullptr;
        for (int x = 0; x < width; ++x) {
            const bool inA = lineA && x < a.width();
            const bool inB = lineB && x < b.width();
            if (inA && inB && qRgb(qRed(lineA[x]), qGreen(lineA[x]), qBlue(lineA[x])) ==
                                  qRgb(qRed(lineB[x]), qGreen(lineB[x]), qBlue(lineB[x])))
                line[x] = faded(lineA[x]);
            else
                line[x] = mark;
        }
    }
    return out;
}

QImage sideBySide(const QImage &first, const QImage &second)
{
    const QImage marks = differences(first, second);
    QImage out(first.width() + second.width() + marks.width() + 4 * kGap, marks.height() + 2 * kGap,
               QImage::Format_RGB32);
    out.fill(QColor(0x80, 0x80, 0x80));
    QPainter painter(&out);
    int x = kGap;
    for (const QImage *panel : {&first, &second, &marks}) {
        painter.drawImage(x, kGap, *panel);
        x += panel->width() + kGap;
    }
    return out;
}

}  // namespace pagediff
