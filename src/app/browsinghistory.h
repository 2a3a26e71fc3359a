// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the frame remembers of browsing: each page a window finishes
// loading goes into the history, Ctrl+H shows it, and the address field
// suggests from it and from the bookmarks.

#include "app/addresscompleter.h"

#include <QDateTime>
#include <QObject>
#include <memory>

class HistoryStore;
class QAction;
class TAddressCompleter;
class TBrowserWindow;
class THistoryForm;
class TMainForm;

class TBrowsingHistory : public QObject {
    Q_OBJECT
public:
    explicit TBrowsingHistory(TMainForm *frame);
    ~TBrowsingHistory() override;

    QAction *HistoryAction;  // Ctrl+H, in no menu

    // Records what window's page visits.
    void watch(TBrowserWindow *window);
    // Opens the history window.
    void showHistory();

    // The history, opened on first use. A history that had to be started
    // afresh is reported once, then.
    HistoryStore *store();
    THistoryForm *historyForm() const { return form_; }
    TAddressCompleter *completer() const { return completer_; }

    // Every bookmark of the bookmark file, read again only when it changed.
    QList<Suggestion> bookmarks();

private:
    TMainForm *frame_;
    std::unique_ptr<HistoryStore> store_;
    THistoryForm *form_ = nullptr;
    TAddressCompleter *completer_;
    QList<Suggestion> bookmarks_;
    QDateTime bookmarksRead_;
    qint64 bookmarksSize_ = -1;
};
