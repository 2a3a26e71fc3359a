// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// "サイトの設定": every decision remembered for a site, which the user may
// change or forget. One window for the program, opened from a page's
// context menu on that page's site.

#include <QWidget>
#include <optional>

class QLabel;
class QPushButton;
class QTreeWidget;

class SiteSettingsForm : public QWidget {
    Q_OBJECT
public:
    // Shows the window (made once, then raised) over from's top-level
    // window with the decisions of site selected; returns it.
    static SiteSettingsForm *showFor(QWidget *from, const QString &site);

    QTreeWidget *lvPermissions;
    QLabel *lblSite;
    QPushButton *btnAllow;
    QPushButton *btnDeny;
    QPushButton *btnRemove;
    QPushButton *btnClose;

    // Reads the decisions again, keeping the selection.
    void reload();
    void selectSite(const QString &site);

protected:
    void changeEvent(QEvent *event) override;

private:
    explicit SiteSettingsForm(QWidget *parent);
    // Sets the selected decisions to allowed, denied or forgotten.
    void change(std::optional<bool> allowed);
    void updateButtons();
};
