// SPDX-License-Identifier: GPL-3.0-or-later
// What the Internet Explorer slot's part provides the frame as it loads.

#include "browser/engines/webenginepart.h"
#include "browser/engines/webengine/webenginecontrol.h"
#include "browser/engines/webengine/webenginedata.h"

namespace {

EngineControl *create(QWidget *parent)
{
    return new WebEngineControl(parent);
}

// Making the profile starts the engine: its browser side, the zygote the
// page processes fork from and the network service. A hidden page to start
// a page process as well was tried and dropped: the first window's page
// gets a process of its own anyway, and on two busy cores the spare one
// only competes with it.
void warm()
{
    WebEngineControl::sharedProfile();
}

const bool provided = [] {
    webenginepart::provide(
        {create, webenginedata::list, webenginedata::clear, warm, &WebEngineControl::releaseSharedProfile});
    return true;
}();

}  // namespace
