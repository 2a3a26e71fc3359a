// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Text from a page, a server, a file or a list is shown as it stands. Qt's
// labels, message boxes and tooltips guess rich text by default, and rich
// text loads the images it names (a local file, /dev/zero, a FIFO) on the
// user-interface thread and makes links live.

#include <QString>

class QHelpEvent;
class QWidget;

namespace plaintext {

// The form a tooltip needs to show text exactly: escaped, lines and blanks kept.
QString toolTip(const QString &text);
// Shows text as the widget's tooltip where the help event asks, exactly as it stands.
void showToolTip(const QHelpEvent *event, QWidget *widget, const QString &text);

}  // namespace plaintext
