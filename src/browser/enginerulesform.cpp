// SPDX-License-Identifier: GPL-3.0-or-later
#include "enginerulesform.h"

#include "browser/enginecontrol.h"
#include "browser/enginerules.h"
#include "core/atomicfile.h"
#include "core/errors.h"
#include "core/toolwindow.h"

#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

enum Column { HostColumn, SubdomainsColumn, EngineColumn };
enum Role { HostRole = Qt::UserRole, EngineRole };

const QString filter = QStringLiteral("テキスト ファイル (*.txt);;すべてのファイル (*)");

}  // namespace

EngineRulesForm::EngineRulesForm(QWidget *parent)
    : QWidget(parent, Qt::Window),
      lvRules(new QTreeWidget(this)),
      txtHost(new QLineEdit(this)),
      cmbEngine(new QComboBox(this)),
      btnAdd(new QPushButton(QStringLiteral("追加"), this)),
      btnIE(new QPushButton(QStringLiteral("Internet Explorer"), this)),
      btnGecko(new QPushButton(QStringLiteral("Gecko"), this)),
      btnRemove(new QPushButton(QStringLiteral("削除"), this)),
      btnImport(new QPushButton(QStringLiteral("インポート..."), this)),
      btnExport(new QPushButton(QStringLiteral("エクスポート..."), this)),
      btnClose(new QPushButton(QStringLiteral("閉じる"), this))
{
    toolwindow::prepare(this, "frm_EngineRules", QStringLiteral("エンジンのルール"),
                        {{lvRules, "lvRules"}, {txtHost, "txtHost"}, {cmbEngine, "cmbEngine"}, {btnAdd, "btnAdd"},
                         {btnIE, "btnIE"}, {btnGecko, "btnGecko"}, {btnRemove, "btnRemove"},
                         {btnImport, "btnImport"}, {btnExport, "btnExport"}, {btnClose, "btnClose"}});
    toolwindow::prepareList(lvRules, {QStringLiteral("ホスト"), QStringLiteral("サブドメインも"), QStringLiteral("エンジン")},
                            HostColumn);
    txtHost->setPlaceholderText(QStringLiteral("ホスト (例: intranet.example.jp、.example.jp でサブドメインも)"));
    cmbEngine->addItem(QStringLiteral("Internet Explorer"), engines::IE_CLSID);
    cmbEngine->addItem(QStringLiteral("Gecko"), engines::MOZILLA_CLSID);

    auto *adding = new QHBoxLayout;
    adding->addWidget(txtHost, 1);
    adding->addWidget(cmbEngine);
    adding->addWidget(btnAdd);
    auto *buttons = toolwindow::buttonRow({btnIE, btnGecko, btnRemove}, {btnImport, btnExport, btnClose});
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(lvRules);
    layout->addLayout(adding);
    layout->addLayout(buttons);
    resize(600, 380);

    connect(btnAdd, &QPushButton::clicked, this, guarded([this](bool) { addRule(); }));
    connect(txtHost, &QLineEdit::returnPressed, this, guarded([this] { addRule(); }));
    connect(btnIE, &QPushButton::clicked, this, guarded([this](bool) { setEngine(engines::IE_CLSID); }));
    connect(btnGecko, &QPushButton::clicked, this, guarded([this](bool) { setEngine(engines::MOZILLA_CLSID); }));
    connect(btnRemove, &QPushButton::clicked, this, guarded([this](bool) {
        qDeleteAll(lvRules->selectedItems());
        save();
    }));
    // The check box of the subdomains column edits a rule's reach.
    connect(lvRules, &QTreeWidget::itemChanged, this, guarded([this](QTreeWidgetItem *, int column) {
        if (!reloading_ && column == SubdomainsColumn)
            save();
    }));
    connect(btnImport, &QPushButton::clicked, this, guarded([this](bool) {
        const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("インポート"), QString(), filter);
        if (path.isEmpty())
            return;
        QMessageBox box(QMessageBox::Information, windowTitle(), QString(), QMessageBox::Ok, this);
        box.setTextFormat(Qt::PlainText);  // never read as markup, whatever the text holds
        box.setText(importFile(path));
        box.exec();
    }));
    connect(btnExport, &QPushButton::clicked, this, guarded([this](bool) {
        const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("エクスポート"),
                                                          QStringLiteral("engine-rules.txt"), filter);
        if (!path.isEmpty())
            exportFile(path);
    }));
    connect(btnClose, &QPushButton::clicked, this, &QWidget::close);
    connect(lvRules, &QTreeWidget::itemSelectionChanged, this, [this] { updateButtons(); });
    connect(&enginerules::Notifier::instance(), &enginerules::Notifier::changed, this, [this] { reload(); });
    reload();
}

EngineRulesForm *EngineRulesForm::showFor(QWidget *from)
{
    static QPointer<EngineRulesForm> form;
    QWidget *owner = from ? from->window() : nullptr;
    toolwindow::showOnly(form, owner, [owner] { return new EngineRulesForm(owner); });
    form->reload();
    return form;
}

void EngineRulesForm::reload()
{
    reloading_ = true;
    lvRules->clear();
    for (const enginerules::Rule &rule : enginerules::rules()) {
        auto *item = new QTreeWidgetItem(lvRules);
        // Tree items show their text as it stands, never as markup.
        item->setText(HostColumn, enginerules::displayHost(rule.host));
        item->setData(HostColumn, HostRole, rule.host);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(SubdomainsColumn, rule.subdomains ? Qt::Checked : Qt::Unchecked);
        item->setText(EngineColumn, enginerules::engineLabel(rule.engine));
        item->setData(EngineColumn, EngineRole, rule.engine);
    }
    reloading_ = false;
    updateButtons();
}

void EngineRulesForm::save()
{
    QList<enginerules::Rule> list;
    for (int i = 0; i < lvRules->topLevelItemCount(); ++i) {
        const QTreeWidgetItem *item = lvRules->topLevelItem(i);
        list.append({item->data(HostColumn, HostRole).toString(), item->checkState(SubdomainsColumn) == Qt::Checked,
                     item->data(EngineColumn, EngineRole).toString()});
    }
    // Two rows made one rule by a changed reach stay one.
    enginerules::setRules(enginerules::parse(enginerules::format(list)).rules);
}

void EngineRulesForm::addRule()
{
    // Read as a line of the rules file: a leading "." takes in the subdomains.
    const QString text = txtHost->text().trimmed();
    const QString word = enginerules::engineWord(cmbEngine->currentData().toString());
    const enginerules::Reading reading = enginerules::parse((text + QLatin1Char(' ') + word).toUtf8());
    if (reading.rules.isEmpty())
        throw VexelError(QStringLiteral("ホスト名として読めません: %1").arg(text));
    enginerules::setRules(enginerules::parse(enginerules::format(enginerules::rules() + reading.rules)).rules);
    txtHost->clear();
}

void EngineRulesForm::setEngine(const QString &engine)
{
    for (QTreeWidgetItem *item : lvRules->selectedItems())
        item->setData(EngineColumn, EngineRole, engine);
    save();
}

QString EngineRulesForm::importFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw VexelError(QStringLiteral("%1 を読めません").arg(path));
    const enginerules::Reading reading = enginerules::importText(file.read(1 << 20));
    return QStringLiteral("%1 行のルールを読み込みました。読めなかった行: %2").arg(reading.read).arg(reading.skipped);
}

void EngineRulesForm::exportFile(const QString &path)
{
    writeFileAtomically(path, enginerules::format(enginerules::rules()));
}

void EngineRulesForm::updateButtons()
{
    const bool any = !lvRules->selectedItems().isEmpty();
    btnIE->setEnabled(any);
    btnGecko->setEnabled(any);
    btnRemove->setEnabled(any);
}
