// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One picture of a page shown by both engines: the two pages next to each
// other and a third panel marking where their pixels differ.

#include <QColor>
#include <QImage>

namespace pagediff {

// What marks a differing pixel in the third panel.
inline const QColor Mark = QColor(255, 0, 0);

// As large as the larger of the two: a pixel that differs (or lies in one
// page only) is Mark; an equal one is the first page's, faded towards white
// so that no pixel but a mark is pure red.
QImage differences(const QImage &first, const QImage &second);

// first | second | differences(first, second), on a grey ground.
QImage sideBySide(const QImage &first, const QImage &second);

}  // namespace pagediff
