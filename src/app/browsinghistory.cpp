// SPDX-License-Identifier: GPL-3.0-or-later
#include "browsinghistory.h"

#include "app/mainform.h"
#include "bookmarks/bookmarkfile.h"
#include "browser/browserwindow.h"
#include "core/errors.h"
#include "core/placement.h"
#include "core/programdir.h"
#include "history/historyform.h"
#include "history/historystore.h"
#include "settings/config.h"

#include <QAction>
#include <QFileInfo>
#include <QLineEdit>

namespace {

void collectBookmarks(const QList<xmlNode *> &entries, QList<Suggestion> &into)
{
    for (xmlNode *entry : entries) {
        if (bookmarks::isFolder(entry))
            collectBookmarks(bookmarks::folderEntries(entry), into);
        else if (const QString address = bookmarks::entryAddress(entry); !address.isEmpty())
            into.append({address, bookmarks::entryName(entry)});
    }
}

}  // namespace

TBrowsingHistory::TBrowsingHistory(TMainForm *frame) : QObject(frame), frame_(frame)
{
    HistoryAction = new QAction(QStringLiteral("履歴"), frame);
    HistoryAction->setObjectName(QStringLiteral("HistoryAction"));
    HistoryAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_H));
    HistoryAction->setShortcutContext(Qt::WindowShortcut);
    connect(HistoryAction, &QAction::triggered, this, guarded([this](bool) { showHistory(); }));
    frame->addAction(HistoryAction);

    completer_ = new TAddressCompleter(
        frame->txtAddress,
        [this](const QString &text, int limit) {
            QList<Suggestion> found;
            for (const HistoryStore::Entry &e : store()->matches(text, limit))
                found.append({e.address, e.title});
            return found;
        },
        [this] { return bookmarks(); }, [frame] { frame->btnMoveClick(); });
}

TBrowsingHistory::~TBrowsingHistory()
{
    // The window's view reads through the store's connection.
    delete form_;
}

HistoryStore *TBrowsingHistory::store()
{
    if (!store_) {
        store_ = std::make_unique<HistoryStore>(userDataDirectory() + QStringLiteral("history.sqlite"));
        if (!store_->notice().isEmpty())
            reportError(store_->notice());
    }
    return store_.get();
}

void TBrowsingHistory::watch(TBrowserWindow *window)
{
    connect(window, &TBrowserWindow::visited, this, guarded([this](const QString &address, const QString &title) {
        store()->recordVisit(address, title);
        if (form_ && form_->isVisible())
            form_->refresh();
    }));
    connect(window, &TBrowserWindow::retitled, this, guarded([this](const QString &address, const QString &title) {
        store()->setTitle(address, title);
    }));
}

void TBrowsingHistory::showHistory()
{
    if (!form_) {
        form_ = new THistoryForm(store(), frame_);
        centreOver(form_, frame_);
        // A page from the history opens as a bookmark would.
        connect(form_, &THistoryForm::openRequested, this, guarded([this](const QString &address) {
            frame_->txtAddress->setText(address);
            frame_->openOrNavigate(config::bookmarkWindow(frame_->iniPath()), address);
        }));
    }
    form_->show();
    form_->raise();
    form_->activateWindow();
}

QList<Suggestion> TBrowsingHistory::bookmarks()
{
    const QFileInfo file(bookmarks::bookmarkFilePath());
    if (file.lastModified() != bookmarksRead_ || file.size() != bookmarksSize_) {
        bookmarksRead_ = file.lastModified();
        bookmarksSize_ = file.size();
        bookmarks_.clear();
        const bookmarks::XmlDoc doc = bookmarks::readBookmarkFile(file.filePath());
        if (xmlNode *root = bookmarks::bookmarkRoot(doc))
            collectBookmarks(bookmarks::topLevelEntries(root), bookmarks_);
    }
    return bookmarks_;
}
