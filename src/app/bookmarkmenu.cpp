// The bookmark menu: built once from the bookmark file at start-up.

#include "app/errors.h"
#include "app/forms.h"
#include "app/mainform.h"
#include "bookmarks/bmedit.h"
#include "browser/browserwindow.h"
#include "browser/enginecontrol.h"
#include "settings/profile.h"

#include <QAction>
#include <QLineEdit>
#include <QMdiArea>

void TMainForm::ReadBookMark()
{
}

void TMainForm::iventMenuClick(QAction *item)
{
    Q_UNUSED(item);
}

void TMainForm::mnuEditClick()
{
    if (!frm_BMEdit)
        return;
    frm_BMEdit->show();
    frm_BMEdit->raise();
    frm_BMEdit->activateWindow();
    frm_BMEdit->txtURL->setText(txtAddress->text());
    TBrowserWindow *w = ActiveMDIChild();
    frm_BMEdit->txtName->setText(w ? w->windowTitle() : QString());
}
