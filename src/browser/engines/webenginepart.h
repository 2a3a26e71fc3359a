// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The Internet Explorer slot's engine is a part of its own
// (vexel-webengine.so beside the program), loaded when the frame first needs
// it: a session without an Internet Explorer window never maps Qt WebEngine,
// Qt Quick or QML. The frame reaches the engine only through what the part
// provides here as it loads.

#include "browser/browsingdata.h"

#include <functional>

class EngineControl;
class QWidget;

namespace webenginepart {

struct Part {
    std::function<EngineControl *(QWidget *parent)> create;
    std::function<void(const browsingdata::Listed &done)> list;
    std::function<void(browsingdata::Kinds, const browsingdata::Scope &, const browsingdata::Done &,
                       const QStringList &known)>
        clear;
    // Starts the engine and makes its shared profile.
    std::function<void()> warm;
    // At the program's end, after every window has gone.
    std::function<void()> release;
};

// Called by the part as it is loaded (or, where the engine is linked into
// the program, before main).
void provide(const Part &part);

// The part, loaded on first use; nullptr when it cannot be loaded.
const Part *load();
// Whether the part is in the process (never loads it).
bool isLoaded();

// What the engine needs of the process before the application object
// exists; loads nothing.
void prepareProcess();

// Loads the part and starts the engine, for a session whose first window
// will be an Internet Explorer one. Call after the application object.
// Before a private window only the part is loaded: the shared profile would
// make its folders on the disk.
void warmUp(bool privateWindow);

// Sites the Internet Explorer slot keeps data for; loads the part.
void list(const browsingdata::Listed &done);
void clear(browsingdata::Kinds kinds, const browsingdata::Scope &scope, const browsingdata::Done &done,
           const QStringList &known);

// Hands the engine's profile back at the end, when the part was loaded.
void release();

}  // namespace webenginepart
