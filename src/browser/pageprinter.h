// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Printing a page, the same for both engines: the engine writes the page as
// it lays it out for print into a PDF file, and our print preview shows that
// file, sends it to a printer through Qt's print dialog, or saves a copy of
// it ("PDF に保存") in the download folder.

class EngineControl;
class QString;
class QWidget;

namespace pageprinter {

// Starts printing control's page with the preview modal to parent; returns at
// once. A print already under way for the page is not started twice. What
// fails is reported through the error box. While it runs, the page's window
// shows no hang: the page waits for the user.
void printPage(EngineControl *control, QWidget *parent);

// The text of a print that failed.
QString failedText();

}  // namespace pageprinter
