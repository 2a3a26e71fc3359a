// The frame's commands that open browser windows and drive the active one.

#include "app/errors.h"
#include "app/mainform.h"
#include "app/programdir.h"
#include "browser/browserwindow.h"
#include "browser/childie.h"
#include "browser/childmoz.h"
#include "browser/enginecontrol.h"
#include "settings/profile.h"

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QMdiArea>
#include <cerrno>
#include <memory>
#include <unistd.h>

namespace {

// The system error code of a failed directory change, as the run-time
// library reports it.
int directoryErrorCode(int err)
{
    switch (err) {
    case ENOENT: return 2;
    case ENOTDIR:
    case ENAMETOOLONG:
    case EINVAL: return 3;
    case EACCES:
    case EPERM: return 5;
    default: return err;
    }
}

}  // namespace

void TMainForm::OpenBrowserWindow(const QString &Caption, const QString &Address)
{
    openWindowOn(IE_item->isChecked(), Caption, Address);
}

void TMainForm::OpenInOtherEngine(TBrowserWindow *window)
{
    if (!window)
        return;
    const bool toIE = !qobject_cast<Tfrm_IE *>(window);
    if (!toIE && !Moz_Item->isEnabled())
        return;
    openWindowOn(toIE, QString(), window->control()->LocationURL());
}

void TMainForm::openWindowOn(bool ie, const QString &Caption, const QString &Address)
{
    const QString ini = configPath(ProgramDir);
    const QString mozPath = profile::readString(ini, QStringLiteral("Option"), QStringLiteral("MozPath"), QString());
    const int mozilla = profile::readInteger(ini, QStringLiteral("Option"), QStringLiteral("Mozilla"), 0);
    if ((mozilla & 0xFF) == 1) {
        if (::chdir(QFile::encodeName(mozPath).constData()) != 0)
            throw VexelError(ioErrorText(directoryErrorCode(errno)));
    }

    std::unique_ptr<TBrowserWindow> window;
    if (ie)
        window = std::make_unique<Tfrm_IE>(this);
    else
        window = std::make_unique<Tfrm_MZ>(this);
    MDIClient->addSubWindow(window.get());
    window->show();
    MDIClient->setActiveSubWindow(window.get());
    TBrowserWindow *w = window.release();  // the frame owns it now
    w->setWindowTitle(Caption);
    w->control()->Navigate(Address);
}

void TMainForm::FileNew1Execute()
{
    if (IE_item->isChecked()) {
        OpenBrowserWindow(QStringLiteral("Internet Explorer"), QString());
        return;
    }
    OpenBrowserWindow(QStringLiteral("Gecko"), QStringLiteral("about:blank"));
    if (QMdiSubWindow *w = MDIClient->currentSubWindow())
        w->setWindowTitle(QStringLiteral("Gecko"));
}

void TMainForm::openAddresses(const QStringList &addresses)
{
    for (const QString &address : addresses)
        runGuarded([&] {
            if (address.isEmpty())
                FileNew1Execute();
            else
                OpenBrowserWindow(IE_item->isChecked() ? QStringLiteral("Internet Explorer") : QStringLiteral("Gecko"),
                                  address);
        });
    if (isMinimized())
        showNormal();
    raise();
    activateWindow();
}

void TMainForm::FileOpen1Execute()
{
    if (OpenDialog->exec() != QDialog::Accepted || OpenDialog->selectedFiles().isEmpty())
        return;
    const QString file = QFileInfo(OpenDialog->selectedFiles().constFirst()).absoluteFilePath();
    // The dialog leaves the current directory at the folder the file was
    // chosen from.
    QDir::setCurrent(QFileInfo(file).absolutePath());
    OpenBrowserWindow(QString(), file);
}

void TMainForm::BackCtrlClick()
{
    if (TBrowserWindow *w = ActiveMDIChild())
        w->control()->GoBack();
}

void TMainForm::FrwrdCtrlClick()
{
    if (TBrowserWindow *w = ActiveMDIChild())
        w->control()->GoForward();
}

void TMainForm::StopCtrlClick()
{
    if (TBrowserWindow *w = ActiveMDIChild())
        w->control()->Stop();
}

void TMainForm::ReLoadCtrlClick()
{
    if (TBrowserWindow *w = ActiveMDIChild())
        w->control()->Refresh();
}

void TMainForm::btnMoveClick()
{
    int setting = profile::readInteger(configPath(ProgramDir), QStringLiteral("Option_Window"),
                                       QStringLiteral("AddressBar"), 0);
    if (MDIClient->subWindowList().isEmpty())
        setting = 1;
    if ((setting & 0xFF) == 1) {
        OpenBrowserWindow(QString(), txtAddress->text());
        return;
    }
    if (TBrowserWindow *w = ActiveMDIChild())
        w->control()->Navigate(txtAddress->text());
}
