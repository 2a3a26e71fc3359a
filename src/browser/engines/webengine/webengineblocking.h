// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The content filters in the "Internet Explorer" slot: a page's requests the
// filters block never leave, the page's hidden elements stay hidden, and the
// page's count of blocked requests is kept.

#include <functional>

class QMenu;
class QWebEnginePage;

namespace webengineblocking {

// Filters page's requests from now on; count hears the number blocked for
// the page now shown (0 at each new top-level page).
void attach(QWebEnginePage *page, std::function<void(int)> count);
// The page menu's "広告ブロック: N" with the page's site switch and the lists.
void addMenu(QMenu *menu, QWebEnginePage *page, int blocked);

}  // namespace webengineblocking
