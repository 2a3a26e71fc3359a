// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the frame's tool windows (site settings, site data, filter lists,
// engine rules, clearing data) share: said once so they look and behave
// alike.

#include "core/placement.h"

#include <QPointer>
#include <QString>
#include <QStringList>
#include <initializer_list>

class QHBoxLayout;
class QTreeWidget;
class QWidget;

namespace toolwindow {

struct Component {
    QWidget *widget;
    const char *name;
};

// A window of its own, gone when closed (Escape closes it too), its
// components named as the code names them.
void prepare(QWidget *window, const char *name, const QString &title, std::initializer_list<Component> components);

// A list to pick several rows of, sorted by column 0; stretch takes the
// width left.
void prepareList(QTreeWidget *list, const QStringList &headers, int stretch = 0);

// A row of buttons; the last ones stand apart at the right.
QHBoxLayout *buttonRow(std::initializer_list<QWidget *> left, std::initializer_list<QWidget *> right);

// The one window of its kind: made by make on the first call, centred over
// owner, and brought to the front on every call.
template <class Form, class Make>
Form *showOnly(QPointer<Form> &form, QWidget *owner, Make make)
{
    if (!form) {
        form = make();
        if (owner)
            centreOver(form, owner);
    }
    form->QWidget::show();
    form->raise();
    form->activateWindow();
    return form;
}

}  // namespace toolwindow
