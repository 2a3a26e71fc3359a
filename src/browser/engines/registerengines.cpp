#include "browser/enginecontrol.h"
#include "browser/engines/webengine/webenginecontrol.h"

namespace engines {

void registerBuiltInEngines()
{
    registerEngine(IE_CLSID, [](QWidget *parent) -> EngineControl * { return new WebEngineControl(parent); });
    // Made now, before any window is shown: the first web view added to a
    // shown window otherwise makes the window hide and reappear.
    WebEngineControl::sharedProfile();
}

}  // namespace engines
