#pragma once
// The bookmark editor: loads the bookmark file into its tree at start-up and
// writes the whole tree back on OK.

#include <QWidget>

class QLineEdit;

class Tfrm_BMEdit : public QWidget {
    Q_OBJECT
public:
    explicit Tfrm_BMEdit(QWidget *parent = nullptr);

    QLineEdit *txtName;
    QLineEdit *txtURL;
};
