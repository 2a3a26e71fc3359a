// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The key list (F1): every key of the frame and what it does.

#include "app/framekeys.h"

#include <QWidget>

class QTreeWidget;

class TKeyListForm : public QWidget {
    Q_OBJECT
public:
    TKeyListForm(const QList<TFrameKeys::Entry> &entries, QWidget *frame);

    QTreeWidget *lstKeys;
};
