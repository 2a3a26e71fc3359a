// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// "サイトのデータ": what each site keeps in either engine (cookies, site
// storage), with removal per site or of all. Opened from "サイトの設定".

#include "browser/browsingdata.h"

#include <QWidget>

class QLabel;
class QPushButton;
class QTreeWidget;

class SiteDataForm : public QWidget {
    Q_OBJECT
public:
    // Shows the window (made once, then raised) over from's top-level
    // window, and reads the sites again.
    static SiteDataForm *showFor(QWidget *from);

    QTreeWidget *lvSites;
    QLabel *lblState;
    QPushButton *btnRemove;
    QPushButton *btnRemoveAll;
    QPushButton *btnClose;

    // Reads both engines' sites again; loaded() once they are shown.
    void reload();
    bool isBusy() const { return busy_ > 0; }

signals:
    void loaded();

private:
    explicit SiteDataForm(QWidget *parent);
    void show(const QList<browsingdata::Site> &sites);
    // Removes the selected sites' data, or every site's.
    void remove(bool all);
    void updateButtons();

    QList<browsingdata::Site> sites_;
    int busy_ = 0;
};
