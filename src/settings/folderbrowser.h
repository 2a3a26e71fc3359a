// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The modal folder tree behind TSHBrowseForFolderEx: a QTreeView over a
// QFileSystemModel in a small QDialog, since Qt's own file dialog offers no
// root, no status line and no OK control to a caller.

#include <QDialog>

class QFileSystemModel;
class QLabel;
class QPushButton;
class QSortFilterProxyModel;
class QTreeView;

class FolderBrowserDialog : public QDialog {
    Q_OBJECT
public:
    // rootPath, an existing folder, is the tree's one top item. With
    // onlyExistingFolders, OK confirms only a folder that exists.
    FolderBrowserDialog(const QString &rootPath, const QString &title, bool statusLine, bool onlyExistingFolders,
                        QWidget *parent);

    // Selects the folder; false when it is not in the tree.
    bool selectPath(const QString &path);
    // The selected folder's path while that folder exists, else "".
    QString fileSystemPath() const;
    // The selected item's name as the tree shows it.
    QString displayName() const;

    void setStatusText(const QString &text);
    void setOkEnabled(bool enabled);

    void accept() override;

signals:
    // The selection moved; path as fileSystemPath() gives it.
    void selectionChanged(const QString &path);

private:
    QString currentPath() const;
    bool ownOkChoice() const;

    QString root_;
    bool onlyExistingFolders_;
    bool following_ = false;  // keeping the selection in view
    QFileSystemModel *model_;
    QSortFilterProxyModel *filter_;
    QTreeView *tree_;
    QLabel *status_;
    QPushButton *ok_;
};
