// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// How a Gecko page follows the frame's scale factor: the host draws at the
// whole part of it (GDK's own window scale, fixed for the host's life), and
// each view makes up the rest with its zoom, on top of the user's.

#include <QtGlobal>

namespace webkitscale {

// The window scale a host started now draws at: the frame's scale factor
// rounded down, at least 1.
int hostScale();

// The zoom a view is given: the user's, times what of the window's scale
// factor the host's window scale does not cover.
qreal viewZoom(qreal userZoom, qreal windowScale, int hostScale);

}  // namespace webkitscale
