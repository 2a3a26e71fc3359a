// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QFont>

// The windows' font: "ＭＳ Ｐゴシック" where it is installed, else the
// nearest Japanese gothic this system has, at a pixel size.
inline QFont formFont(int pixelSize = 12)
{
    QFont f;
    f.setFamilies({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("Noto Sans CJK JP"),
                   QStringLiteral("IPAPGothic"), QStringLiteral("sans-serif")});
    f.setPixelSize(pixelSize);
    return f;
}
