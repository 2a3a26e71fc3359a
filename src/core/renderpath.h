// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Whether this machine draws with a real GPU. Decided once, before the
// application object, from what the system shows without making a GL
// context: with no GPU, Mesa's software GL costs the frame tens of
// megabytes and a slower start for nothing, so the frame, Qt WebEngine and
// the WebKit host all draw in software instead.

#include <QByteArray>
#include <QList>

namespace rendering {

enum class Path { Hardware, Software };

// What the system shows, as read by probe(); tests fill it by hand.
struct Probe {
    QByteArray userChoice;        // VEXEL_GL: "hardware" or "software"; anything else is no choice
    QByteArray alwaysSoftware;    // LIBGL_ALWAYS_SOFTWARE
    QByteArray galliumDriver;     // GALLIUM_DRIVER
    QByteArray loaderOverride;    // MESA_LOADER_DRIVER_OVERRIDE
    QList<QByteArray> renderNodeDrivers;  // the kernel driver of each /dev/dri/renderD* node
    bool nvidiaDevice = false;    // /dev/nvidia0: a driver that may make no render node
};

// Reads the environment and the device nodes; cheap (no GL, no display).
Probe probe();

// The path for what was found.
Path decide(const Probe &found);

// Decides and applies the result to this process (Qt attributes, the
// environment the frame and Qt WebEngine read). Call once, before
// QApplication is made.
void applyBeforeApplication();

// The path applied; Hardware when applyBeforeApplication() never ran
// (tests, benchmarks), as the program behaved before.
Path current();

}  // namespace rendering
