// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The engine's "leave this page?" question in the user's words. Qt asks it
// through the page's javaScriptConfirm with nothing to tell it from a page's
// own confirm but its message, which it looks up in the application's
// translations. A translation of that message puts our question in its
// place, so the page's confirm shows every text it gets as it is and no
// code tells the question apart by its words.

namespace webengineleaving {

// Installs the translation once; later calls do nothing.
void installTranslation();

}  // namespace webengineleaving
