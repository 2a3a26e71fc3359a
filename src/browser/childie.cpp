// SPDX-License-Identifier: GPL-3.0-or-later
#include "childie.h"

#include "core/errors.h"
#include "enginecontrol.h"

Tfrm_IE::Tfrm_IE(const WindowState &frameShows, bool privateWindow)
    : TBrowserWindow(engines::IE_CLSID, QStringLiteral("frm_IE"), frameShows, privateWindow)
{
    bindHandlers(this, &Tfrm_IE::TWeb_IEStatusTextChange, &Tfrm_IE::TWeb_IEProgressChange,
                 &Tfrm_IE::TWeb_IECommandStateChange, &Tfrm_IE::TWeb_IETitleChange, &Tfrm_IE::TWeb_IENewWindow2);
    FormCreate();
}

void Tfrm_IE::TWeb_IEStatusTextChange(const QString &Text)
{
    statusTextChanged(Text);
}

void Tfrm_IE::TWeb_IEProgressChange(int Progress, int ProgressMax)
{
    if (ProgressMax != 0)
        setShownProgress(int(qint64(Progress) * 100 / ProgressMax));
    else if (Progress == 0)
        setShownProgress(0);
    // Stop is usable while a load is under way: from the first report of a
    // load until it reaches its maximum or the engine reports it over
    // (a negative or zero-based report). Without this, nothing would ever
    // enable Stop in this kind of window.
    StopEnabled = ProgressMax > 0 && Progress >= 0 && Progress < ProgressMax;
    publish(WindowState::Progress | WindowState::Buttons);
}

void Tfrm_IE::TWeb_IECommandStateChange(EngineControl::NavigationCommand Command, bool Enable)
{
    commandStateChanged(Command, Enable);
}

void Tfrm_IE::TWeb_IETitleChange(const QString &Text)
{
    titleChanged(Text);
}

void Tfrm_IE::TWeb_IENewWindow2(const NewWindowRequest &request)
{
    pageAsksForWindow(Caption, request);
}
