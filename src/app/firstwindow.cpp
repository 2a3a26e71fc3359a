// SPDX-License-Identifier: GPL-3.0-or-later
#include "firstwindow.h"

#include "core/programdir.h"
#include "app/sessionfile.h"
#include "app/windowsession.h"
#include "browser/enginerules.h"
#include "settings/config.h"

#include <QFile>

FirstWindow firstWindowEngine(const QStringList &addresses)
{
    const QString ini = configPath(programDirectory());
    // As the frame reads them when its windows open.
    if (!addresses.isEmpty()) {
        // Gecko switched off opens every window in Internet Explorer; a rule
        // for the first address may name the other engine.
        const bool gecko = config::mozilla(ini) != 0;
        const bool ie = config::lastEngineIsIE(ini) || !gecko;
        return enginerules::choose(addresses.first(), ie, gecko).ie ? FirstWindow::InternetExplorer
                                                                   : FirstWindow::Gecko;
    }
    QFile file(TWindowSession::filePath());
    if (!file.exists() || !file.open(QIODevice::ReadOnly))
        return FirstWindow::None;
    const std::optional<SessionSnapshot> left = sessionFromJson(file.read(kSessionMaxBytes + 1));
    if (!left || left->windows.isEmpty())
        return FirstWindow::None;
    // A Gecko window reopens in Internet Explorer while Gecko is off.
    return left->windows.first().ie || config::mozilla(ini) == 0 ? FirstWindow::InternetExplorer : FirstWindow::Gecko;
}
