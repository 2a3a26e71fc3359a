// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The options dialog: the Gecko switch and folder, and the two new-window
// switches. It reads config.ini when it is made and writes the four values
// on OK; a tree on the left chooses the page on the right.

#include <QWidget>
#include <functional>

class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QTreeWidget;
class QTreeWidgetItem;
class TSHBrowseForFolderEx;

class Tfrm_Option : public QWidget {
    Q_OBJECT
public:
    // programDir: the main window's; geckoAvailable: told whether the Gecko
    // engine may be chosen, at creation and at every click of its switch.
    explicit Tfrm_Option(const QString &programDir, std::function<void(bool)> geckoAvailable = {});

    QString ProgramDir;  // copied from the main window at creation

    // Components in their declared order; each check box keeps its value,
    // 1 or 0, in its "Tag" property.
    TSHBrowseForFolderEx *selectFolder;
    QTreeWidget *TreeView1;
    QPushButton *Button1;
    QPushButton *Button2;
    QFrame *Panel1;
    QTabWidget *PageCTL;
    QWidget *TabSheet1;
    QLineEdit *txtMozPath;
    QCheckBox *chkMoz;
    QPushButton *BitBtn1;
    QWidget *TabSheet2;
    QLabel *Label1;
    QCheckBox *chkWin1;
    QCheckBox *chkWin2;

    void FormCreate();
    void ReadIni();
    void TreeView1Change(QTreeWidgetItem *Node);
    void chkMozClick();
    void chkWin1Click();
    void chkWin2Click();
    void BitBtn1Click();
    void Button1Click();
    void Button2Click();

private:
    QString mainProgramDir_;
    std::function<void(bool)> geckoAvailable_;
};
