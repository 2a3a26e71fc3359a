// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The version dialog of the Help menu: created once, shown modally, hidden again.

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget *parent = nullptr);

    QFrame *Panel1;
    QPushButton *OKButton;
    QLabel *ProductName;
    QLabel *Version;
    QLabel *Label1;
    QFrame *Bevel1;

protected:
    void showEvent(QShowEvent *event) override;
};
