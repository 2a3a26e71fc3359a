// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The frame's two kinds of bar: a band of the top tool-bar area, and the
// status bar of the bottom strip.

#include <QStatusBar>
#include <QToolBar>

class QLabel;

// A band's tool bar. Its preferred width is the band width restored from
// the settings file; the tool-bar area lays the bands out from it.
class TBandToolBar : public QToolBar {
    Q_OBJECT
public:
    TBandToolBar(int identity, const QString &name, QWidget *parent);
    int identity() const { return identity_; }
    void setBandWidth(int width);
    QSize sizeHint() const override;

private:
    int identity_;
    int bandWidth_ = 0;  // 0: the width the tool bar's contents ask for
};

// The status bar of the bottom strip: one panel filling the bar.
class TStatusBar : public QStatusBar {
    Q_OBJECT
public:
    explicit TStatusBar(QWidget *parent);
    QString panelText() const;
    void setPanelText(const QString &text);

private:
    QLabel *panel_;
};
