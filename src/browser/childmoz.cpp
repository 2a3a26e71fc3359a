// SPDX-License-Identifier: GPL-3.0-or-later
#include "childmoz.h"

#include "core/errors.h"
#include "enginecontrol.h"

Tfrm_MZ::Tfrm_MZ(const WindowState &frameShows, bool privateWindow)
    : TBrowserWindow(engines::MOZILLA_CLSID, QStringLiteral("frm_MZ"), frameShows, privateWindow)
{
    bindHandlers(this, &Tfrm_MZ::TWeb_MZStatusTextChange, &Tfrm_MZ::TWeb_MZProgressChange,
                 &Tfrm_MZ::TWeb_MZCommandStateChange, &Tfrm_MZ::TWeb_MZTitleChange, &Tfrm_MZ::TWeb_MZNewWindow2);
    FormCreate();
}

void Tfrm_MZ::FormCreate()
{
    FormResize();
    setWindowTitle(Caption);
    TBrowserWindow::FormCreate();
}

void Tfrm_MZ::FormActivate()
{
    TBrowserWindow::FormActivate();
    FormResize();
}

void Tfrm_MZ::TWeb_MZStatusTextChange(const QString &Text)
{
    statusTextChanged(Text);
}

void Tfrm_MZ::TWeb_MZProgressChange(int Progress, int ProgressMax)
{
    int position = ShownProgress;
    if (Progress != 0 && ProgressMax != 0)
        position = qBound(0, int(qint64(Progress) * 100 / ProgressMax), 100);
    // A load that reaches its maximum leaves the bar empty and Stop disabled.
    const bool finished = position == 100;
    setShownProgress(finished ? 0 : position);
    // The window's own Stop state follows its load, so coming back to it
    // shows its load's state rather than one saved before it finished.
    StopEnabled = !finished;
    publish(WindowState::Progress | WindowState::Buttons);
}

void Tfrm_MZ::TWeb_MZCommandStateChange(EngineControl::NavigationCommand Command, bool Enable)
{
    commandStateChanged(Command, Enable);
}

void Tfrm_MZ::TWeb_MZTitleChange(const QString &Text)
{
    titleChanged(Text);
}

void Tfrm_MZ::TWeb_MZNewWindow2(const NewWindowRequest &request)
{
    pageAsksForWindow(QStringLiteral("Mozilla"), request);
}
