// SPDX-License-Identifier: GPL-3.0-or-later
// Compiled as a source of the browser floor, this must not build: the frame
// lives a floor above, and the browser windows reach it only by signals.
#include "app/mainform.h"
