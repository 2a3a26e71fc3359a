// SPDX-License-Identifier: GPL-3.0-or-later
#include "whenopen.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QInputDialog>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QTest>

QWidget *WhenOpen::activeModal()
{
    return QApplication::activeModalWidget();
}

QWidget *WhenOpen::activePopup()
{
    return QApplication::activePopupWidget();
}

WhenOpen::WhenOpen(QList<Step> steps, Finder find) : steps_(std::move(steps)), find_(std::move(find))
{
    // Looked for often while any event loop runs: a condition, not a delay.
    timer_.setInterval(10);
    connect(&timer_, &QTimer::timeout, this, &WhenOpen::poll);
    timer_.start();
}

static QString shownText(QWidget *w)
{
    if (auto *box = qobject_cast<QMessageBox *>(w))
        return box->text();
    if (auto *input = qobject_cast<QInputDialog *>(w))
        return input->labelText();
    if (auto *menu = qobject_cast<QMenu *>(w)) {
        QStringList items;
        for (QAction *a : menu->actions())
            if (!a->isSeparator() && a->isVisible())
                items << a->text();
        return items.join(QLatin1Char('|'));
    }
    const QList<QLabel *> labels = w->findChildren<QLabel *>();
    return labels.isEmpty() ? QString() : labels.first()->text();
}

void WhenOpen::poll()
{
    if (steps_.isEmpty()) {
        timer_.stop();
        return;
    }
    if (current_ && !current_->isVisible())
        current_ = nullptr;  // closed: a dialog shown again is a new one
    QWidget *w = find_();
    if (!w || !w->isVisible() || (w == current_ && !repeat_))
        return;
    if (w != current_) {
        current_ = w;
        texts << shownText(w);
        parents << w->parentWidget();
    }
    steps_.first()(w);
    const bool open = current_ && current_->isVisible();
    if (open && QTest::currentTestFailed()) {
        if (auto *dialog = qobject_cast<QDialog *>(current_.data()))
            dialog->reject();
        else
            current_->close();
    }
    if (!open || !repeat_ || QTest::currentTestFailed())
        steps_.removeFirst();
}
