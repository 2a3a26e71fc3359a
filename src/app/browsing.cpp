// SPDX-License-Identifier: GPL-3.0-or-later
// The frame's side of the browser windows: the commands that open them and
// drive the active one, the one place that draws a window's state, and the
// bookmark menu's choices.

#include "app/bookmarkmenu.h"
#include "app/browsinghistory.h"
#include "app/findbar.h"
#include "app/forms.h"
#include "app/framekeys.h"
#include "app/fullscreen.h"
#include "app/linkedpairs.h"
#include "app/mainform.h"
#include "app/searchengines.h"
#include "app/windowsession.h"
#include "bookmarks/bmedit.h"
#include "bookmarks/bookmarkfile.h"
#include "browser/browserwindow.h"
#include "browser/childie.h"
#include "browser/childmoz.h"
#include "browser/downloadlist.h"
#include "browser/enginerules.h"
#include "browser/sitepermissions.h"
#include "browser/enginecontrol.h"
#include "core/errors.h"
#include "core/programdir.h"
#include "settings/config.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMdiArea>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>
#include <algorithm>
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

// An engine's own caption follows the engine a site's rule chose.
QString captionOn(bool ie, const QString &caption)
{
    if (caption != Tfrm_IE::Caption && caption != Tfrm_MZ::Caption)
        return caption;
    return ie ? Tfrm_IE::Caption : Tfrm_MZ::Caption;
}

// A rule the window could not follow is explained in its status text.
void explainRule(TBrowserWindow *window, const enginerules::Choice &engine)
{
    if (window && engine.geckoRefused)
        emit window->control()->StatusMessage(enginerules::geckoOffText());
}

}  // namespace

void TMainForm::OpenBrowserWindow(const QString &Caption, const QString &Address)
{
    // A site with a rule opens in the engine the rule names.
    const bool chosen = IE_item->isChecked();
    const enginerules::Choice engine = enginerules::choose(Address, chosen, Moz_Item->isEnabled());
    // Without a rule the caption stays what the caller gave.
    openWindowOn(engine.ie, engine.ie == chosen ? Caption : captionOn(engine.ie, Caption), Address);
    explainRule(ActiveMDIChild(), engine);
}

void TMainForm::OpenInOtherEngine(TBrowserWindow *window)
{
    if (!window)
        return;
    const bool toIE = !qobject_cast<Tfrm_IE *>(window);
    if (!toIE && !Moz_Item->isEnabled())
        return;
    // A private page stays private in the other engine.
    openWindowOn(toIE, QString(), window->control()->LocationURL(), {}, window->isPrivate());
}

void TMainForm::OpenPrivateWindow(const QString &Address)
{
    const enginerules::Choice engine = enginerules::choose(Address, IE_item->isChecked(), Moz_Item->isEnabled());
    const bool ie = engine.ie;
    if (Address.isEmpty())
        openWindowOn(ie, ie ? Tfrm_IE::Caption : Tfrm_MZ::Caption, ie ? QString() : QStringLiteral("about:blank"), {},
                     true);
    else
        openWindowOn(ie, ie ? Tfrm_IE::Caption : Tfrm_MZ::Caption, Address, {}, true);
    explainRule(ActiveMDIChild(), engine);
}

void TMainForm::openWindowOn(bool ie, const QString &Caption, const QString &Address, const QByteArray &history,
                             bool privateWindow)
{
    const QString ini = iniPath();
    const QString mozPath = config::frameMozPath(ini);
    if (config::switchedOn(config::frameMozilla(ini))) {
        if (::chdir(QFile::encodeName(mozPath).constData()) != 0)
            throw VexelError(ioErrorText(directoryErrorCode(errno)));
    }

    std::unique_ptr<TBrowserWindow> window;
    if (ie)
        window = std::make_unique<Tfrm_IE>(shownState(), privateWindow);
    else
        window = std::make_unique<Tfrm_MZ>(shownState(), privateWindow);
    window->setWindowIcon(ImageList1.value(12));
    // Cover the frame's default child size, as a freshly placed child would.
    const QSize area = MDIClient->viewport()->size();
    window->resize(qMax(320, area.width() * 3 / 4), qMax(240, area.height() * 3 / 4));
    connectWindow(window.get());
    MDIClient->addSubWindow(window.get());
    window->show();
    MDIClient->setActiveSubWindow(window.get());
    TBrowserWindow *w = window.release();  // the frame owns it now
    w->setWindowTitle(Caption);
    if (history.isEmpty() || !w->control()->RestoreHistory(history))
        w->control()->Navigate(Address);
}

void TMainForm::connectWindow(TBrowserWindow *window)
{
    // A private window leaves no trace: no window list, no history.
    if (!window->isPrivate())
        WindowSession->watch(window);
    // Only the active window is drawn; a background window keeps its state
    // until it becomes active.
    connect(window, &TBrowserWindow::stateChanged, this, [this, window](int parts) {
        if (window == ActiveMDIChild())
            showWindowState(window->state(), parts);
    });
    // A closing window takes its address, status, progress and Reload with
    // it; Back, Forward and Stop stay as they are. One closing in the
    // background leaves the active window's display alone.
    connect(window, &TBrowserWindow::closing, this, [this, window] {
        if (ActiveMDIChild() && ActiveMDIChild() != window)
            return;
        WindowState cleared = shownState();
        cleared.address.clear();
        cleared.statusText.clear();
        cleared.progress = 0;
        cleared.reloadEnabled = false;
        showWindowState(cleared);
    });
    connect(window, &TBrowserWindow::closing, this, guarded([this, window] { Keys->rememberClosed(window); }));
    connect(window->control(), &EngineControl::FindResult, this, [this, window](int active, int count) {
        if (window == ActiveMDIChild())
            if (auto *bar = findChild<TFindBar *>())
                bar->showResult(active, count);
    });
    connect(window, &TBrowserWindow::newWindowRequested, this,
            [this, window](const QString &caption, const QString &address, NewWindowRequest request) {
                // What a private page opens is private too.
                const bool opened = runGuarded([&] {
                    if (window->isPrivate())
                        openWindowOn(
                            enginerules::choose(address, IE_item->isChecked(), Moz_Item->isEnabled()).ie,
                            caption, address, {}, true);
                    else
                        OpenBrowserWindow(caption, address);
                });
                opened ? request.accept() : request.ignore();
            });
    if (!window->isPrivate())
        history_->watch(window);
    else
        // The last private window takes what the run kept of them along
        // (queued: the frame may itself be going).
        connect(window, &QObject::destroyed, this, [this] {
            const QList<TBrowserWindow *> open = browserWindows();
            if (std::none_of(open.begin(), open.end(), [](TBrowserWindow *w) { return w->isPrivate(); })) {
                DownloadList::instance().dropPrivate();
                sitepermissions::forgetPrivateDecisions();
            }
        }, Qt::QueuedConnection);
    connect(window, &TBrowserWindow::findRequested, this, guarded([this] {
        if (auto *bar = findChild<TFindBar *>())
            bar->openBar();
    }));
    connect(window, &TBrowserWindow::otherEngineRequested, this,
            guarded([this, window] { OpenInOtherEngine(window); }));
    // A rule chosen for the other engine moves the page there too.
    connect(window->control(), &EngineControl::SiteEngineRequested, this,
            guarded([this, window](const QString &engine) {
                enginerules::setSiteEngine(QUrl(window->control()->LocationURL()), engine);
                if (!engine.isEmpty() && (engine == engines::IE_CLSID) != bool(qobject_cast<Tfrm_IE *>(window)))
                    OpenInOtherEngine(window);
            }));
    // A link to a site of the other engine opens there; this page stays.
    connect(window->control(), &EngineControl::RuleNavigationRequested, this,
            guarded([this, window](const QString &address) {
                openWindowOn(!qobject_cast<Tfrm_IE *>(window), QString(), address, {}, window->isPrivate());
            }));
    connect(window->control(), &EngineControl::SideBySideRequested, this,
            guarded([this, window] { Keys->LinkedPairs->OpenSideBySide(window); }));
    connect(window->control(), &EngineControl::FullScreenRequested, this,
            guarded([this, window](bool on) { Keys->FullScreen->PageFullScreen(window, on); }));
    // An Internet Explorer page goes to a Gecko window only where that
    // engine may be chosen.
    if (qobject_cast<Tfrm_IE *>(window))
        window->control()->OtherEngineAvailable = [this] { return Moz_Item->isEnabled(); };
}

WindowState TMainForm::shownState() const
{
    return {txtAddress->text(),      StatusBar1->panelText(), ProgressBar1->value(),
            BackCtrl->isEnabled(),   FrwrdCtrl->isEnabled(),  StopCtrl->isEnabled(),
            ReLoadCtrl->isEnabled()};
}

void TMainForm::showWindowState(const WindowState &state, int parts)
{
    if (parts & WindowState::Address)
        txtAddress->setText(state.address);
    if (parts & WindowState::Status)
        StatusBar1->setPanelText(state.statusText);
    if (parts & WindowState::Progress)
        ProgressBar1->setValue(qBound(0, state.progress, 100));
    if (parts & WindowState::Buttons) {
        BackCtrl->setEnabled(state.backEnabled);
        FrwrdCtrl->setEnabled(state.forwardEnabled);
        StopCtrl->setEnabled(state.stopEnabled);
        ReLoadCtrl->setEnabled(state.reloadEnabled);
    }
}

void TMainForm::FileNew1Execute()
{
    if (IE_item->isChecked()) {
        OpenBrowserWindow(Tfrm_IE::Caption, QString());
        return;
    }
    OpenBrowserWindow(Tfrm_MZ::Caption, QStringLiteral("about:blank"));
    if (QMdiSubWindow *w = MDIClient->currentSubWindow())
        w->setWindowTitle(Tfrm_MZ::Caption);
}

void TMainForm::openAddresses(const QStringList &addresses, bool privateWindows)
{
    for (const QString &address : addresses)
        runGuarded([&] {
            if (privateWindows)
                OpenPrivateWindow(address.isEmpty() ? QString()
                                                    : SearchEngines::addressFor(iniPath(), address,
                                                                                engines::RelativeFiles::Ignore));
            else if (address.isEmpty())
                FileNew1Execute();
            else
                // Read where it was given: a relative file here is not one.
                OpenBrowserWindow(IE_item->isChecked() ? Tfrm_IE::Caption : Tfrm_MZ::Caption,
                                  SearchEngines::addressFor(iniPath(), address,
                                                            engines::RelativeFiles::Ignore));
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

// The navigation buttons act on the active window's page; with no window,
// they do nothing.
void TMainForm::BackCtrlClick()
{
    withActivePage(&EngineControl::GoBack);
}

void TMainForm::FrwrdCtrlClick()
{
    withActivePage(&EngineControl::GoForward);
}

void TMainForm::StopCtrlClick()
{
    withActivePage(&EngineControl::Stop);
}

void TMainForm::ReLoadCtrlClick()
{
    withActivePage(&EngineControl::Refresh);
}

void TMainForm::withActivePage(void (EngineControl::*command)())
{
    if (TBrowserWindow *w = ActiveMDIChild())
        (w->control()->*command)();
}

void TMainForm::btnMoveClick()
{
    openOrNavigate(config::addressBarWindow(iniPath()), txtAddress->text());
}

void TMainForm::txtAddressKeyDown(QKeyEvent *event)
{
    // Esc takes back what was typed: the field shows the window's address
    // again, selected.
    if (event->key() == Qt::Key_Escape && txtAddress->isModified()) {
        event->accept();
        TBrowserWindow *w = ActiveMDIChild();
        txtAddress->setText(w ? w->state().address : QString());
        txtAddress->selectAll();
        return;
    }
    // Enter on the main keyboard or the keypad, whatever modifiers are held;
    // the field gets every other key.
    if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter) {
        event->ignore();
        return;
    }
    event->accept();
    btnMoveClick();
}

void TMainForm::openOrNavigate(int windowSetting, const QString &typed)
{
    const QString address = SearchEngines::addressFor(iniPath(), typed);
    if (config::switchedOn(windowSetting) || MDIClient->subWindowList().isEmpty()) {
        OpenBrowserWindow(QString(), address);
        return;
    }
    if (TBrowserWindow *w = ActiveMDIChild()) {
        // A site whose rule names the other engine opens in a window of that
        // one; this window keeps its page.
        const bool ie = qobject_cast<Tfrm_IE *>(w) != nullptr;
        const enginerules::Choice engine = enginerules::choose(address, ie, Moz_Item->isEnabled());
        if (engine.ie != ie)
            openWindowOn(engine.ie, QString(), address, {}, w->isPrivate());
        else
            w->control()->Navigate(address);
        explainRule(ActiveMDIChild(), engine);
    }
}

// ---------------------------------------------------------------------------
// The bookmark menu.

void TMainForm::ReadBookMark()
{
    bookmarkMenu_->build(bookmarks::bookmarkFilePath());
}

void TMainForm::iventMenuClick(QAction *item)
{
    // A folder's item holds no address: choosing it opens nothing.
    const BookmarkItem chosen = TBookmarkMenu::itemOf(item);
    if (chosen.image == TBookmarkMenu::FolderImage)
        return;
    const QString address = chosen.address;
    if (!address.isEmpty())
        txtAddress->setText(address);
    openOrNavigate(config::bookmarkWindow(iniPath()), txtAddress->text());
}

void TMainForm::mnuEditClick()
{
    if (!frm_BMEdit)
        return;
    frm_BMEdit->show();
    frm_BMEdit->raise();
    frm_BMEdit->activateWindow();
    frm_BMEdit->txtURL->setText(txtAddress->text());
    // With no browser window there is no page to name the bookmark after.
    TBrowserWindow *w = ActiveMDIChild();
    frm_BMEdit->txtName->setText(w ? w->pageCaption() : QString());
}

// ---------------------------------------------------------------------------
// Browser windows seen from the frame.

TBrowserWindow *TMainForm::ActiveMDIChild() const
{
    return qobject_cast<TBrowserWindow *>(MDIClient->currentSubWindow());
}

QList<TBrowserWindow *> TMainForm::browserWindows() const
{
    QList<TBrowserWindow *> list;
    for (QMdiSubWindow *w : MDIClient->subWindowList(QMdiArea::CreationOrder))
        if (auto *bw = qobject_cast<TBrowserWindow *>(w))
            list.append(bw);
    return list;
}
