// SPDX-License-Identifier: GPL-3.0-or-later
// Filter lists and the matcher's cache from arbitrary bytes. The first byte
// picks what the rest is: a filter list (parsed, matched, hidden, written to
// the cache and read back alike), a public suffix list, a cache as found on
// disk, or a change to a valid cache behind a checksum made to fit.

#include "blocking/cacheseal.h"
#include "blocking/filterengine.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

using blocking::FilterEngine;
using blocking::Request;
using blocking::RequestType;

namespace {

constexpr std::string_view suffixes = "com\njp\nco.jp\ntest\n*.ck\n!www.ck\n";

constexpr std::string_view knownList =
    "[Adblock Plus 2.0]\n! comment\n||ads.example.com^$third-party,script,image\n@@||ads.example.com/ok^\n"
    "|https://start.test/*/ad^\n.swf|\n/Banner/*$match-case,domain=a.test|~b.a.test\n||imp.test^$important\n"
    "@@||imp.test^$important\nevil.test\n@@||good.test^$document\n##.ad\na.test,~b.a.test##.x\na.test#@#.ad\n"
    "~c.test##div[title=\"y\"]\n@@||g.test^$generichide\n@@||e.test^$elemhide\n";

const Request requests[] = {
    {"https://ads.example.com/banner/ad.js?x=1", "https://news.example.co.jp/", RequestType::Script},
    {"https://start.test/x/ad", "https://a.test/", RequestType::Image},
    {"http://x.b.a.test/Banner/1.swf", "http://b.a.test/", RequestType::Media},
    {"wss://imp.test/socket", "https://good.test/", RequestType::Other},
    {"https://user@[::1]:8080/p^*|", "https://user@host:1/", RequestType::Document},
    {"https://www.evil.test", "", RequestType::Subdocument},
    {"data:,ads", "https://a.test/", RequestType::Image},
};

const std::string_view pages[] = {"https://a.test/x", "https://b.a.test/", "https://g.test/", "https://e.test/",
                                  "https://c.test", "", "file:///home/", "https://a.www.ck/"};

struct Outcome {
    std::vector<bool> blocked;
    std::vector<std::string> css;
    bool operator==(const Outcome &) const = default;
};

Outcome exercise(const FilterEngine &engine)
{
    Outcome o;
    for (const Request &r : requests)
        o.blocked.push_back(engine.shouldBlock(r));
    for (std::string_view page : pages)
        o.css.push_back(engine.hidingCss(page));
    return o;
}

// What is written must read back as the same engine.
void roundTrip(const FilterEngine &engine)
{
    const std::string bytes = engine.serialize();
    std::optional<FilterEngine> back = FilterEngine::deserialize(bytes);
    if (!back || back->ruleCount() != engine.ruleCount() || !(exercise(*back) == exercise(engine)) ||
        back->serialize() != bytes)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::string_view bytes(reinterpret_cast<const char *>(data) + 1, size - 1);
    switch (data[0] % 4) {
    case 0: {
        FilterEngine engine;
        engine.setPublicSuffixes(suffixes);
        engine.addList(bytes);
        engine.finish();
        // Requests made of the list's own text reach its rules.
        Request own{bytes, bytes, RequestType(data[0] / 4 % 10)};
        engine.shouldBlock(own);
        engine.hidingCss(bytes);
        roundTrip(engine);
        break;
    }
    case 1: {
        FilterEngine engine;
        engine.setPublicSuffixes(bytes);
        engine.addList(knownList);
        engine.finish();
        roundTrip(engine);
        break;
    }
    case 2:
        if (std::optional<FilterEngine> engine = FilterEngine::deserialize(bytes))
            exercise(*engine);
        break;
    case 3: {
        if (bytes.size() < 2)
            break;
        static const std::string valid = [] {
            FilterEngine engine;
            engine.setPublicSuffixes(suffixes);
            engine.addList(knownList);
            engine.finish();
            return engine.serialize();
        }();
        // Two bytes place the change inside the body; the rest overwrites.
        std::string changed = valid;
        const std::size_t header = 32;
        const std::size_t at = header + (std::size_t(std::uint8_t(bytes[0])) << 8 | std::uint8_t(bytes[1])) %
                                            (changed.size() - header);
        const std::string_view patch = bytes.substr(2);
        changed.replace(at, std::min(patch.size(), changed.size() - at), patch);
        if (std::optional<FilterEngine> engine = FilterEngine::deserialize(blocking::resealedCache(changed)))
            exercise(*engine);
        break;
    }
    }
    return 0;
}
