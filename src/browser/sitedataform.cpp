// SPDX-License-Identifier: GPL-3.0-or-later
#include "sitedataform.h"

#include "core/errors.h"
#include "core/toolwindow.h"
#include "pagedialogs.h"

#include <QAction>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <memory>

namespace {

enum Column { Host, Engines, Cookies, Storage };

QString enginesText(const browsingdata::Site &site)
{
    QStringList names;
    if (site.ie)
        names << QStringLiteral("Internet Explorer");
    if (site.gecko)
        names << QStringLiteral("Gecko");
    return names.join(QStringLiteral(", "));
}

QString storageText(const browsingdata::Site &site)
{
    const QString kinds = site.storage.join(QStringLiteral(", "));
    if (site.bytes <= 0 || kinds.isEmpty())
        return kinds;
    return QStringLiteral("%1 (%2)").arg(kinds, pagedialogs::sizeText(site.bytes));
}

// The failures of a removal, reported as every error is.
void reportFailures(const QStringList &failures)
{
    if (!failures.isEmpty())
        runGuarded([&] {
            throw VexelError(QStringLiteral("サイトのデータを削除できませんでした: %1").arg(failures.join(QStringLiteral(", "))));
        });
}

}  // namespace

SiteDataForm::SiteDataForm(QWidget *parent)
    : QWidget(parent, Qt::Window),
      lvSites(new QTreeWidget(this)),
      lblState(new QLabel(this)),
      btnRemove(new QPushButton(QStringLiteral("削除"), this)),
      btnRemoveAll(new QPushButton(QStringLiteral("すべて削除"), this)),
      btnClose(new QPushButton(QStringLiteral("閉じる"), this))
{
    toolwindow::prepare(this, "frm_SiteData", QStringLiteral("サイトのデータ"),
                        {{lvSites, "lvSites"}, {lblState, "lblState"}, {btnRemove, "btnRemove"},
                         {btnRemoveAll, "btnRemoveAll"}, {btnClose, "btnClose"}});
    lblState->setTextFormat(Qt::PlainText);
    toolwindow::prepareList(lvSites, {QStringLiteral("サイト"), QStringLiteral("エンジン"), QStringLiteral("Cookie"),
                                      QStringLiteral("ストレージ")},
                            Host);

    auto *buttons = toolwindow::buttonRow({btnRemove, btnRemoveAll}, {btnClose});
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(lvSites);
    layout->addWidget(lblState);
    layout->addLayout(buttons);
    resize(620, 380);

    connect(btnRemove, &QPushButton::clicked, this, guarded([this](bool) { remove(false); }));
    connect(btnRemoveAll, &QPushButton::clicked, this, guarded([this](bool) { remove(true); }));
    connect(btnClose, &QPushButton::clicked, this, &QWidget::close);
    connect(lvSites, &QTreeWidget::itemSelectionChanged, this, [this] { updateButtons(); });
}

SiteDataForm *SiteDataForm::showFor(QWidget *from)
{
    static QPointer<SiteDataForm> form;
    QWidget *owner = from ? from->window() : nullptr;
    toolwindow::showOnly(form, owner, [owner] { return new SiteDataForm(owner); });
    form->reload();
    return form;
}

void SiteDataForm::reload()
{
    ++busy_;
    lblState->setText(QStringLiteral("読み込んでいます..."));
    updateButtons();
    const QPointer<SiteDataForm> self(this);
    browsingdata::list([self](const QList<browsingdata::Site> &sites) {
        if (!self)
            return;
        --self->busy_;
        // Only the last of several readings is shown.
        if (self->busy_ == 0)
            self->show(sites);
    });
}

void SiteDataForm::show(const QList<browsingdata::Site> &sites)
{
    sites_ = sites;
    lvSites->clear();
    for (int i = 0; i < sites_.size(); ++i) {
        const browsingdata::Site &s = sites_[i];
        // Items show text as it stands: a host is the page's word.
        auto *item = new QTreeWidgetItem(lvSites, {s.host, enginesText(s), s.cookies ? QString::number(s.cookies) : QString(),
                                                   storageText(s)});
        item->setData(Host, Qt::UserRole, i);
    }
    lblState->setText(sites_.isEmpty() ? QStringLiteral("データを保存しているサイトはありません") : QString());
    updateButtons();
    emit loaded();
}

void SiteDataForm::remove(bool all)
{
    const QPointer<SiteDataForm> self(this);
    auto done = [self](const QStringList &failures) {
        if (self) {
            --self->busy_;
            self->reload();
        }
        reportFailures(failures);
    };
    if (all) {
        ++busy_;
        browsingdata::clear(browsingdata::Kinds(browsingdata::Cookies) | browsingdata::Storage, std::nullopt, done);
    } else {
        const QList<QTreeWidgetItem *> selected = lvSites->selectedItems();
        if (selected.isEmpty())
            return;
        // One report for every selected site.
        auto left = std::make_shared<int>(int(selected.size()));
        auto failures = std::make_shared<QStringList>();
        ++busy_;
        for (QTreeWidgetItem *item : selected)
            browsingdata::removeSite(sites_.value(item->data(Host, Qt::UserRole).toInt()),
                                     [left, failures, done](const QStringList &failed) {
                                         *failures += failed;
                                         if (--*left == 0)
                                             done(*failures);
                                     });
    }
    lblState->setText(QStringLiteral("削除しています..."));
    updateButtons();
}

void SiteDataForm::updateButtons()
{
    btnRemove->setEnabled(!busy_ && !lvSites->selectedItems().isEmpty());
    btnRemoveAll->setEnabled(!busy_ && !sites_.isEmpty());
}
