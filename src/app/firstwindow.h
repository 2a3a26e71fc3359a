// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The engine of the first browser window of this start, as far as it can
// be told before the frame is built, so that engine can start meanwhile.

#include <QStringList>

enum class FirstWindow { None, InternetExplorer, Gecko };

// Addresses given (the command line's, private or not) open in the engine
// the frame last chose; without them, the first window a run left to
// restore comes first (the user may still decline it). None: no window
// opens at start.
FirstWindow firstWindowEngine(const QStringList &addresses);
