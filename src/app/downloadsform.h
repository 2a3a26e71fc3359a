// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The downloads window: the program's downloads list, this run's and
// earlier runs', with what can be done to each.

#include <QWidget>
#include <functional>

class DownloadList;
class EngineControl;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
class TMainForm;

class TDownloadsForm : public QWidget {
    Q_OBJECT
public:
    // engine: the page a retry downloads through (the active window's, or
    // any), null when no window is open.
    TDownloadsForm(DownloadList &list, std::function<EngineControl *()> engine, QWidget *frame);

    QTreeWidget *lstDownloads;
    QPushButton *btnOpen, *btnShowFolder, *btnRetry, *btnCancel, *btnRemove;

    // The selected entry's id, 0 when none.
    int selectedId() const;
    void selectId(int id);

    void btnOpenClick();
    void btnShowFolderClick();
    void btnRetryClick();
    void btnCancelClick();
    void btnRemoveClick();

    // The frame's downloads window over the program's list, made when
    // first asked for; shown and raised (Ctrl+Shift+Y).
    static TDownloadsForm *showFor(TMainForm *frame);
    // A click on the frame's status bar while it shows a download's message
    // shows the window.
    static void watchStatusBar(TMainForm *frame);

    // How files and folders are shown; tests replace it.
    using Opener = std::function<bool(const QUrl &)>;
    static Opener &opener();

private:
    QTreeWidgetItem *itemOf(int id) const;
    void addItem(int id);
    void updateItem(int id);
    void updateButtons();

    DownloadList &list_;
    std::function<EngineControl *()> engine_;
};
