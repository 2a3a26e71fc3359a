// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The program's windows that live from start-up to the end, as the rest of
// the program reaches them. Null while not created (tests create and destroy
// them around each case).

class TMainForm;
class Tfrm_Option;
class Tfrm_BMEdit;
class TAboutBox;

extern TMainForm *MainForm;
extern Tfrm_Option *frm_Option;
extern Tfrm_BMEdit *frm_BMEdit;
extern TAboutBox *AboutBox;

// Start-up: the application title, then the main window (its creation runs
// to the end first), the hidden options dialog, the hidden bookmark editor
// and the hidden about box.
void createForms();

// Destroys what createForms made, the main window last.
void destroyForms();
