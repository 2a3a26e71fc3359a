// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What kind of resource a request of WebKit's fetches. WebKit's web process
// does not say; the request does, in order of trust:
//  1. the main resource of the page is a document;
//  2. Sec-Fetch-Dest, which WebKit sets on requests to secure and loopback
//     addresses ("iframe", "script", "image", "style", "empty" for
//     fetch()/XMLHttpRequest, ...);
//  3. the Accept header WebKit sets per kind (HTML for frames, text/css for
//     style sheets, image/... for images, audio/video for media);
//  4. the extension of the path (.js, .css, .png, .woff2, .mp4, ...).
// What none of them tells is Other. Plain C++, no GLib, so it is tested
// alone.

#include "blocking/filterengine.h"

#include <string_view>

namespace blocker {

struct RequestFacts {
    std::string_view url;
    std::string_view fetchDest;  // Sec-Fetch-Dest, "" when absent
    std::string_view accept;     // Accept, "" when absent
    bool mainResource = false;   // the page's own document (or a redirect of it)
    bool ping = false;           // <a ping> or a beacon (Ping-To / text/ping)
};

blocking::RequestType requestType(const RequestFacts &facts);

// The host of an absolute URL as it is written there (WebKit writes it in
// lower case, IDNs in ASCII), without port or user; "" when there is none.
std::string_view hostOf(std::string_view url);

}  // namespace blocker
