// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "browserwindow.h"

// A browser window on the engine of the "Internet Explorer" slot.
class Tfrm_IE : public TBrowserWindow {
    Q_OBJECT
public:
    explicit Tfrm_IE(const WindowState &frameShows, bool privateWindow = false);

    // The caption File > New gives a window of this kind.
    static inline const QString Caption = QStringLiteral("Internet Explorer");

    void TWeb_IEStatusTextChange(const QString &Text);
    void TWeb_IEProgressChange(int Progress, int ProgressMax);
    void TWeb_IECommandStateChange(EngineControl::NavigationCommand Command, bool Enable);
    void TWeb_IETitleChange(const QString &Text);
    void TWeb_IENewWindow2(const NewWindowRequest &request);
};
