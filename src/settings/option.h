#pragma once
// The options dialog: the Gecko switch and folder, and the two new-window
// switches, read from config.ini when the dialog is made.

#include <QWidget>

class QCheckBox;
class QLineEdit;
class QPushButton;
class TMainForm;

class Tfrm_Option : public QWidget {
    Q_OBJECT
public:
    explicit Tfrm_Option(TMainForm *mainForm);

    QString ProgramDir;

    QCheckBox *chkMoz;
    QLineEdit *txtMozPath;
    QPushButton *BitBtn1;
    QCheckBox *chkWin1;
    QCheckBox *chkWin2;

    void FormCreate();
    void ReadIni();
    void chkMozClick();
    void chkWin1Click();
    void chkWin2Click();

private:
    TMainForm *mainForm_;
};
