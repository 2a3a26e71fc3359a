// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// TSHBrowseForFolderEx: lets its owner ask the user for a folder in a modal
// folder tree. The properties choose the tree's root, the folder selected
// when it opens, the options, the text above the tree and where the dialog
// goes; Execute shows it and leaves the choice in FolderName and DisplayName.

#include <QObject>
#include <QString>
#include <functional>
#include <initializer_list>

class QWidget;

// The two enumerations share their values' order and their places.
enum TRootFolder {
    rfDesktop, rfManual, rfDrives, rfDesktopDir, rfFavorites, rfPrograms,
    rfRecent, rfSendTo, rfStartMenu, rfStartup, rfTemplates
};
enum TSelectFolder {
    sfDesktop, sfManual, sfDrives, sfDesktopDir, sfFavorites, sfPrograms,
    sfRecent, sfSendTo, sfStartMenu, sfStartup, sfTemplates
};

enum TSHBrowseOption {
    sboDontGoBelowDomain,      // no counterpart here: kept, without effect
    sboReturnFSAncestors,      // no counterpart here: kept, without effect
    sboReturnOnlyFSDirs,       // only existing folders can be confirmed
    sboStatusTextAndShowPath,  // a status line that always shows the selected path
    sboStatusText              // a status line the handler writes
};

// A set of TSHBrowseOption.
class TSHBrowseOptions {
public:
    constexpr TSHBrowseOptions() = default;
    constexpr TSHBrowseOptions(std::initializer_list<TSHBrowseOption> members)
    {
        for (TSHBrowseOption m : members)
            bits_ |= 1u << m;
    }
    constexpr bool contains(TSHBrowseOption m) const { return (bits_ & (1u << m)) != 0; }
    constexpr bool operator==(const TSHBrowseOptions &) const = default;

private:
    unsigned bits_ = 0;
};

enum TShowStyle { ssNone, ssCenterScreen, ssClient };

enum TOKButtonState { obsNoChange, obsEnable, obsDisable };

// Raised at every change of selection in the open dialog. Wnd is the dialog,
// Path the selected folder's path ("" when it has none); ShowText comes in
// empty and becomes the status line, OKButtonState comes in obsNoChange.
using TSHBrowseEvent = std::function<void(QObject *Sender, QWidget *Wnd, const QString &Path, QString &ShowText,
                                          TOKButtonState &OKButtonState)>;

class TSHBrowseForFolderEx : public QObject {
    Q_OBJECT
public:
    explicit TSHBrowseForFolderEx(QObject *Owner);

    // Setting a property only stores it; nothing is checked until Execute.
    TSelectFolder SelectFolder = sfDrives;
    QString SelectFolderName;  // used when SelectFolder is sfManual
    QString Caption;           // shown above the folder tree
    TSHBrowseOptions Options = {sboReturnOnlyFSDirs};
    TSHBrowseEvent OnSelectionChanged;
    TRootFolder RootFolder = rfDesktop;
    QString RootFolderName;  // used when RootFolder is rfManual
    TShowStyle ShowStyle = ssClient;

    // The outcome of the last Execute; both empty after a cancel.
    QString FolderName() const { return FolderName_; }
    QString DisplayName() const { return DisplayName_; }

    // Shows the dialog modally; true when the user confirmed a folder. An
    // error raised by the handler closes the dialog and leaves through here.
    virtual bool Execute();
    // Calls OnSelectionChanged, when assigned, with this component as Sender.
    virtual void DoSelectionChanged(QWidget *Wnd, const QString &Path, QString &ShowText,
                                    TOKButtonState &OKButtonState);

private:
    void place(QWidget *dialog) const;

    QString FolderName_;
    QString DisplayName_;
};
