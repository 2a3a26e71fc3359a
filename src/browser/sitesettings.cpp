// SPDX-License-Identifier: GPL-3.0-or-later
#include "sitesettings.h"

#include "core/errors.h"
#include "core/toolwindow.h"
#include "sitedataform.h"
#include "sitepermissions.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSet>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

enum Role { SiteRole = Qt::UserRole, KindRole };

QString decisionText(bool allowed)
{
    return allowed ? QStringLiteral("許可") : QStringLiteral("拒否");
}

}  // namespace

SiteSettingsForm::SiteSettingsForm(QWidget *parent)
    : QWidget(parent, Qt::Window),
      lvPermissions(new QTreeWidget(this)),
      lblSite(new QLabel(this)),
      btnAllow(new QPushButton(QStringLiteral("許可"), this)),
      btnDeny(new QPushButton(QStringLiteral("拒否"), this)),
      btnRemove(new QPushButton(QStringLiteral("削除"), this)),
      btnClose(new QPushButton(QStringLiteral("閉じる"), this))
{
    auto *siteData = new QPushButton(QStringLiteral("サイトのデータ..."), this);
    toolwindow::prepare(this, "frm_SiteSettings", QStringLiteral("サイトの設定"),
                        {{lvPermissions, "lvPermissions"}, {lblSite, "lblSite"}, {btnAllow, "btnAllow"},
                         {btnDeny, "btnDeny"}, {btnRemove, "btnRemove"}, {btnClose, "btnClose"},
                         {siteData, "btnSiteData"}});
    lblSite->setTextFormat(Qt::PlainText);  // a site's name is the page's word
    toolwindow::prepareList(lvPermissions, {QStringLiteral("サイト"), QStringLiteral("種類"), QStringLiteral("設定")});
    connect(siteData, &QPushButton::clicked, this, guarded([this](bool) { SiteDataForm::showFor(this); }));

    auto *buttons = toolwindow::buttonRow({btnAllow, btnDeny, btnRemove, siteData}, {btnClose});
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(lblSite);
    layout->addWidget(lvPermissions);
    layout->addLayout(buttons);
    resize(560, 360);

    connect(btnAllow, &QPushButton::clicked, this, guarded([this](bool) { change(true); }));
    connect(btnDeny, &QPushButton::clicked, this, guarded([this](bool) { change(false); }));
    connect(btnRemove, &QPushButton::clicked, this, guarded([this](bool) { change(std::nullopt); }));
    connect(btnClose, &QPushButton::clicked, this, &QWidget::close);
    connect(lvPermissions, &QTreeWidget::itemSelectionChanged, this, [this] { updateButtons(); });
    reload();
}

SiteSettingsForm *SiteSettingsForm::showFor(QWidget *from, const QString &site)
{
    static QPointer<SiteSettingsForm> form;
    QWidget *owner = from ? from->window() : nullptr;
    toolwindow::showOnly(form, owner, [owner] { return new SiteSettingsForm(owner); });
    form->reload();
    form->selectSite(site);
    return form;
}

void SiteSettingsForm::reload()
{
    QSet<std::pair<QString, int>> selected;
    for (QTreeWidgetItem *item : lvPermissions->selectedItems())
        selected.insert({item->data(0, SiteRole).toString(), item->data(0, KindRole).toInt()});
    lvPermissions->clear();
    for (const sitepermissions::Entry &e : sitepermissions::remembered()) {
        auto *item = new QTreeWidgetItem(lvPermissions, {e.site, sitepermissions::kindLabel(e.kind), decisionText(e.allowed)});
        item->setData(0, SiteRole, e.site);
        item->setData(0, KindRole, int(e.kind));
        item->setSelected(selected.contains({e.site, int(e.kind)}));
    }
    updateButtons();
}

void SiteSettingsForm::selectSite(const QString &site)
{
    lvPermissions->clearSelection();
    QTreeWidgetItem *first = nullptr;
    for (int i = 0; i < lvPermissions->topLevelItemCount(); ++i) {
        QTreeWidgetItem *item = lvPermissions->topLevelItem(i);
        if (item->data(0, SiteRole).toString() != site)
            continue;
        item->setSelected(true);
        if (!first)
            first = item;
    }
    if (first)
        lvPermissions->scrollToItem(first);
    lblSite->setText(site.isEmpty() ? QString()
                     : first        ? site
                                    : QStringLiteral("%1 について記憶している設定はありません").arg(site));
}

void SiteSettingsForm::change(std::optional<bool> allowed)
{
    for (QTreeWidgetItem *item : lvPermissions->selectedItems())
        sitepermissions::remember(item->data(0, SiteRole).toString(),
                                  sitepermissions::Kind(item->data(0, KindRole).toInt()), allowed);
    reload();
}

void SiteSettingsForm::updateButtons()
{
    const bool any = !lvPermissions->selectedItems().isEmpty();
    btnAllow->setEnabled(any);
    btnDeny->setEnabled(any);
    btnRemove->setEnabled(any);
}

void SiteSettingsForm::changeEvent(QEvent *event)
{
    // A question answered meanwhile may have remembered more.
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        reload();
    QWidget::changeEvent(event);
}
