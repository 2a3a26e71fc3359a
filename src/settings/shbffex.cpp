// SPDX-License-Identifier: GPL-3.0-or-later
#include "shbffex.h"

#include "folderbrowser.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QScreen>
#include <QStandardPaths>
#include <QWidget>
#include <exception>
#include <optional>

namespace {

// The top of the namespace: the whole file system hangs below it, the
// user's desktop and home folders included.
const QString kDesktop = QStringLiteral("/");

// The Linux place of a special folder (ordinal of TRootFolder and
// TSelectFolder alike); nullopt when it has none here. The place may not
// exist yet.
std::optional<QString> specialPlace(int folder)
{
    switch (folder) {
    case rfDesktop:
    case rfDrives:  // mount points are folders below "/"
        return kDesktop;
    case rfDesktopDir:
        return QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    case rfPrograms:
    case rfStartMenu:  // the menu is made from the same entries
        return QStandardPaths::writableLocation(QStandardPaths::ApplicationsLocation);
    case rfStartup:
        return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
               QStringLiteral("/autostart");
    case rfTemplates:
        return QStandardPaths::writableLocation(QStandardPaths::TemplatesLocation);
    default:  // favourites, recent items, send-to: no folder of that kind here
        return std::nullopt;
    }
}

// The folder that a root or start setting stands for, or "" for none. A
// manual path must be an absolute path to an existing folder, else the
// desktop stands in. A special folder without a place here becomes the
// desktop as root and nothing as start folder.
QString folderFor(int folder, const QString &manualName, bool asRoot)
{
    if (folder == rfManual) {
        if (!manualName.isEmpty() && QDir::isAbsolutePath(manualName) && QFileInfo(manualName).isDir())
            return QDir::cleanPath(manualName);
        folder = rfDesktop;
    }
    const std::optional<QString> place = specialPlace(folder);
    if (!place)
        return asRoot ? kDesktop : QString();
    return QFileInfo(*place).isDir() ? QDir::cleanPath(*place) : QString();
}

}  // namespace

TSHBrowseForFolderEx::TSHBrowseForFolderEx(QObject *Owner) : QObject(Owner)
{
}

bool TSHBrowseForFolderEx::Execute()
{
    FolderName_.clear();
    DisplayName_.clear();
    const QString select = folderFor(SelectFolder, SelectFolderName, false);
    const QString root = folderFor(RootFolder, RootFolderName, true);
    if (root.isEmpty())
        return false;

    const bool showPath = Options.contains(sboStatusTextAndShowPath);
    const bool statusLine = showPath || Options.contains(sboStatusText);
    // The dialog belongs to the owner's window; an owner that is no widget
    // gets a dialog of its own. Either way the window that was active gets
    // the focus back afterwards.
    auto *owner = qobject_cast<QWidget *>(parent());
    QPointer<QWidget> wasActive = QApplication::activeWindow();
    QPointer<FolderBrowserDialog> dialog = new FolderBrowserDialog(
        root, Caption, statusLine, Options.contains(sboReturnOnlyFSDirs), owner ? owner->window() : nullptr);

    std::exception_ptr failure;
    connect(dialog, &FolderBrowserDialog::selectionChanged, this, [&](const QString &path) {
        QString showText;
        TOKButtonState okState = obsNoChange;
        try {
            DoSelectionChanged(dialog, path, showText, okState);
        } catch (...) {
            failure = std::current_exception();
            dialog->reject();
            return;
        }
        if (showPath)
            showText = path;
        dialog->setStatusText(showText);
        if (okState != obsNoChange)
            dialog->setOkEnabled(okState == obsEnable);
    });

    // Start folder outside the tree or none: the root is selected instead.
    if (select.isEmpty() || !dialog->selectPath(select))
        dialog->selectPath(root);
    bool result = false;
    if (!failure) {
        place(dialog);
        result = dialog->exec() == QDialog::Accepted && dialog;
    }
    if (result) {
        DisplayName_ = dialog->displayName();
        FolderName_ = dialog->fileSystemPath();
    }
    delete dialog;
    if (wasActive)
        wasActive->activateWindow();
    if (failure)
        std::rethrow_exception(failure);
    return result;
}

void TSHBrowseForFolderEx::DoSelectionChanged(QWidget *Wnd, const QString &Path, QString &ShowText,
                                              TOKButtonState &OKButtonState)
{
    if (OnSelectionChanged)
        OnSelectionChanged(this, Wnd, Path, ShowText, OKButtonState);
}

void TSHBrowseForFolderEx::place(QWidget *dialog) const
{
    switch (ShowStyle) {
    case ssNone:
        return;
    case ssCenterScreen: {
        const QScreen *screen = QGuiApplication::primaryScreen();
        if (!screen)
            return;
        const QRect work = screen->availableGeometry();
        dialog->winId();  // its native window, so that the frame counts in its size
        const QRect frame = dialog->frameGeometry();
        // Offsets from the screen's origin, not from the work area's corner.
        dialog->move((work.width() - frame.width()) / 2, (work.height() - frame.height()) / 3);
        return;
    }
    case ssClient: {
        // Only a form (a top-level widget) that already has its native window.
        auto *form = qobject_cast<QWidget *>(parent());
        if (form && form->isWindow() && form->testAttribute(Qt::WA_WState_Created))
            dialog->move(form->mapToGlobal(QPoint(0, 0)));
        return;
    }
    }
}
