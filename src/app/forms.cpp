// SPDX-License-Identifier: GPL-3.0-or-later
#include "forms.h"

#include "about/aboutbox.h"
#include "core/errors.h"
#include "core/programdir.h"
#include "bookmarks/bmedit.h"
#include "bookmarks/bookmarkfile.h"
#include "mainform.h"
#include "windowsession.h"
#include "settings/option.h"

#include <QApplication>
#include <QDir>
#include <QIcon>

TMainForm *MainForm = nullptr;
Tfrm_Option *frm_Option = nullptr;
Tfrm_BMEdit *frm_BMEdit = nullptr;
TAboutBox *AboutBox = nullptr;

void createForms()
{
    // The same images the desktop's menu shows.
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/app/vexel-%1.png").arg(size), QSize(size, size));
    QApplication::setWindowIcon(icon);
    // The bookmark menu and the editor read, and the editor writes, the one
    // file of the directory the program started in.
    bookmarks::fixBookmarkFilePath(bookmarkDirectory());
    new TMainForm();  // sets MainForm; its creation runs to the end here
    frm_Option = MainForm->newOptionDialog();
    frm_BMEdit = new Tfrm_BMEdit(bookmarks::bookmarkFilePath());
    AboutBox = new TAboutBox();
    // Windows offered after a crash reopen once the frame is complete, the
    // Gecko item's state included.
    runGuarded([] { MainForm->WindowSession->restore(); });
}

void destroyForms()
{
    delete AboutBox;
    AboutBox = nullptr;
    delete frm_BMEdit;
    frm_BMEdit = nullptr;
    delete frm_Option;
    frm_Option = nullptr;
    // The dialogs the menu opened belong to the application and go with it.
    for (QWidget *w : QApplication::topLevelWidgets())
        if (qobject_cast<Tfrm_Option *>(w))
            delete w;
    delete MainForm;
    MainForm = nullptr;
}
