// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What sites keep in the Gecko slot's engine (its normal context, never a
// private one), asked of the engine host; the host is started for it when
// none runs, so data of an earlier run is cleared as well. Without an
// engine host beside the program there is nothing of it to list or clear.

#include "browser/browsingdata.h"

namespace webkitdata {

void list(const browsingdata::Listed &done);
// Cookies and storage of the scope's sites (each by its host); the cache
// always whole.
void clear(browsingdata::Kinds kinds, const browsingdata::Scope &scope, const browsingdata::Done &done);

}  // namespace webkitdata
