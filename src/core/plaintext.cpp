// SPDX-License-Identifier: GPL-3.0-or-later
#include "plaintext.h"

#include <QHelpEvent>
#include <QToolTip>

namespace plaintext {

QString toolTip(const QString &text)
{
    if (text.isEmpty())
        return text;
    return QStringLiteral("<p style=\"white-space:pre-wrap\">") + text.toHtmlEscaped() + QStringLiteral("</p>");
}

void showToolTip(const QHelpEvent *event, QWidget *widget, const QString &text)
{
    if (text.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(event->globalPos(), toolTip(text), widget, QRect(), widget->toolTipDuration());
}

}  // namespace plaintext
