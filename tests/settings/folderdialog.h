// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Drives the modal folder dialog from inside Execute (with WhenOpen): its
// buttons and its selection.

#include "settings/folderbrowser.h"
#include "whenopen.h"

#include <QFileSystemModel>
#include <QPushButton>
#include <QTreeView>

inline void press(QWidget *dialog, const char *button)
{
    dialog->findChild<QPushButton *>(QString::fromLatin1(button))->click();
}

inline QString selectedPath(QWidget *dialog)
{
    auto *tree = dialog->findChild<QTreeView *>(QStringLiteral("folderTree"));
    return tree->currentIndex().data(QFileSystemModel::FilePathRole).toString();
}
