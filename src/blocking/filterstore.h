// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The matcher's data and the helpers its parts share: the rule reader, the
// index, element hiding, the domain lists and the cache each have a file of
// their own and meet here. Internal to the library.

#include "blocking/filterengine.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

namespace blocking::detail {

// The index key of rules that have no literal token to be found under.
constexpr std::uint32_t noTokenKey = 1;

inline char lower(char c) { return (c >= 'A' && c <= 'Z') ? char(c + 32) : c; }

// Tokens are runs of these in the lowercased URL.
inline bool isTokenChar(unsigned char c)
{
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '%';
}

inline std::uint32_t tokenHash(std::string_view s)
{
    std::uint32_t h = 2166136261u;
    for (unsigned char c : s)
        h = (h ^ c) * 16777619u;
    return h < 2 ? h + 2 : h;  // 0 marks an empty slot, 1 the rules without a token
}

inline std::uint64_t domainHash(std::string_view s)
{
    std::uint64_t h = 14695981039346656037ull;
    for (char c : s)
        h = (h ^ static_cast<unsigned char>(lower(c))) * 1099511628211ull;
    return h;
}

// Selectors are case-sensitive, unlike domains.
inline std::uint64_t selectorHash(std::string_view s)
{
    std::uint64_t h = 14695981039346656037ull;
    for (char c : s)
        h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    return h;
}

inline std::string_view trim(std::string_view s)
{
    while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ')
        s.remove_prefix(1);
    while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ')
        s.remove_suffix(1);
    return s;
}

inline bool equalsLower(std::string_view a, std::string_view lowered)
{
    if (a.size() != lowered.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lowered[i])
            return false;
    return true;
}

inline void lowerInto(std::string &out, std::string_view in)
{
    out.resize(in.size());
    for (std::size_t i = 0; i < in.size(); ++i)
        out[i] = lower(in[i]);
}

constexpr std::uint16_t typeBit(RequestType t) { return std::uint16_t(1u << unsigned(t)); }
constexpr std::uint16_t allTypes = (1u << 10) - 1;

struct Host {
    std::size_t begin = 0, end = 0;  // in the URL
};

// The host part of an absolute URL: after "//", without user, port or
// IPv6 brackets. Empty when the URL has no authority.
Host hostOf(std::string_view url);
bool blockableScheme(std::string_view url);
// The hashes of a host and of each of its parent domains, the host first.
void suffixHashes(std::string_view host, std::vector<std::uint64_t> &out);

// ---- the flat records -----------------------------------------------------

enum NetFlag : std::uint16_t {
    Exception = 1 << 0,
    Important = 1 << 1,
    ThirdParty = 1 << 2,
    FirstParty = 1 << 3,
    MatchCase = 1 << 4,
    HostAnchor = 1 << 5,
    StartAnchor = 1 << 6,
    EndAnchor = 1 << 7,
    Plain = 1 << 8,        // no `*` or `^`: a substring search
    WholePage = 1 << 9,    // @@...$document: nothing on that page is blocked
    GenericHide = 1 << 10, // @@...$generichide
    ElemHide = 1 << 11,    // @@...$elemhide
};

// A rule's domains are a run in the domain pool: a header (includes << 32 |
// excludes), then the sorted included and excluded hashes. Run 0 is the
// empty list.
struct NetRule {
    std::uint32_t pattern;  // in the string pool
    std::uint32_t domains;
    std::uint16_t patternLength;
    std::uint16_t types;
    std::uint16_t flags;
    std::uint16_t unused;
};

struct HideRule {
    std::uint32_t selector;
    std::uint32_t domains;
    std::uint16_t selectorLength;
    std::uint16_t unused;
};

// Slot s covers positions [begin of s, begin of s + 1); one slot more than
// the table holds the end.
struct Slot {
    std::uint32_t key, begin;
};

// The matcher's form of a network rule: bits are the pattern's length (10),
// the types (10) and the flags (12).
struct PackedRule {
    std::uint32_t pattern, domains, bits;
    std::uint32_t length() const { return bits & 1023; }
    std::uint16_t types() const { return std::uint16_t((bits >> 10) & 1023); }
    std::uint16_t flags() const { return std::uint16_t(bits >> 20); }
};
constexpr std::size_t longestPattern = 1023;

// `||host^` block rules, most of the lists, kept as the host's hash and
// found through the request host's own domains instead of tokens.
struct HostRule {
    std::uint64_t host;
    std::uint32_t domains;
    std::uint16_t types, flags;
};


// The directory has 2^bits + 1 entries, about one bucket for two hosts.
inline unsigned hostDirectoryBits(std::size_t directorySize)
{
    unsigned bits = 0;
    while (bits < 20 && (std::size_t(1) << bits) + 1 < directorySize)
        ++bits;
    return bits;
}

static_assert(std::is_trivially_copyable_v<PackedRule> && sizeof(PackedRule) == 12);
static_assert(std::is_trivially_copyable_v<HostRule> && sizeof(HostRule) == 16);
static_assert(std::is_trivially_copyable_v<HideRule> && sizeof(HideRule) == 12);

// Key -> a run of positions, an open-addressed table. The network rules
// themselves are laid out in the order of their slots; element hiding,
// where a rule is under several domains, goes through a list of ids.
struct Index {
    std::vector<Slot> table;


    // Returns the entries' values in the order of the positions.
    std::vector<std::uint32_t> build(std::vector<std::pair<std::uint32_t, std::uint32_t>> entries, std::uint32_t base);

    template<typename F>
    bool forEach(std::uint32_t key, F &&f) const
    {
        if (table.size() < 2)
            return false;
        const std::size_t size = table.size() - 1;
        std::size_t s = key & (size - 1);
        for (std::size_t probes = 0; probes < size; ++probes) {
            const Slot &slot = table[s];
            if (slot.key == key) {
                for (std::uint32_t i = slot.begin, end = table[s + 1].begin; i < end; ++i)
                    if (f(i))
                        return true;
                return false;
            }
            if (!slot.key)
                return false;
            s = (s + 1) & (size - 1);
        }
        return false;
    }

    // Positions stay below `positions`.
    bool valid(std::size_t positions) const
    {
        if (table.empty())
            return true;
        const std::size_t size = table.size() - 1;
        if (size < 1 || (size & (size - 1)) || table[size].begin > positions)
            return false;
        for (std::size_t s = 0; s < size; ++s)
            if (table[s].begin > table[s + 1].begin)
                return false;
        return true;
    }
};

struct IdIndex {
    Index index;
    std::vector<std::uint32_t> ids;

    void build(std::vector<std::pair<std::uint32_t, std::uint32_t>> entries)
    {
        ids = index.build(std::move(entries), 0);
    }
    template<typename F>
    void forEach(std::uint32_t key, F &&f) const
    {
        index.forEach(key, [&](std::uint32_t position) { return f(ids[position]); });
    }
    bool valid(std::size_t ruleCount) const
    {
        return index.valid(ids.size()) &&
               std::all_of(ids.begin(), ids.end(), [&](std::uint32_t id) { return id < ruleCount; });
    }
};

struct Store {
    std::string pool;                  // patterns and selectors
    std::vector<std::uint64_t> domainPool;
    std::vector<NetRule> parsed;              // until finish()
    std::vector<std::uint64_t> parsedText;    // each parsed rule's text without $badfilter
    std::vector<std::uint64_t> badFilters;    // texts that $badfilter rules take back
    std::vector<PackedRule> net;  // in the order of the indexes' slots
    std::vector<HostRule> hostRules;           // by hash
    std::vector<std::uint32_t> hostDirectory;  // top bits of the hash -> first rule
    std::vector<HideRule> hide;        // ##
    std::vector<HideRule> unhide;      // #@#

    Index important, blocks, exceptions;
    Index pageExceptions;  // @@ with $document, $elemhide or $generichide: matched against the page
    IdIndex hideByDomain, unhideByDomain;  // element hiding, by included domain
    std::vector<std::uint32_t> hideExcludeOnly;           // ~a.com##sel
    std::vector<std::uint32_t> genericHide;               // ##sel (no domain), not globally excepted

    std::vector<std::uint64_t> suffixRules, suffixWildcards, suffixExceptions;  // sorted

    std::uint64_t keptRules = 0;

    // Rule reading.
    bool parseDomains(std::string_view list, char sep, std::uint32_t &offset);
    bool addString(std::string_view s, std::uint32_t &offset);
    int parseHiding(std::string_view line);
    static std::uint64_t textWithoutBadfilter(std::string_view line, bool &hasBadfilter);
    bool parseNetwork(std::string_view line);
    std::size_t addList(std::string_view text);

    // The index.
    void finish();
    void compactPool();

    // Element hiding.
    void indexHiding();
    void appendRule(std::string &css, const HideRule &r) const;
    // ElemHide when the page's own exceptions turn all hiding off there,
    // GenericHide when only the generic rules, 0 when neither.
    std::uint16_t pageHidingExceptions(std::string_view pageUrl, std::string_view lowered, Host host) const;

    // Public suffixes.
    void setPublicSuffixes(std::string_view text);
    std::string_view registrable(std::string_view host) const;

    std::uint32_t includeCount(std::uint32_t domains) const
    {
        return domains ? std::uint32_t(domainPool[domains] >> 32) : 0;
    }

    // Whether a page whose host has these suffix hashes (most particular
    // first) is within a domain list: the nearest listed domain decides.
    bool domainsAllow(std::uint32_t domains, const std::vector<std::uint64_t> &suffixes) const
    {
        if (!domains)
            return true;
        const std::uint64_t header = domainPool[domains];
        const std::uint32_t inc = std::uint32_t(header >> 32), exc = std::uint32_t(header);
        auto incBegin = domainPool.begin() + domains + 1, incEnd = incBegin + inc, excEnd = incEnd + exc;
        for (std::uint64_t h : suffixes) {
            if (exc && std::binary_search(incEnd, excEnd, h))
                return false;
            if (inc && std::binary_search(incBegin, incEnd, h))
                return true;
        }
        return inc == 0;
    }

    std::string_view selectorOf(const HideRule &r) const
    {
        return std::string_view(pool).substr(r.selector, r.selectorLength);
    }
};

} // namespace blocking::detail

namespace blocking {

struct FilterEngine::Data : detail::Store {
};

} // namespace blocking
