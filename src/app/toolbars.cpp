// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolbars.h"

#include <QLabel>

TBandToolBar::TBandToolBar(int identity, const QString &name, QWidget *parent)
    : QToolBar(parent), identity_(identity)
{
    setObjectName(name);
    setWindowTitle(name);
    setMovable(true);
    setFloatable(false);
    setAllowedAreas(Qt::TopToolBarArea);
    setMinimumHeight(24);
}

void TBandToolBar::setBandWidth(int width)
{
    bandWidth_ = qMax(0, width);
    updateGeometry();
}

QSize TBandToolBar::sizeHint() const
{
    QSize hint = QToolBar::sizeHint();
    if (bandWidth_ > 0)
        hint.setWidth(qMax(bandWidth_, minimumSizeHint().width()));
    return hint;
}

TStatusBar::TStatusBar(QWidget *parent) : QStatusBar(parent), panel_(new QLabel(this))
{
    setSizeGripEnabled(false);
    panel_->setObjectName(QStringLiteral("StatusBar1Panel0"));
    panel_->setTextFormat(Qt::PlainText);
    panel_->setMinimumWidth(0);
    panel_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    addWidget(panel_, 1);
}

QString TStatusBar::panelText() const
{
    return panel_->text();
}

void TStatusBar::setPanelText(const QString &text)
{
    panel_->setText(text);
}
