#include "firstwindow.h"

#include "core/programdir.h"
#include "app/sessionfile.h"
#include "app/windowsession.h"
#include "settings/config.h"

#include <QFile>

FirstWindow firstWindowEngine(const QStringList &addresses)
{
    const QString ini = configPath(programDirectory());
    // As the frame reads them when its windows open.
    if (!addresses.isEmpty())
        return config::lastEngineIsIE(ini) ? FirstWindow::InternetExplorer : FirstWindow::Gecko;
    QFile file(TWindowSession::filePath());
    if (!file.exists() || !file.open(QIODevice::ReadOnly))
        return FirstWindow::None;
    const std::optional<SessionSnapshot> left = sessionFromJson(file.read(kSessionMaxBytes + 1));
    if (!left || left->windows.isEmpty())
        return FirstWindow::None;
    // A Gecko window reopens in Internet Explorer while Gecko is off.
    return left->windows.first().ie || config::mozilla(ini) == 0 ? FirstWindow::InternetExplorer : FirstWindow::Gecko;
}
