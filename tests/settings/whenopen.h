#pragma once
// Drives the modal folder dialog from inside Execute: runs a step on it once
// it is open, then cancels it if the step left it open, so a failing step
// never blocks the run.

#include "settings/folderbrowser.h"

#include <QApplication>
#include <QFileSystemModel>
#include <QPushButton>
#include <QTimer>
#include <QTreeView>
#include <functional>

class WhenOpen {
public:
    explicit WhenOpen(std::function<void(FolderBrowserDialog *)> step) : step_(std::move(step))
    {
        timer_.setInterval(1);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            auto *dialog = qobject_cast<FolderBrowserDialog *>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            timer_.stop();
            ran = true;
            step_(dialog);
            if (dialog->isVisible())
                dialog->reject();
        });
        timer_.start();
    }
    bool ran = false;

private:
    std::function<void(FolderBrowserDialog *)> step_;
    QTimer timer_;
};

inline void press(QWidget *dialog, const char *button)
{
    dialog->findChild<QPushButton *>(QString::fromLatin1(button))->click();
}

inline QString selectedPath(QWidget *dialog)
{
    auto *tree = dialog->findChild<QTreeView *>(QStringLiteral("folderTree"));
    return tree->currentIndex().data(QFileSystemModel::FilePathRole).toString();
}
