// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "browserwindow.h"

// A browser window on the engine of the "Gekko" slot.
class Tfrm_MZ : public TBrowserWindow {
    Q_OBJECT
public:
    explicit Tfrm_MZ(const WindowState &frameShows, bool privateWindow = false);

    // The caption a Gecko window gives itself, and File > New gives it.
    static inline const QString Caption = QStringLiteral("Gecko");

    void FormCreate() override;
    void FormActivate() override;

    void TWeb_MZStatusTextChange(const QString &Text);
    void TWeb_MZProgressChange(int Progress, int ProgressMax);
    void TWeb_MZCommandStateChange(EngineControl::NavigationCommand Command, bool Enable);
    void TWeb_MZTitleChange(const QString &Text);
    void TWeb_MZNewWindow2(const NewWindowRequest &request);
};
