#include "option.h"

#include "app/errors.h"
#include "app/mainform.h"
#include "app/programdir.h"
#include "profile.h"

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

Tfrm_Option::Tfrm_Option(TMainForm *mainForm) : QWidget(nullptr, Qt::Tool), mainForm_(mainForm)
{
    setObjectName(QStringLiteral("frm_Option"));
    setWindowTitle(QStringLiteral("オプション"));
    chkMoz = new QCheckBox(QStringLiteral("Geckoを使用する"), this);
    chkMoz->setObjectName(QStringLiteral("chkMoz"));
    txtMozPath = new QLineEdit(this);
    txtMozPath->setObjectName(QStringLiteral("txtMozPath"));
    BitBtn1 = new QPushButton(this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    chkWin1 = new QCheckBox(QStringLiteral("ブックマーク"), this);
    chkWin1->setObjectName(QStringLiteral("chkWin1"));
    chkWin2 = new QCheckBox(QStringLiteral("アドレスバー"), this);
    chkWin2->setObjectName(QStringLiteral("chkWin2"));
    runGuarded([this] { FormCreate(); });
}

void Tfrm_Option::FormCreate()
{
    ProgramDir = mainForm_ ? mainForm_->ProgramDir : executableDirectory();
    ReadIni();
}

void Tfrm_Option::ReadIni()
{
    const QString ini = configPath(ProgramDir);
    chkMoz->setChecked(profile::readInteger(ini, QStringLiteral("Option_Main"), QStringLiteral("Mozilla"), 0) != 0);
    chkMozClick();
    txtMozPath->setText(profile::readString(ini, QStringLiteral("Option_Main"), QStringLiteral("MozPath"), QString()));
    chkWin1->setChecked(profile::readInteger(ini, QStringLiteral("Option_Window"), QStringLiteral("BookMark"), 0) != 0);
    chkWin1Click();
    chkWin2->setChecked(profile::readInteger(ini, QStringLiteral("Option_Window"), QStringLiteral("AddressBar"), 0) != 0);
    chkWin2Click();
}

void Tfrm_Option::chkMozClick()
{
    const bool on = chkMoz->isChecked();
    chkMoz->setProperty("Tag", on ? 1 : 0);
    txtMozPath->setEnabled(on);
    BitBtn1->setEnabled(on);
    if (mainForm_)
        mainForm_->Moz_Item->setEnabled(on);
}

void Tfrm_Option::chkWin1Click()
{
    chkWin1->setProperty("Tag", chkWin1->isChecked() ? 1 : 0);
}

void Tfrm_Option::chkWin2Click()
{
    chkWin2->setProperty("Tag", chkWin2->isChecked() ? 1 : 0);
}
