// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/enginecontrol.h"
#include "browser/engines/webenginepart.h"
#include "browser/engines/webkitgtk/webkitcontrol.h"
#include "core/errors.h"

#include <QGuiApplication>
#include <QOpenGLContext>

namespace engines {

void registerBuiltInEngines()
{
    // Qt WebEngine is loaded with the first window that needs it.
    registerEngine(IE_CLSID, [](QWidget *parent) -> EngineControl * {
        const webenginepart::Part *part = webenginepart::load();
        if (!part)
            throw VexelError(classNotRegisteredMessage());
        return part->create(parent);
    });
    // Its host process starts with the first Gecko window.
    registerEngine(MOZILLA_CLSID, [](QWidget *parent) -> EngineControl * { return new WebKitControl(parent); });
    // A Gecko view's container makes the MDI children native X windows, and
    // Qt WebEngine's view draws into a native child window only when that
    // window flushes through OpenGL (otherwise the IE window fails to draw
    // and the program crashes). So every window does, from the first one
    // on; this must precede the first window, like the profile above. Only
    // on X (the offscreen platform has no Gecko views) and where OpenGL
    // works (the IE slot needs it anyway).
    const QOpenGLContext *gl = QOpenGLContext::globalShareContext();
    if (QGuiApplication::platformName() == QLatin1String("xcb") && gl && gl->isValid() &&
        !qEnvironmentVariableIsSet("QT_WIDGETS_RHI"))
        qputenv("QT_WIDGETS_RHI", "1");
    // Drawing through OpenGL from the start also keeps the first web view
    // from making the shown frame hide and reappear on a new native window.
    // The web engine itself starts with the first window.
}

}  // namespace engines
