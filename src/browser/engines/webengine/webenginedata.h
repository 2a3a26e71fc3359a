// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What sites keep in Qt WebEngine's shared profile: its cookies, its site
// storage (localStorage, IndexedDB, Cache Storage, service workers) and
// its HTTP cache. The off-the-record profiles of private windows are never
// touched.
//
// Qt WebEngine has no call for a site's storage. A hidden page of the
// shared profile whose document has the site's origin (our own markup,
// loaded with the origin as its base; nothing goes to the network) reads or
// clears that origin's storage with the web's own calls.

#include "browser/browsingdata.h"

class QWebEngineProfile;

namespace webenginedata {

// Follows the shared profile's cookies from its making: its store tells
// each cookie as it comes, and those kept from earlier runs only when
// asked before its first page.
void watchCookies(QWebEngineProfile *profile);

// One entry per host that keeps cookies or storage.
void list(const browsingdata::Listed &done);
// Cookies and storage of the scope's sites; the HTTP cache always whole
// (the engine clears it no other way).
void clear(browsingdata::Kinds kinds, const browsingdata::Scope &scope, const browsingdata::Done &done,
           const QStringList &known = {});

}  // namespace webenginedata
