#include "bmedit.h"

#include <QLineEdit>

Tfrm_BMEdit::Tfrm_BMEdit(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("frm_BMEdit"));
    setWindowTitle(QStringLiteral("ブックマークの編集"));
    txtName = new QLineEdit(QStringLiteral("txtName"), this);
    txtName->setObjectName(QStringLiteral("txtName"));
    txtURL = new QLineEdit(QStringLiteral("txtURL"), this);
    txtURL->setObjectName(QStringLiteral("txtURL"));
}
