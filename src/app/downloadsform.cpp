// SPDX-License-Identifier: GPL-3.0-or-later
#include "downloadsform.h"

#include "app/mainform.h"
#include "app/toolbars.h"
#include "browser/browserwindow.h"
#include "browser/downloadlist.h"
#include "browser/enginecontrol.h"
#include "browser/pagedialogs.h"
#include "core/errors.h"
#include "core/formfont.h"
#include "core/placement.h"
#include "core/plaintext.h"

#include <QAction>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QEvent>
#include <QFileInfo>
#include <QMouseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

enum Column { Name, Size, Progress, Speed, State };

QString progressText(const DownloadList::Entry &e)
{
    if (e.size > 0)
        return QStringLiteral("%1 / %2 (%3 %)")
            .arg(pagedialogs::sizeText(e.received), pagedialogs::sizeText(e.size))
            .arg(qBound(qint64(0), e.received * 100 / e.size, qint64(100)));
    return pagedialogs::sizeText(e.received);
}

// The desktop's file manager shows the file selected in its folder; false
// when there is none on the session bus.
bool showInFileManager(const QString &path)
{
    const QString service = QStringLiteral("org.freedesktop.FileManager1");
    QDBusConnection bus = QDBusConnection::sessionBus();
    QDBusConnectionInterface *names = bus.isConnected() ? bus.interface() : nullptr;
    if (!names || (!names->isServiceRegistered(service) && !names->activatableServiceNames().value().contains(service)))
        return false;
    QDBusMessage call = QDBusMessage::createMethodCall(service, QStringLiteral("/org/freedesktop/FileManager1"),
                                                       service, QStringLiteral("ShowItems"));
    call << QStringList{QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded)} << QString();
    return bus.call(call, QDBus::Block, 5000).type() == QDBusMessage::ReplyMessage;
}

// Opens the downloads window on a click while the status bar shows a
// download's message.
class StatusBarWatch : public QObject {
public:
    explicit StatusBarWatch(TMainForm *frame) : QObject(frame->StatusBar1), frame_(frame) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::MouseButtonRelease &&
            static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton &&
            downloads::isDownloadMessage(frame_->StatusBar1->panelText()))
            runGuarded([this] { TDownloadsForm::showFor(frame_); });
        return QObject::eventFilter(watched, event);
    }

private:
    TMainForm *frame_;
};

}  // namespace

TDownloadsForm *TDownloadsForm::showFor(TMainForm *frame)
{
    auto *form = frame->findChild<TDownloadsForm *>(QString(), Qt::FindDirectChildrenOnly);
    if (!form) {
        // A retry goes through the active window's engine, else any window's.
        form = new TDownloadsForm(DownloadList::instance(), [frame]() -> EngineControl * {
            TBrowserWindow *w = frame->ActiveMDIChild();
            if (!w && !frame->browserWindows().isEmpty())
                w = frame->browserWindows().first();
            return w ? w->control() : nullptr;
        }, frame);
        centreOver(form, frame);
    }
    form->show();
    form->raise();
    form->activateWindow();
    return form;
}

void TDownloadsForm::watchStatusBar(TMainForm *frame)
{
    auto *watch = new StatusBarWatch(frame);
    frame->StatusBar1->installEventFilter(watch);
    // The panel takes the clicks on its text.
    for (QWidget *child : frame->StatusBar1->findChildren<QWidget *>())
        child->installEventFilter(watch);
}

TDownloadsForm::Opener &TDownloadsForm::opener()
{
    static Opener open = [](const QUrl &url) { return QDesktopServices::openUrl(url); };
    return open;
}

TDownloadsForm::TDownloadsForm(DownloadList &list, std::function<EngineControl *()> engine, QWidget *frame)
    : QWidget(frame, Qt::Window), list_(list), engine_(std::move(engine))
{
    setObjectName(QStringLiteral("frm_Downloads"));
    setWindowTitle(QStringLiteral("ダウンロード"));
    setFont(formFont());
    lstDownloads = new QTreeWidget(this);
    lstDownloads->setObjectName(QStringLiteral("lstDownloads"));
    lstDownloads->setHeaderLabels({QStringLiteral("名前"), QStringLiteral("サイズ"), QStringLiteral("進行状況"),
                                   QStringLiteral("速度"), QStringLiteral("状態")});
    lstDownloads->setRootIsDecorated(false);
    lstDownloads->setSelectionMode(QAbstractItemView::SingleSelection);
    lstDownloads->header()->setSectionResizeMode(Name, QHeaderView::Stretch);
    lstDownloads->header()->setStretchLastSection(false);

    auto button = [this](const char *name, const QString &text) {
        auto *b = new QPushButton(text, this);
        b->setObjectName(QString::fromLatin1(name));
        return b;
    };
    btnOpen = button("btnOpen", QStringLiteral("開く"));
    btnShowFolder = button("btnShowFolder", QStringLiteral("フォルダーを開く"));
    btnRetry = button("btnRetry", QStringLiteral("再試行"));
    btnCancel = button("btnCancel", QStringLiteral("キャンセル"));
    btnRemove = button("btnRemove", QStringLiteral("一覧から削除"));
    auto *buttons = new QHBoxLayout;
    for (QPushButton *b : {btnOpen, btnShowFolder, btnRetry, btnCancel, btnRemove})
        buttons->addWidget(b);
    buttons->addStretch();
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(lstDownloads);
    layout->addLayout(buttons);
    resize(720, 420);

    connect(btnOpen, &QPushButton::clicked, this, guarded([this](bool) { btnOpenClick(); }));
    connect(btnShowFolder, &QPushButton::clicked, this, guarded([this](bool) { btnShowFolderClick(); }));
    connect(btnRetry, &QPushButton::clicked, this, guarded([this](bool) { btnRetryClick(); }));
    connect(btnCancel, &QPushButton::clicked, this, guarded([this](bool) { btnCancelClick(); }));
    connect(btnRemove, &QPushButton::clicked, this, guarded([this](bool) { btnRemoveClick(); }));
    connect(lstDownloads, &QTreeWidget::itemActivated, this, guarded([this](QTreeWidgetItem *, int) {
        const DownloadList::Entry *e = list_.find(selectedId());
        if (e && e->state == DownloadList::State::Completed)
            btnOpenClick();
    }));
    connect(lstDownloads, &QTreeWidget::itemSelectionChanged, this, &TDownloadsForm::updateButtons);
    connect(&list_, &DownloadList::added, this, [this](int id) { addItem(id); });
    connect(&list_, &DownloadList::changed, this, [this](int id) {
        updateItem(id);
        updateButtons();
    });
    connect(&list_, &DownloadList::removed, this, [this](int id) { delete itemOf(id); });

    for (const DownloadList::Entry &e : list_.entries())
        addItem(e.id);
    if (lstDownloads->topLevelItemCount() > 0)
        lstDownloads->setCurrentItem(lstDownloads->topLevelItem(0));
    for (int c : {Size, Progress, Speed, State})
        lstDownloads->resizeColumnToContents(c);
    updateButtons();

    auto *close = new QAction(this);
    close->setShortcut(Qt::Key_Escape);
    connect(close, &QAction::triggered, this, &QWidget::close);
    addAction(close);
}

QTreeWidgetItem *TDownloadsForm::itemOf(int id) const
{
    for (int i = 0; i < lstDownloads->topLevelItemCount(); ++i) {
        QTreeWidgetItem *item = lstDownloads->topLevelItem(i);
        if (item->data(Name, Qt::UserRole).toInt() == id)
            return item;
    }
    return nullptr;
}

void TDownloadsForm::addItem(int id)
{
    // The newest first.
    auto *item = new QTreeWidgetItem;
    item->setData(Name, Qt::UserRole, id);
    lstDownloads->insertTopLevelItem(0, item);
    updateItem(id);
}

void TDownloadsForm::updateItem(int id)
{
    QTreeWidgetItem *item = itemOf(id);
    const DownloadList::Entry *e = list_.find(id);
    if (!item || !e)
        return;
    const bool running = e->state == DownloadList::State::Running;
    item->setText(Name, e->name);
    item->setToolTip(Name, plaintext::toolTip(e->path));
    item->setText(Size, e->size > 0 ? pagedialogs::sizeText(e->size) : QString());
    item->setText(Progress, progressText(*e));
    item->setText(Speed, running && e->speed > 0 ? pagedialogs::sizeText(e->speed) + QStringLiteral("/秒") : QString());
    item->setText(State, DownloadList::stateText(e->state));
}

int TDownloadsForm::selectedId() const
{
    const QTreeWidgetItem *item = lstDownloads->currentItem();
    return item && item->isSelected() ? item->data(Name, Qt::UserRole).toInt() : 0;
}

void TDownloadsForm::selectId(int id)
{
    if (QTreeWidgetItem *item = itemOf(id))
        lstDownloads->setCurrentItem(item);
}

void TDownloadsForm::updateButtons()
{
    const DownloadList::Entry *e = list_.find(selectedId());
    const bool running = e && e->state == DownloadList::State::Running;
    const bool ended = e && !running;
    btnOpen->setEnabled(e && e->state == DownloadList::State::Completed);
    btnShowFolder->setEnabled(e);
    btnRetry->setEnabled(ended && e->state != DownloadList::State::Completed && e->source.isValid());
    btnCancel->setEnabled(running);
    btnRemove->setEnabled(ended);
}

void TDownloadsForm::btnOpenClick()
{
    const DownloadList::Entry *e = list_.find(selectedId());
    if (!e)
        return;
    if (!QFileInfo(e->path).isFile())
        throw VexelError(QStringLiteral("%1 が見つかりません").arg(e->path));
    if (!opener()(QUrl::fromLocalFile(e->path)))
        throw VexelError(QStringLiteral("%1 を開けません").arg(e->path));
}

void TDownloadsForm::btnShowFolderClick()
{
    const DownloadList::Entry *e = list_.find(selectedId());
    if (!e)
        return;
    const QFileInfo file(e->path);
    if (file.exists() && showInFileManager(file.absoluteFilePath()))
        return;
    const QString folder = file.absolutePath();
    if (!QFileInfo(folder).isDir())
        throw VexelError(QStringLiteral("%1 が見つかりません").arg(folder));
    if (!opener()(QUrl::fromLocalFile(folder)))
        throw VexelError(QStringLiteral("%1 を開けません").arg(folder));
}

void TDownloadsForm::btnRetryClick()
{
    const DownloadList::Entry *e = list_.find(selectedId());
    if (!e || e->state == DownloadList::State::Running || !e->source.isValid())
        return;
    EngineControl *engine = engine_ ? engine_() : nullptr;
    if (!engine)
        throw VexelError(QStringLiteral("ダウンロードするウィンドウがありません"));
    engine->Download(e->source);
}

void TDownloadsForm::btnCancelClick()
{
    list_.cancel(selectedId());
}

void TDownloadsForm::btnRemoveClick()
{
    list_.remove(selectedId());
    updateButtons();
}
