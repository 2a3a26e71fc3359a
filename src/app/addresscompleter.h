// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Suggestions under the address field while the user types: matching
// bookmarks first, then visited pages by how often and how lately. ↓/↑
// choose one, Enter or a click goes there as the Move button would; Esc
// closes the list and leaves the typed text. With no suggestion chosen,
// Enter is the field's own Enter.
//
// The list never takes the focus or grabs the pointer: the keys stay with
// the field (and its input method), and a click anywhere else reaches what
// was clicked (a Gecko page, which Qt cannot replay a click into, too).

#include <QList>
#include <QObject>
#include <QString>
#include <functional>

class QLineEdit;
class QStandardItemModel;
class QTreeView;

struct Suggestion {
    QString address;
    QString title;
};

class TAddressCompleter : public QObject {
    Q_OBJECT
public:
    static constexpr int kMaxShown = 10;

    // history: visited pages containing a text, best first, at most a count.
    // bookmarks: every bookmark of the file, in its order. go: what Enter
    // in the field does (the Move button).
    TAddressCompleter(QLineEdit *field, std::function<QList<Suggestion>(const QString &, int)> history,
                      std::function<QList<Suggestion>()> bookmarks, std::function<void()> go);
    ~TAddressCompleter() override;

    // Bookmarks containing typed (in address or title, any case) ahead of
    // history, each address once, at most kMaxShown.
    static QList<Suggestion> rank(const QString &typed, const QList<Suggestion> &bookmarks,
                                  const QList<Suggestion> &history);

    // What the list offers now (empty when it is closed), and the row
    // chosen (-1: none).
    QList<Suggestion> shown() const { return shown_; }
    int chosen() const;
    QTreeView *popup() const { return list_; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void textEdited(const QString &text);
    void move(int step);
    void choose(int row);
    void hide();

    QLineEdit *field_;
    QTreeView *list_;
    QStandardItemModel *model_;
    std::function<QList<Suggestion>(const QString &, int)> history_;
    std::function<QList<Suggestion>()> bookmarks_;
    std::function<void()> go_;
    QList<Suggestion> shown_;
};
