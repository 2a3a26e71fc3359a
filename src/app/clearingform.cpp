// SPDX-License-Identifier: GPL-3.0-or-later
#include "clearingform.h"

#include "app/browsinghistory.h"
#include "app/mainform.h"
#include "browser/browsingdata.h"
#include "browser/downloadlist.h"
#include "browser/sitepermissions.h"
#include "core/errors.h"
#include "core/toolwindow.h"
#include "history/historystore.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSet>
#include <QUrl>
#include <QVBoxLayout>

namespace {

// The periods, in seconds back from now; 0 is all of it.
constexpr qint64 kPeriods[] = {3600, 24 * 3600, 7 * 24 * 3600, 0};

// Runs one part of the clearing; what it throws is one failure of the lot.
void part(QStringList *failures, const std::function<void()> &clear)
{
    try {
        clear();
    } catch (const std::exception &e) {
        failures->append(QString::fromUtf8(e.what()));
    }
}

}  // namespace

TClearingForm::TClearingForm(TMainForm *frame)
    : QWidget(frame, Qt::Window),
      cmbPeriod(new QComboBox(this)),
      chkHistory(new QCheckBox(QStringLiteral("閲覧履歴"), this)),
      chkCookies(new QCheckBox(QStringLiteral("Cookie とサイトのデータ"), this)),
      chkCache(new QCheckBox(QStringLiteral("キャッシュ"), this)),
      chkDownloads(new QCheckBox(QStringLiteral("ダウンロードの一覧"), this)),
      chkPermissions(new QCheckBox(QStringLiteral("サイトの設定"), this)),
      lblState(new QLabel(this)),
      btnClear(new QPushButton(QStringLiteral("消去"), this)),
      btnCancel(new QPushButton(QStringLiteral("キャンセル"), this)),
      frame_(frame)
{
    toolwindow::prepare(this, "frm_ClearData", QStringLiteral("閲覧データを消去"),
                        {{cmbPeriod, "cmbPeriod"}, {chkHistory, "chkHistory"}, {chkCookies, "chkCookies"},
                         {chkCache, "chkCache"}, {chkDownloads, "chkDownloads"}, {chkPermissions, "chkPermissions"},
                         {lblState, "lblState"}, {btnClear, "btnClear"}, {btnCancel, "btnCancel"}});
    lblState->setTextFormat(Qt::PlainText);
    lblState->setWordWrap(true);
    cmbPeriod->addItems({QStringLiteral("過去 1 時間"), QStringLiteral("過去 24 時間"), QStringLiteral("過去 7 日間"),
                         QStringLiteral("すべての期間")});
    for (QCheckBox *c : {chkHistory, chkCookies, chkCache})
        c->setChecked(true);

    auto *note = new QLabel(QStringLiteral("期間を限ると、Cookie とサイトのデータ、サイトの設定はその期間に開いたサイトの分を消去します。"
                                           "キャッシュは期間によらずすべて消去します。"),
                            this);
    note->setWordWrap(true);
    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("期間"), cmbPeriod);
    auto *buttons = toolwindow::buttonRow({}, {btnClear, btnCancel});
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    for (QCheckBox *c : {chkHistory, chkCookies, chkCache, chkDownloads, chkPermissions})
        layout->addWidget(c);
    layout->addWidget(note);
    layout->addWidget(lblState);
    layout->addLayout(buttons);
    resize(420, 320);

    connect(btnClear, &QPushButton::clicked, this, guarded([this](bool) { Clear(); }));
    connect(btnCancel, &QPushButton::clicked, this, &QWidget::close);
}

TClearingForm *TClearingForm::showFor(TMainForm *frame)
{
    static QPointer<TClearingForm> form;
    return toolwindow::showOnly(form, frame, [frame] { return new TClearingForm(frame); });
}

QDateTime TClearingForm::since() const
{
    const qint64 seconds = kPeriods[qBound(0, cmbPeriod->currentIndex(), int(std::size(kPeriods)) - 1)];
    return seconds ? QDateTime::currentDateTime().addSecs(-seconds) : QDateTime();
}

void TClearingForm::Clear()
{
    if (busy_)
        return;
    const QDateTime from = since();
    QStringList failures;

    // The sites of the period, read before the history goes.
    HistoryStore *history = frame_->browsingHistory()->store();
    QStringList visited;
    QSet<QString> origins, known;
    for (const HistoryStore::Entry &e : history->entries()) {
        const QString o = browsingdata::originOf(QUrl(e.address));
        known.insert(o);
        if (from.isValid() && e.lastVisit >= from) {
            visited << e.address;
            origins.insert(o);
        }
    }
    origins.remove(QString());
    known.remove(QString());
    browsingdata::Scope scope;
    if (from.isValid())
        scope = QStringList(origins.begin(), origins.end());

    if (chkHistory->isChecked())
        // An address keeps one row, with its last visit: one visited in the
        // period goes whole.
        part(&failures, [&] { from.isValid() ? history->remove(visited) : history->clear(); });

    if (chkDownloads->isChecked())
        part(&failures, [&] {
            DownloadList &list = DownloadList::instance();
            for (const DownloadList::Entry &e : list.entries())
                if (e.state != DownloadList::State::Running && (!from.isValid() || e.started >= from))
                    list.remove(e.id);
        });

    if (chkPermissions->isChecked())
        part(&failures, [&] {
            QSet<QString> sites;
            for (const QString &o : scope.value_or(QStringList()))
                sites.insert(sitepermissions::siteOf(QUrl(o)));
            for (const sitepermissions::Entry &e : sitepermissions::remembered())
                if (!scope || sites.contains(e.site))
                    sitepermissions::remember(e.site, e.kind, std::nullopt);
        });

    browsingdata::Kinds kinds;
    if (chkCookies->isChecked())
        kinds |= browsingdata::Kinds(browsingdata::Cookies) | browsingdata::Storage;
    if (chkCache->isChecked())
        kinds |= browsingdata::Cache;
    busy_ = true;
    btnClear->setEnabled(false);
    lblState->setText(QStringLiteral("消去しています..."));
    if (!kinds) {
        finish(failures);
        return;
    }
    const QPointer<TClearingForm> self(this);
    browsingdata::clear(
        kinds, scope,
        [self, failures](const QStringList &engines) {
            if (self)
                self->finish(failures + engines);
            else if (!(failures + engines).isEmpty())
                runGuarded([&] { throw VexelError((failures + engines).join(QLatin1Char('\n'))); });
        },
        QStringList(known.begin(), known.end()));
}

void TClearingForm::finish(const QStringList &failures)
{
    busy_ = false;
    btnClear->setEnabled(true);
    lblState->setText(failures.isEmpty() ? QStringLiteral("消去しました") : QStringLiteral("一部を消去できませんでした"));
    emit cleared(failures);
    if (!failures.isEmpty())
        runGuarded([&] {
            throw VexelError(QStringLiteral("閲覧データの一部を消去できませんでした:\n%1").arg(failures.join(QLatin1Char('\n'))));
        });
}
