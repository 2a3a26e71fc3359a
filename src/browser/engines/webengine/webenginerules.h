// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Engine rules per site in the Internet Explorer slot: the page's own
// navigations to a site that always opens in Gecko go there, and the page
// menu's items that set a site's rule.

class QMenu;
class QUrl;
class QWebEnginePage;
class EngineControl;

namespace webenginerules {

// Holds back page's link and form navigations of the top-level page to a site
// whose rule names the other engine, while control follows the rules, and
// reports them as control's RuleNavigationRequested.
void follow(EngineControl *control, QWebEnginePage *page);

// "このサイトを常に Gecko で開く", "このサイトを常に Internet Explorer で開く"
// and "ルールを削除" for the page at url, reported as control's
// SiteEngineRequested.
void addMenu(QMenu *menu, EngineControl *control, const QUrl &url);

}  // namespace webenginerules
