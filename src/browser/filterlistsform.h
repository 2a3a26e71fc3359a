// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// "フィルター リスト": the lists content blocking reads — the packaged ones
// this system has, and the user's own files and addresses, which the user
// adds, removes and updates here. One window for the program.

#include <QWidget>

class QLabel;
class QListWidget;
class QPushButton;

class FilterListsForm : public QWidget {
    Q_OBJECT
public:
    // Shows the window (made once, then raised) over from's top-level window.
    static FilterListsForm *showFor(QWidget *from);

    QListWidget *lstPackaged;
    QListWidget *lstOwn;
    QLabel *lblRules;
    QPushButton *btnAddFile;
    QPushButton *btnAddAddress;
    QPushButton *btnRemove;
    QPushButton *btnUpdate;
    QPushButton *btnClose;

    void reload();
    // Adds a list: a file's absolute path or an http(s) address. Throws
    // when it is neither.
    void addList(const QString &list);

private:
    explicit FilterListsForm(QWidget *parent);
    void removeSelected();
};
