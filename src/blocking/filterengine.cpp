#include "blocking/filterengine.h"
#include "blocking/cacheseal.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <type_traits>
#include <utility>
#include <vector>

namespace blocking {
namespace {

// Raised whenever the layout of the cache changes: an older cache is then
// rebuilt from the lists instead of being misread.
constexpr std::uint32_t formatVersion = 2;
constexpr char formatMagic[8] = {'V', 'X', 'B', 'L', 'O', 'C', 'K', '\n'};

// The index key of rules that have no literal token to be found under.
constexpr std::uint32_t noTokenKey = 1;

char lower(char c) { return (c >= 'A' && c <= 'Z') ? char(c + 32) : c; }

// Tokens are runs of these in the lowercased URL.
bool isTokenChar(unsigned char c)
{
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '%';
}

// What `^` stands for: anything but a letter, a digit or one of _-.%
// (bytes of UTF-8 sequences are not separators).
bool isSeparator(unsigned char c)
{
    if (c >= 0x80)
        return false;
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
        return false;
    return c != '_' && c != '-' && c != '.' && c != '%';
}

std::uint32_t tokenHash(std::string_view s)
{
    std::uint32_t h = 2166136261u;
    for (unsigned char c : s)
        h = (h ^ c) * 16777619u;
    return h < 2 ? h + 2 : h;  // 0 marks an empty slot, 1 the rules without a token
}

std::uint64_t domainHash(std::string_view s)
{
    std::uint64_t h = 14695981039346656037ull;
    for (char c : s)
        h = (h ^ static_cast<unsigned char>(lower(c))) * 1099511628211ull;
    return h;
}

// Selectors are case-sensitive, unlike domains.
std::uint64_t selectorHash(std::string_view s)
{
    std::uint64_t h = 14695981039346656037ull;
    for (char c : s)
        h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    return h;
}

std::uint64_t checksum(std::string_view s)
{
    std::uint64_t h = 0x9e3779b97f4a7c15ull ^ s.size();
    std::size_t i = 0;
    for (; i + 8 <= s.size(); i += 8) {
        std::uint64_t w;
        std::memcpy(&w, s.data() + i, 8);
        h = (h ^ w) * 0xff51afd7ed558ccdull;
        h ^= h >> 32;
    }
    for (; i < s.size(); ++i)
        h = (h ^ static_cast<unsigned char>(s[i])) * 0xc4ceb9fe1a85ec53ull;
    return h ^ (h >> 29);
}

std::string_view trim(std::string_view s)
{
    while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ')
        s.remove_prefix(1);
    while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ')
        s.remove_suffix(1);
    return s;
}

bool equalsLower(std::string_view a, std::string_view lowered)
{
    if (a.size() != lowered.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lowered[i])
            return false;
    return true;
}

constexpr std::uint16_t typeBit(RequestType t) { return std::uint16_t(1u << unsigned(t)); }
constexpr std::uint16_t allTypes = (1u << 10) - 1;

struct Host {
    std::size_t begin = 0, end = 0;  // in the URL
};

// The host part of an absolute URL: after "//", without user, port or
// IPv6 brackets. Empty when the URL has no authority.
Host hostOf(std::string_view url)
{
    Host h;
    std::size_t colon = url.find(':');
    if (colon == std::string_view::npos || url.substr(colon + 1, 2) != "//")
        return h;
    std::size_t begin = colon + 3;
    std::size_t end = url.find_first_of("/?#", begin);
    if (end == std::string_view::npos)
        end = url.size();
    std::size_t at = url.substr(begin, end - begin).rfind('@');
    if (at != std::string_view::npos)
        begin += at + 1;
    if (begin < end && url[begin] == '[') {
        std::size_t close = url.substr(begin, end - begin).find(']');
        if (close != std::string_view::npos)
            end = begin + close + 1;
    } else {
        std::size_t port = url.substr(begin, end - begin).find(':');
        if (port != std::string_view::npos)
            end = begin + port;
    }
    while (end > begin && url[end - 1] == '.')
        --end;
    h.begin = begin;
    h.end = end;
    return h;
}

bool blockableScheme(std::string_view url)
{
    std::size_t colon = url.find(':');
    if (colon == std::string_view::npos)
        return false;
    std::string_view scheme = url.substr(0, colon);
    return equalsLower(scheme, "http") || equalsLower(scheme, "https") || equalsLower(scheme, "ws") ||
           equalsLower(scheme, "wss");
}

bool isIpAddress(std::string_view host)
{
    if (!host.empty() && host.front() == '[')
        return true;
    return !host.empty() && std::all_of(host.begin(), host.end(), [](char c) { return (c >= '0' && c <= '9') || c == '.'; });
}

// `*` matches any run, `^` one separator or the end of the URL, anything
// else itself. The pattern is anchored at the start of `text`; `anchoredEnd`
// asks it to reach the end. One backtracking point suffices because every
// other pattern character matches exactly one character.
bool globAt(std::string_view pat, std::string_view text, bool anchoredEnd)
{
    std::size_t p = 0, i = 0, starP = std::string_view::npos, starI = 0;
    while (true) {
        if (p == pat.size() && (!anchoredEnd || i == text.size()))
            return true;
        if (i == text.size())
            break;
        if (p < pat.size()) {
            char c = pat[p];
            if (c == '*') {
                starP = ++p;
                starI = i;
                continue;
            }
            if (c == '^' ? isSeparator(static_cast<unsigned char>(text[i])) : c == text[i]) {
                ++p;
                ++i;
                continue;
            }
        }
        if (starP == std::string_view::npos)
            return false;
        p = starP;
        i = ++starI;
    }
    while (p < pat.size() && (pat[p] == '*' || pat[p] == '^'))
        ++p;
    return p == pat.size();
}

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
unsigned hostDirectoryBits(std::size_t directorySize)
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
    std::vector<std::uint32_t> build(std::vector<std::pair<std::uint32_t, std::uint32_t>> entries, std::uint32_t base)
    {
        std::sort(entries.begin(), entries.end());
        table.clear();
        std::vector<std::uint32_t> order;
        std::vector<std::size_t> groups;  // first entry of each key
        for (std::size_t i = 0; i < entries.size(); ++i)
            if (i == 0 || entries[i].first != entries[i - 1].first)
                groups.push_back(i);
        if (groups.empty())
            return order;
        std::size_t size = 4;
        while (size * 2 < groups.size() * 3)
            size *= 2;
        std::vector<std::uint32_t> groupOfSlot(size, ~0u);
        table.assign(size + 1, Slot{0, 0});
        for (std::size_t g = 0; g < groups.size(); ++g) {
            std::uint32_t key = entries[groups[g]].first;
            std::size_t s = key & (size - 1);
            while (table[s].key)
                s = (s + 1) & (size - 1);
            table[s].key = key;
            groupOfSlot[s] = std::uint32_t(g);
        }
        order.reserve(entries.size());
        for (std::size_t s = 0; s < size; ++s) {
            table[s].begin = base + std::uint32_t(order.size());
            if (groupOfSlot[s] == ~0u)
                continue;
            std::size_t g = groupOfSlot[s];
            std::size_t end = g + 1 < groups.size() ? groups[g + 1] : entries.size();
            for (std::size_t i = groups[g]; i < end; ++i)
                order.push_back(entries[i].second);
        }
        table[size].begin = base + std::uint32_t(order.size());
        return order;
    }

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

// ---- the cache's byte stream ----------------------------------------------

struct Writer {
    std::string out;
    void raw(const void *p, std::size_t n) { out.append(static_cast<const char *>(p), n); }
    void pad()
    {
        while (out.size() % 8)
            out.push_back('\0');
    }
    template<typename T>
    void put(const std::vector<T> &v)
    {
        std::uint64_t n = v.size();
        raw(&n, 8);
        raw(v.data(), n * sizeof(T));
        pad();
    }
    void put(const std::string &s)
    {
        std::uint64_t n = s.size();
        raw(&n, 8);
        raw(s.data(), n);
        pad();
    }
};

struct Reader {
    std::string_view in;
    std::size_t pos = 0;
    bool ok = true;

    bool count(std::size_t elementSize, std::size_t &n)
    {
        std::uint64_t v;
        if (!ok || in.size() - pos < 8) {
            ok = false;
            return false;
        }
        std::memcpy(&v, in.data() + pos, 8);
        pos += 8;
        if (v > (in.size() - pos) / elementSize) {
            ok = false;
            return false;
        }
        n = std::size_t(v);
        return true;
    }
    void skipPad(std::size_t n)
    {
        std::size_t padded = (n + 7) & ~std::size_t(7);
        pos = std::min(in.size(), pos - n + padded);
    }
    template<typename T>
    void get(std::vector<T> &v)
    {
        std::size_t n;
        if (!count(sizeof(T), n))
            return;
        v.resize(n);
        if (n)
            std::memcpy(v.data(), in.data() + pos, n * sizeof(T));
        pos += n * sizeof(T);
        skipPad(n * sizeof(T));
    }
    void get(std::string &s)
    {
        std::size_t n;
        if (!count(1, n))
            return;
        s.assign(in.data() + pos, n);
        pos += n;
        skipPad(n);
    }
};

struct Header {
    char magic[8];
    std::uint32_t version;
    std::uint32_t reserved;
    std::uint64_t bodySize;
    std::uint64_t checksum;
};

// Selectors whose text would break out of its CSS rule, or that only the
// extended hiding syntax understands.
bool usableSelector(std::string_view s)
{
    if (s.empty() || s.size() > 4096)
        return false;
    int paren = 0, bracket = 0;
    bool dq = false, sq = false;
    for (std::size_t i = 0; i < s.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        if (c < ' ' || c == 0x7f || c == '{' || c == '}' || c == ';')
            return false;
        if (c == '\\') {
            if (++i == s.size())
                return false;
            continue;
        }
        if (c == '/' && i + 1 < s.size() && s[i + 1] == '*')
            return false;
        if (dq || sq) {
            if ((dq && c == '"') || (sq && c == '\''))
                dq = sq = false;
            continue;
        }
        if (c == '"')
            dq = true;
        else if (c == '\'')
            sq = true;
        else if (c == '(')
            ++paren;
        else if (c == ')' && --paren < 0)
            return false;
        else if (c == '[')
            ++bracket;
        else if (c == ']' && --bracket < 0)
            return false;
    }
    if (dq || sq || paren || bracket)
        return false;
    static constexpr std::string_view extended[] = {
        ":-abp-", ":has-text(", ":contains(", ":xpath(", ":upward(", ":remove(", ":style(", ":matches-css",
        ":matches-path(", ":matches-attr(", ":matches-prop(", ":min-text-length(", ":watch-attr(", ":others(",
        ":if(", ":if-not(", ":nth-ancestor(", ":remove-attr(", ":remove-class(",
    };
    for (std::string_view e : extended)
        if (s.find(e) != std::string_view::npos)
            return false;
    return true;
}

struct TypeName {
    std::string_view name;
    int type;  // a RequestType, or -1 for a type we never see (the option alone drops the rule)
};

constexpr TypeName typeNames[] = {
    {"document", int(RequestType::Document)},
    {"doc", int(RequestType::Document)},
    {"subdocument", int(RequestType::Subdocument)},
    {"frame", int(RequestType::Subdocument)},
    {"script", int(RequestType::Script)},
    {"image", int(RequestType::Image)},
    {"stylesheet", int(RequestType::Stylesheet)},
    {"css", int(RequestType::Stylesheet)},
    {"xmlhttprequest", int(RequestType::XmlHttpRequest)},
    {"xhr", int(RequestType::XmlHttpRequest)},
    {"font", int(RequestType::Font)},
    {"media", int(RequestType::Media)},
    {"ping", int(RequestType::Ping)},
    {"beacon", int(RequestType::Ping)},
    {"other", int(RequestType::Other)},
    {"object", -1},
    {"object-subrequest", -1},
    {"websocket", -1},
    {"webrtc", -1},
    {"popup", -1},
    {"popunder", -1},
    {"webbundle", -1},
};

struct Token {
    std::uint32_t hash;
    std::uint32_t length;
};

// The literal tokens of a pattern that must appear whole in a matching URL.
void patternTokens(std::string_view pat, std::uint16_t flags, std::vector<Token> &out, std::string &scratch)
{
    out.clear();
    scratch.assign(pat);
    for (char &c : scratch)
        c = lower(c);
    std::size_t i = 0;
    while (i < scratch.size()) {
        if (!isTokenChar(static_cast<unsigned char>(scratch[i]))) {
            ++i;
            continue;
        }
        std::size_t b = i;
        while (i < scratch.size() && isTokenChar(static_cast<unsigned char>(scratch[i])))
            ++i;
        bool startOk = b > 0 ? scratch[b - 1] != '*' : (flags & (HostAnchor | StartAnchor)) != 0;
        bool endOk = i < scratch.size() ? scratch[i] != '*' : (flags & EndAnchor) != 0;
        if (startOk && endOk)
            out.push_back({tokenHash(std::string_view(scratch).substr(b, i - b)), std::uint32_t(i - b)});
    }
}

bool isBareHostname(std::string_view s)
{
    if (s.empty() || s.size() > 253 || s.find('.') == std::string_view::npos || s.front() == '.' ||
        s.back() == '.' || s.front() == '-')
        return false;
    for (char c : s)
        if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '-'))
            return false;
    return s.find("..") == std::string_view::npos;
}


// ---- the engine's data ------------------------------------------------------

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

    // ---- parsing ----

    bool parseDomains(std::string_view list, char sep, std::uint32_t &offset)
    {
        std::vector<std::uint64_t> incs, excs;
        bool skippedInclude = false;
        while (!list.empty()) {
            std::size_t cut = list.find(sep);
            std::string_view d = trim(list.substr(0, cut));
            list = cut == std::string_view::npos ? std::string_view() : list.substr(cut + 1);
            if (d.empty())
                continue;
            bool negated = d.front() == '~';
            if (negated)
                d.remove_prefix(1);
            while (!d.empty() && d.back() == '.')
                d.remove_suffix(1);
            // Entities (site.*) and regular-expression domains are not ours:
            // an included one is left out (the rule applies to fewer sites),
            // an excluded one would widen the rule, which is then dropped.
            if (d.empty() || d.find_first_of("*/|") != std::string_view::npos) {
                if (negated)
                    return false;
                skippedInclude = true;
                continue;
            }
            (negated ? excs : incs).push_back(domainHash(d));
        }
        if (skippedInclude && incs.empty())
            return false;
        std::sort(incs.begin(), incs.end());
        incs.erase(std::unique(incs.begin(), incs.end()), incs.end());
        std::sort(excs.begin(), excs.end());
        excs.erase(std::unique(excs.begin(), excs.end()), excs.end());
        if (domainPool.empty())
            domainPool.push_back(0);
        if (domainPool.size() + 1 + incs.size() + excs.size() > 0xffffffffu)
            return false;
        offset = 0;
        if (incs.empty() && excs.empty())
            return true;
        offset = std::uint32_t(domainPool.size());
        domainPool.push_back(std::uint64_t(incs.size()) << 32 | excs.size());
        domainPool.insert(domainPool.end(), incs.begin(), incs.end());
        domainPool.insert(domainPool.end(), excs.begin(), excs.end());
        return true;
    }

    bool addString(std::string_view s, std::uint32_t &offset)
    {
        if (pool.size() + s.size() > 0xffffffffu)
            return false;
        offset = std::uint32_t(pool.size());
        pool.append(s);
        return true;
    }

    // `domains##selector` and `domains#@#selector`; the other hiding
    // syntaxes are recognised so that they are dropped, not read as URLs.
    // Returns -1 when the line is no hiding rule at all.
    int parseHiding(std::string_view line)
    {
        for (std::size_t at = line.find('#'); at != std::string_view::npos; at = line.find('#', at + 1)) {
            std::string_view rest = line.substr(at);
            std::size_t markLength = 0;
            bool exception = false, supported = false;
            if (rest.substr(0, 2) == "##") {
                markLength = 2;
                supported = true;
            } else if (rest.substr(0, 3) == "#@#") {
                markLength = 3;
                supported = exception = true;
            } else if (rest.substr(0, 3) == "#?#" || rest.substr(0, 3) == "#$#" || rest.substr(0, 3) == "#%#" ||
                       rest.substr(0, 4) == "#@?#" || rest.substr(0, 4) == "#@$#" || rest.substr(0, 4) == "#@%#") {
                markLength = 3;
            } else {
                continue;
            }
            std::string_view domains = line.substr(0, at);
            bool domainsLookRight = std::all_of(domains.begin(), domains.end(), [](char c) {
                unsigned char u = static_cast<unsigned char>(c);
                return u >= 0x80 || (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') ||
                       c == '.' || c == '-' || c == '_' || c == '~' || c == ',' || c == '*';
            });
            if (!domainsLookRight)
                continue;
            if (!supported)
                return 0;
            std::string_view selector = trim(line.substr(at + markLength));
            // Scriptlets (##+js), HTML filters (##^) and the like.
            if (!selector.empty() && (selector.front() == '+' || selector.front() == '^'))
                return 0;
            if (!usableSelector(selector))
                return 0;
            HideRule r{};
            r.selectorLength = std::uint16_t(selector.size());
            if (!parseDomains(domains, ',', r.domains))
                return 0;
            if (!addString(selector, r.selector))
                return 0;
            (exception ? unhide : hide).push_back(r);
            return 1;
        }
        return -1;
    }

    // A rule's text with any badfilter option left out, for matching a
    // `$badfilter` rule with the rule it takes back.
    static std::uint64_t textWithoutBadfilter(std::string_view line, bool &hasBadfilter)
    {
        hasBadfilter = false;
        std::size_t dollar = line.rfind('$');
        if (dollar == std::string_view::npos)
            return selectorHash(line);
        std::string text(line.substr(0, dollar + 1));
        std::string_view options = line.substr(dollar + 1);
        while (!options.empty()) {
            std::size_t cut = options.find(',');
            std::string_view option = options.substr(0, cut);
            options = cut == std::string_view::npos ? std::string_view() : options.substr(cut + 1);
            if (equalsLower(trim(option), "badfilter")) {
                hasBadfilter = true;
                continue;
            }
            if (text.back() != '$')
                text.push_back(',');
            text.append(option);
        }
        if (text.back() == '$')
            text.pop_back();
        return selectorHash(text);
    }

    bool parseNetwork(std::string_view line)
    {
        bool badfilter;
        const std::uint64_t text = textWithoutBadfilter(line, badfilter);
        if (badfilter) {
            badFilters.push_back(text);
            return false;
        }
        NetRule r{};
        r.types = allTypes;
        if (line.substr(0, 2) == "@@") {
            r.flags |= Exception;
            line.remove_prefix(2);
        }
        std::string_view pattern = line;
        std::uint16_t typesOn = 0, typesOff = 0;
        bool onlyUnseenTypes = false, hideOption = false, documentOption = false, hostsLine = false;
        std::string_view domainOption;
        std::size_t dollar = line.rfind('$');
        bool regex = line.size() > 1 && line.front() == '/' && line.back() == '/';
        if (dollar != std::string_view::npos && !regex) {
            pattern = line.substr(0, dollar);
            std::string_view options = line.substr(dollar + 1);
            if (options.empty())
                return false;
            while (!options.empty()) {
                std::size_t cut = options.find(',');
                std::string_view option = trim(options.substr(0, cut));
                options = cut == std::string_view::npos ? std::string_view() : options.substr(cut + 1);
                std::string_view value;
                std::size_t eq = option.find('=');
                if (eq != std::string_view::npos) {
                    value = option.substr(eq + 1);
                    option = option.substr(0, eq);
                }
                bool negated = !option.empty() && option.front() == '~';
                if (negated)
                    option.remove_prefix(1);
                std::string name(option);
                for (char &c : name)
                    c = lower(c);
                if (name == "domain" || name == "from") {
                    if (negated || value.empty() || !domainOption.empty())
                        return false;
                    domainOption = value;
                    continue;
                }
                if (!value.empty() || eq != std::string_view::npos)
                    return false;  // redirect=, csp=, removeparam=, denyallow= ...: not ours
                if (name == "third-party" || name == "3p") {
                    r.flags |= negated ? FirstParty : ThirdParty;
                } else if (name == "first-party" || name == "1p") {
                    r.flags |= negated ? ThirdParty : FirstParty;
                } else if (name == "match-case" && !negated) {
                    r.flags |= MatchCase;
                } else if (name == "important" && !negated) {
                    r.flags |= Important;
                } else if ((name == "generichide" || name == "ghide") && !negated) {
                    r.flags |= GenericHide;
                    hideOption = true;
                } else if ((name == "elemhide" || name == "ehide") && !negated) {
                    r.flags |= ElemHide;
                    hideOption = true;
                } else if (name == "all" && !negated) {
                    typesOn = allTypes;
                } else {
                    auto known = std::find_if(std::begin(typeNames), std::end(typeNames),
                                              [&](const TypeName &t) { return t.name == name; });
                    if (known == std::end(typeNames))
                        return false;
                    if (known->type < 0) {
                        if (!negated)
                            onlyUnseenTypes = true;  // kept only if a type of ours comes with it
                        continue;
                    }
                    if (known->type == int(RequestType::Document) && !negated)
                        documentOption = true;
                    (negated ? typesOff : typesOn) |= typeBit(RequestType(known->type));
                }
            }
        }
        if (regex || pattern.size() > longestPattern)
            return false;  // regular-expression rules are not supported
        if (typesOn)
            r.types = typesOn;
        else if (onlyUnseenTypes)
            return false;
        r.types &= std::uint16_t(~typesOff);
        if (!r.types && !hideOption)
            return false;
        if (hideOption) {
            // Only meaningful as exceptions, and then only for hiding.
            if (!(r.flags & Exception))
                return false;
            r.types = allTypes;
        } else if (documentOption && (r.flags & Exception)) {
            r.flags |= WholePage;
        }
        if ((r.flags & ThirdParty) && (r.flags & FirstParty))
            return false;
        if (!domainOption.empty() && !parseDomains(domainOption, '|', r.domains))
            return false;

        // Anchors.
        if (pattern.substr(0, 2) == "||") {
            r.flags |= HostAnchor;
            pattern.remove_prefix(2);
        } else if (pattern.substr(0, 1) == "|") {
            r.flags |= StartAnchor;
            pattern.remove_prefix(1);
        } else if (!(r.flags & Exception) && !hideOption && isBareHostname(pattern) && r.types == allTypes) {
            // A hosts-file line (the malware lists have them): that host and its subdomains.
            r.flags |= HostAnchor;
            hostsLine = true;
        }
        if (!pattern.empty() && pattern.back() == '|') {
            r.flags |= EndAnchor;
            pattern.remove_suffix(1);
        }
        std::string pat;
        pat.reserve(pattern.size() + 1);
        for (char c : pattern) {
            if (c == '*' && !pat.empty() && pat.back() == '*')
                continue;
            pat.push_back((r.flags & MatchCase) ? c : lower(c));
        }
        if (!pat.empty() && pat.front() == '*') {
            pat.erase(0, 1);
            r.flags &= std::uint16_t(~(HostAnchor | StartAnchor));
        }
        if (!pat.empty() && pat.back() == '*') {
            pat.pop_back();
            r.flags &= std::uint16_t(~EndAnchor);
        }
        if (hostsLine)
            pat.push_back('^');
        if (pat.find_first_of("*^") == std::string::npos)
            r.flags |= Plain;
        r.patternLength = std::uint16_t(pat.size());
        if (!addString(pat, r.pattern))
            return false;
        parsed.push_back(r);
        parsedText.push_back(text);
        return true;
    }

    std::size_t addList(std::string_view text)
    {
        std::size_t kept = 0;
        while (!text.empty()) {
            std::size_t nl = text.find('\n');
            std::string_view line = trim(text.substr(0, nl));
            text = nl == std::string_view::npos ? std::string_view() : text.substr(nl + 1);
            if (line.empty() || line.front() == '!' || line.front() == '[')
                continue;
            if (line.size() > 65536)
                continue;
            int hiding = parseHiding(line);
            if (hiding >= 0) {
                kept += std::size_t(hiding);
                continue;
            }
            kept += parseNetwork(line) ? 1 : 0;
        }
        keptRules += kept;
        return kept;
    }

    // ---- the index ----

    void finish()
    {
        // Rules that a $badfilter rule names are taken back.
        if (!badFilters.empty()) {
            std::sort(badFilters.begin(), badFilters.end());
            std::size_t kept = 0;
            for (std::size_t i = 0; i < parsed.size(); ++i)
                if (!std::binary_search(badFilters.begin(), badFilters.end(), parsedText[i]))
                    parsed[kept++] = parsed[i];
            keptRules -= parsed.size() - kept;
            parsed.resize(kept);
        }
        parsedText.clear();
        parsedText.shrink_to_fit();

        // Rules of an earlier finish() join the new ones; a page exception
        // that also stands for other types is there twice.
        const std::size_t pageBegin = pageExceptions.table.empty() ? net.size() : pageExceptions.table.front().begin;
        for (std::size_t i = 0; i < net.size(); ++i) {
            const PackedRule &p = net[i];
            if (i >= pageBegin && (p.flags() & WholePage) && (p.types() & ~typeBit(RequestType::Document)))
                continue;
            parsed.push_back(NetRule{p.pattern, p.domains, std::uint16_t(p.length()), p.types(), p.flags(), 0});
        }
        net.clear();

        // Plain host blocks leave the token path; their text is not kept.
        {
            std::size_t kept = 0;
            for (const NetRule &r : parsed) {
                std::string_view pat = std::string_view(pool).substr(r.pattern, r.patternLength);
                const bool plainHost =
                    (r.flags & HostAnchor) &&
                    !(r.flags & (Exception | Important | MatchCase | StartAnchor | EndAnchor | WholePage |
                                 GenericHide | ElemHide)) &&
                    pat.size() > 1 && pat.back() == '^' && pat.front() != '.' && pat[pat.size() - 2] != '.' &&
                    std::all_of(pat.begin(), pat.end() - 1, [](char c) {
                        return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '_';
                    });
                if (plainHost)
                    hostRules.push_back(HostRule{domainHash(pat.substr(0, pat.size() - 1)), r.domains, r.types, r.flags});
                else
                    parsed[kept++] = r;
            }
            parsed.resize(kept);
            std::sort(hostRules.begin(), hostRules.end(),
                      [](const HostRule &a, const HostRule &b) { return a.host < b.host; });
            hostDirectory.clear();
            if (!hostRules.empty()) {
                unsigned bits = 1;
                while (bits < 16 && (std::size_t(2) << bits) < hostRules.size())
                    ++bits;
                hostDirectory.assign((std::size_t(1) << bits) + 1, 0);
                std::size_t at = 0;
                for (std::size_t b = 0; b < (std::size_t(1) << bits); ++b) {
                    hostDirectory[b] = std::uint32_t(at);
                    while (at < hostRules.size() && (hostRules[at].host >> (64 - bits)) == b)
                        ++at;
                }
                hostDirectory.back() = std::uint32_t(hostRules.size());
            }
        }
        const std::vector<NetRule> &net = parsed;

        // Count how many rules each token could carry, then index every
        // rule under its rarest one so that buckets stay short.
        std::vector<std::vector<Token>> tokens(net.size());
        std::vector<std::pair<std::uint32_t, std::uint32_t>> histogram;
        std::string scratch;
        for (std::size_t i = 0; i < net.size(); ++i) {
            const NetRule &r = net[i];
            patternTokens(std::string_view(pool).substr(r.pattern, r.patternLength), r.flags, tokens[i], scratch);
            for (const Token &t : tokens[i])
                histogram.push_back({t.hash, 1});
        }
        std::sort(histogram.begin(), histogram.end());
        std::vector<std::pair<std::uint32_t, std::uint32_t>> counts;
        for (const auto &h : histogram) {
            if (!counts.empty() && counts.back().first == h.first)
                ++counts.back().second;
            else
                counts.push_back(h);
        }
        histogram.clear();
        histogram.shrink_to_fit();
        auto countOf = [&](std::uint32_t hash) {
            auto it = std::lower_bound(counts.begin(), counts.end(), std::make_pair(hash, std::uint32_t(0)));
            return it != counts.end() && it->first == hash ? it->second : 0u;
        };
        std::array<std::uint32_t, 14> commonHashes{};
        {
            static constexpr std::string_view common[] = {"http", "https", "www", "com", "net", "org", "js",
                                                          "html", "php", "cdn", "static", "img", "images", "www2"};
            for (std::size_t i = 0; i < commonHashes.size(); ++i)
                commonHashes[i] = tokenHash(common[i]);
        }
        std::vector<std::pair<std::uint32_t, std::uint32_t>> imp, blk, exc, page;
        for (std::size_t i = 0; i < net.size(); ++i) {
            std::uint32_t best = noTokenKey;
            std::uint64_t bestScore = ~std::uint64_t(0);
            for (const Token &t : tokens[i]) {
                std::uint64_t score = std::uint64_t(countOf(t.hash)) << 8;
                if (std::find(commonHashes.begin(), commonHashes.end(), t.hash) != commonHashes.end())
                    score += std::uint64_t(1) << 40;
                score += 255 - std::min<std::uint32_t>(t.length, 255);  // longer is rarer among URLs
                if (score < bestScore) {
                    bestScore = score;
                    best = t.hash;
                }
            }
            const NetRule &r = net[i];
            auto entry = std::make_pair(best, std::uint32_t(i));
            if (r.flags & (GenericHide | ElemHide | WholePage))
                page.push_back(entry);
            if ((r.flags & (GenericHide | ElemHide)) ||
                ((r.flags & WholePage) && !(r.types & ~typeBit(RequestType::Document))))
                continue;
            if (r.flags & Exception)
                exc.push_back(entry);
            else if (r.flags & Important)
                imp.push_back(entry);
            else
                blk.push_back(entry);
        }
        tokens.clear();
        tokens.shrink_to_fit();
        std::vector<PackedRule> packed;
        packed.reserve(parsed.size());
        for (auto [index, entries] : {std::pair{&important, &imp}, {&blocks, &blk}, {&exceptions, &exc}, {&pageExceptions, &page}})
            for (std::uint32_t i : index->build(std::move(*entries), std::uint32_t(packed.size()))) {
                const NetRule &r = parsed[i];
                packed.push_back(PackedRule{r.pattern, r.domains,
                                            std::uint32_t(r.patternLength) | std::uint32_t(r.types & 1023) << 10 |
                                                std::uint32_t(r.flags) << 20});
            }
        parsed.clear();
        parsed.shrink_to_fit();
        this->net = std::move(packed);
        compactPool();

        // Element hiding: exceptions for every site take the selector out;
        // the rest is found through the page's domains.
        std::vector<std::uint64_t> everywhereExcepted;
        std::vector<std::pair<std::uint32_t, std::uint32_t>> unhideEntries, hideEntries;
        for (std::size_t i = 0; i < unhide.size(); ++i) {
            const HideRule &r = unhide[i];
            if (!r.domains)
                everywhereExcepted.push_back(selectorHash(selectorOf(r)));
            for (std::uint32_t k = 0; k < includeCount(r.domains); ++k)
                unhideEntries.push_back({std::uint32_t(domainPool[r.domains + 1 + k]), std::uint32_t(i)});
        }
        std::sort(everywhereExcepted.begin(), everywhereExcepted.end());
        auto excepted = [&](const HideRule &r) {
            return std::binary_search(everywhereExcepted.begin(), everywhereExcepted.end(),
                                      selectorHash(selectorOf(r)));
        };
        genericHide.clear();
        hideExcludeOnly.clear();
        for (std::size_t i = 0; i < hide.size(); ++i) {
            const HideRule &r = hide[i];
            if (excepted(r))
                continue;
            if (includeCount(r.domains)) {
                for (std::uint32_t k = 0; k < includeCount(r.domains); ++k)
                    hideEntries.push_back({std::uint32_t(domainPool[r.domains + 1 + k]), std::uint32_t(i)});
            } else if (r.domains) {
                hideExcludeOnly.push_back(std::uint32_t(i));
            } else {
                genericHide.push_back(std::uint32_t(i));
            }
        }
        // The same selector from two lists is written once.
        {
            std::vector<std::pair<std::uint64_t, std::uint32_t>> bySelector;
            for (std::uint32_t i : genericHide)
                bySelector.push_back({selectorHash(selectorOf(hide[i])), i});
            std::stable_sort(bySelector.begin(), bySelector.end(),
                             [](const auto &a, const auto &b) { return a.first < b.first; });
            bySelector.erase(std::unique(bySelector.begin(), bySelector.end(),
                                         [](const auto &a, const auto &b) { return a.first == b.first; }),
                             bySelector.end());
            genericHide.clear();
            for (const auto &s : bySelector)
                genericHide.push_back(s.second);
            std::sort(genericHide.begin(), genericHide.end());
        }
        hideByDomain.build(std::move(hideEntries));
        unhideByDomain.build(std::move(unhideEntries));
    }

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

    // Only the text that rules still point at is kept.
    void compactPool()
    {
        std::string kept;
        auto move = [&](std::uint32_t &offset, std::size_t length) {
            std::string_view text = std::string_view(pool).substr(offset, length);
            offset = std::uint32_t(kept.size());
            kept.append(text);
        };
        for (PackedRule &r : net)
            move(r.pattern, r.length());
        for (auto *rules : {&hide, &unhide})
            for (HideRule &r : *rules)
                move(r.selector, r.selectorLength);
        pool = std::move(kept);
    }

    std::string_view selectorOf(const HideRule &r) const
    {
        return std::string_view(pool).substr(r.selector, r.selectorLength);
    }

    // One rule per selector: a selector the engine does not understand
    // then costs only itself.
    void appendRule(std::string &css, const HideRule &r) const
    {
        css.append(selectorOf(r));
        css.append("{display:none!important}\n");
    }

    // ---- public suffixes ----

    void setPublicSuffixes(std::string_view text)
    {
        suffixRules.clear();
        suffixWildcards.clear();
        suffixExceptions.clear();
        while (!text.empty()) {
            std::size_t nl = text.find('\n');
            std::string_view line = trim(text.substr(0, nl));
            text = nl == std::string_view::npos ? std::string_view() : text.substr(nl + 1);
            std::size_t space = line.find_first_of(" \t");
            if (space != std::string_view::npos)
                line = line.substr(0, space);
            if (line.empty() || line.substr(0, 2) == "//")
                continue;
            if (line.front() == '!')
                suffixExceptions.push_back(domainHash(line.substr(1)));
            else if (line.substr(0, 2) == "*.")
                suffixWildcards.push_back(domainHash(line.substr(2)));
            else
                suffixRules.push_back(domainHash(line));
        }
        for (auto *v : {&suffixRules, &suffixWildcards, &suffixExceptions}) {
            std::sort(v->begin(), v->end());
            v->erase(std::unique(v->begin(), v->end()), v->end());
        }
    }

    static bool has(const std::vector<std::uint64_t> &v, std::uint64_t h)
    {
        return std::binary_search(v.begin(), v.end(), h);
    }

    // The registrable domain (eTLD+1) of a lowercased host.
    std::string_view registrable(std::string_view host) const
    {
        if (host.empty() || isIpAddress(host))
            return host;
        // Label starts, left to right.
        std::array<std::size_t, 128> starts;
        std::size_t n = 0;
        starts[n++] = 0;
        for (std::size_t i = 0; i < host.size() && n < starts.size(); ++i)
            if (host[i] == '.')
                starts[n++] = i + 1;
        if (n < 2)
            return host;
        // The longest public suffix; without a matching rule, the last label.
        std::size_t suffix = n - 1;
        if (!suffixRules.empty() || !suffixWildcards.empty()) {
            for (std::size_t k = 0; k < n; ++k) {
                std::string_view s = host.substr(starts[k]);
                std::uint64_t h = domainHash(s);
                if (has(suffixExceptions, h)) {
                    suffix = k + 1 < n ? k + 1 : k;
                    break;
                }
                if (has(suffixRules, h)) {
                    suffix = k;
                    break;
                }
                if (k + 1 < n && has(suffixWildcards, domainHash(host.substr(starts[k + 1])))) {
                    suffix = k;
                    break;
                }
            }
        }
        if (suffix == 0)
            return host;
        return host.substr(starts[suffix - 1]);
    }
};

} // namespace

struct FilterEngine::Data : Store {
};

// ---- matching ---------------------------------------------------------------

namespace {

struct Scratch {
    std::string url, page;
    std::vector<std::uint32_t> tokens;
    std::vector<std::uint64_t> pageSuffixes;
};

thread_local Scratch scratch;

// What a request looks like to the rules, worked out once and lazily.
struct Context {
    std::string_view original, url;  // url lowercased
    Host host;
    RequestType type;
    std::string_view pageHost;  // lowercased
    bool hasPage = false;
    int thirdParty = -1;
    bool suffixesReady = false;
};

void lowerInto(std::string &out, std::string_view in)
{
    out.resize(in.size());
    for (std::size_t i = 0; i < in.size(); ++i)
        out[i] = lower(in[i]);
}

void suffixHashes(std::string_view host, std::vector<std::uint64_t> &out)
{
    out.clear();
    std::size_t start = 0;
    while (start < host.size() && out.size() < 64) {
        out.push_back(domainHash(host.substr(start)));
        std::size_t dot = host.find('.', start);
        if (dot == std::string_view::npos)
            break;
        start = dot + 1;
    }
}


} // namespace

std::optional<RequestType> requestTypeFromName(std::string_view name)
{
    static constexpr std::pair<std::string_view, RequestType> names[] = {
        {"document", RequestType::Document}, {"subdocument", RequestType::Subdocument},
        {"script", RequestType::Script}, {"image", RequestType::Image},
        {"stylesheet", RequestType::Stylesheet}, {"xmlhttprequest", RequestType::XmlHttpRequest},
        {"font", RequestType::Font}, {"media", RequestType::Media},
        {"ping", RequestType::Ping}, {"other", RequestType::Other},
    };
    for (const auto &n : names)
        if (equalsLower(name, n.first))
            return n.second;
    return std::nullopt;
}

FilterEngine::FilterEngine() : d(std::make_unique<Data>()) {}
FilterEngine::~FilterEngine() = default;
FilterEngine::FilterEngine(FilterEngine &&) noexcept = default;
FilterEngine &FilterEngine::operator=(FilterEngine &&) noexcept = default;

std::size_t FilterEngine::addList(std::string_view text)
{
    try {
        return d->addList(text);
    } catch (const std::bad_alloc &) {
        return 0;
    }
}

void FilterEngine::setPublicSuffixes(std::string_view pslText) { d->setPublicSuffixes(pslText); }

void FilterEngine::finish() { d->finish(); }

std::size_t FilterEngine::ruleCount() const { return std::size_t(d->keptRules); }

namespace {

class Matcher {
public:
    Matcher(const Store &data, Context &c) : d(data), c(c) {}

    bool thirdParty()
    {
        if (c.thirdParty < 0) {
            std::string_view host = c.url.substr(c.host.begin, c.host.end - c.host.begin);
            c.thirdParty = c.hasPage && d.registrable(host) != d.registrable(c.pageHost);
        }
        return c.thirdParty > 0;
    }

    const std::vector<std::uint64_t> &pageSuffixes()
    {
        if (!c.suffixesReady) {
            suffixHashes(c.pageHost, scratch.pageSuffixes);
            c.suffixesReady = true;
        }
        return scratch.pageSuffixes;
    }

    bool patternMatches(const PackedRule &r, std::uint16_t flags) const
    {
        std::string_view pat(d.pool.data() + r.pattern, r.length());
        std::string_view url = (flags & MatchCase) ? c.original : c.url;
        const bool end = flags & EndAnchor;
        if (flags & HostAnchor) {
            // At the start of the host or of one of its labels.
            for (std::size_t p = c.host.begin; p < c.host.end; ++p) {
                if (p != c.host.begin && url[p - 1] != '.')
                    continue;
                if (globAt(pat, url.substr(p), end))
                    return true;
            }
            return false;
        }
        if (flags & StartAnchor)
            return globAt(pat, url, end);
        if ((flags & Plain) && !end)
            return url.find(pat) != std::string_view::npos;
        if (pat.empty())
            return true;
        // Try each place the first character could start a match.
        const char first = pat.front();
        for (std::size_t p = 0; p < url.size(); ++p) {
            if (first != '*' && first != '^' && url[p] != first)
                continue;
            if (globAt(pat, url.substr(p), end))
                return true;
        }
        return first == '^' && globAt(pat, std::string_view(), end);
    }

    bool ruleMatches(const PackedRule &r, std::uint16_t flags, std::uint16_t type)
    {
        if (!(r.types() & type))
            return false;
        return patternMatches(r, flags) && conditionsHold(flags, r.domains);
    }

    // The rule's party and page domains.
    bool conditionsHold(std::uint16_t flags, std::uint32_t domains)
    {
        if (flags & (ThirdParty | FirstParty)) {
            bool tp = thirdParty();
            if ((flags & ThirdParty) ? !tp : tp)
                return false;
        }
        return !domains || d.domainsAllow(domains, pageSuffixes());
    }

    // A `||host^` block rule for the request's host or a parent domain.
    bool anyHost()
    {
        if (d.hostDirectory.size() < 3)
            return false;
        const unsigned bits = hostDirectoryBits(d.hostDirectory.size());
        const std::string_view host = c.url.substr(c.host.begin, c.host.end - c.host.begin);
        const std::uint16_t type = typeBit(c.type);
        for (std::size_t start = 0; start < host.size();) {
            const std::uint64_t h = domainHash(host.substr(start));
            const std::size_t bucket = std::size_t(h >> (64 - bits));
            for (std::uint32_t i = d.hostDirectory[bucket], end = d.hostDirectory[bucket + 1]; i < end; ++i) {
                const HostRule &r = d.hostRules[i];
                if (r.host == h && (r.types & type) && conditionsHold(r.flags, r.domains))
                    return true;
            }
            const std::size_t dot = host.find('.', start);
            if (dot == std::string_view::npos)
                break;
            start = dot + 1;
        }
        return false;
    }

    // Any rule of the index matching the request; `need` filters by flag.
    bool any(const Index &index, std::uint16_t need = 0)
    {
        const std::uint16_t type = typeBit(c.type);
        auto check = [&](std::uint32_t position) {
            const PackedRule &r = d.net[position];
            const std::uint16_t flags = r.flags();
            return (flags & need) == need && ruleMatches(r, flags, type);
        };
        for (std::uint32_t t : scratch.tokens)
            if (index.forEach(t, check))
                return true;
        return index.forEach(noTokenKey, check);
    }

private:
    const Store &d;
    Context &c;
};

void tokenize(std::string_view url, std::vector<std::uint32_t> &out)
{
    out.clear();
    std::size_t i = 0;
    while (i < url.size()) {
        if (!isTokenChar(static_cast<unsigned char>(url[i]))) {
            ++i;
            continue;
        }
        std::size_t b = i;
        while (i < url.size() && isTokenChar(static_cast<unsigned char>(url[i])))
            ++i;
        out.push_back(tokenHash(url.substr(b, i - b)));
    }
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
}

} // namespace

bool FilterEngine::shouldBlock(const Request &request) const
{
    if (!blockableScheme(request.url))
        return false;
    Scratch &s = scratch;
    lowerInto(s.url, request.url);
    Context c;
    c.original = request.url;
    c.url = s.url;
    c.host = hostOf(c.url);
    c.type = request.type;
    if (!request.pageUrl.empty()) {
        lowerInto(s.page, request.pageUrl);
        Host ph = hostOf(s.page);
        c.pageHost = std::string_view(s.page).substr(ph.begin, ph.end - ph.begin);
        c.hasPage = true;
    }
    tokenize(c.url, s.tokens);
    Matcher m(*d, c);
    bool importantBlock = m.any(d->important);
    if (!importantBlock && !m.anyHost() && !m.any(d->blocks))
        return false;
    // An exception marked important outranks an important block; a plain
    // exception only a plain block.
    if (m.any(d->exceptions, importantBlock ? std::uint16_t(Important) : std::uint16_t(0)))
        return false;
    if (importantBlock || d->pageExceptions.table.empty())
        return true;
    // @@...$document: the whole page is let through, and that page itself.
    if (request.type == RequestType::Document && m.any(d->pageExceptions, WholePage))
        return false;
    if (!c.hasPage || !blockableScheme(request.pageUrl))
        return true;
    Context pc;
    lowerInto(s.url, request.pageUrl);
    pc.original = request.pageUrl;
    pc.url = s.url;
    pc.host = hostOf(pc.url);
    pc.type = RequestType::Document;
    pc.pageHost = c.pageHost;
    pc.hasPage = true;
    tokenize(pc.url, s.tokens);
    Matcher pm(*d, pc);
    return !pm.any(d->pageExceptions, WholePage);
}

std::string FilterEngine::hidingCss(std::string_view pageUrl) const
{
    const Data &data = *d;
    std::string lowered;
    lowerInto(lowered, pageUrl);
    Host h = hostOf(lowered);
    std::string_view host = std::string_view(lowered).substr(h.begin, h.end - h.begin);
    bool generic = true;
    if (blockableScheme(lowered)) {
        Context c;
        c.original = pageUrl;
        c.url = lowered;
        c.host = h;
        c.type = RequestType::Document;
        c.pageHost = host;
        c.hasPage = true;
        Scratch &s = scratch;
        tokenize(c.url, s.tokens);
        Matcher m(data, c);
        if (m.any(data.pageExceptions, ElemHide))
            return {};
        generic = !m.any(data.pageExceptions, GenericHide);
    }
    std::vector<std::uint64_t> suffixes;
    suffixHashes(host, suffixes);

    // Selectors excepted on this page.
    std::vector<std::uint64_t> excepted;
    for (std::uint64_t sh : suffixes)
        data.unhideByDomain.forEach(std::uint32_t(sh), [&](std::uint32_t id) {
            const HideRule &r = data.unhide[id];
            if (data.domainsAllow(r.domains, suffixes))
                excepted.push_back(selectorHash(data.selectorOf(r)));
            return false;
        });
    std::sort(excepted.begin(), excepted.end());
    auto keep = [&](const HideRule &r) {
        return excepted.empty() ||
               !std::binary_search(excepted.begin(), excepted.end(), selectorHash(data.selectorOf(r)));
    };

    std::vector<std::uint32_t> ids;
    for (std::uint64_t sh : suffixes)
        data.hideByDomain.forEach(std::uint32_t(sh), [&](std::uint32_t id) {
            ids.push_back(id);
            return false;
        });
    for (std::uint32_t id : data.hideExcludeOnly)
        ids.push_back(id);
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());

    std::string css;
    for (std::uint32_t id : ids) {
        const HideRule &r = data.hide[id];
        if (data.domainsAllow(r.domains, suffixes) && keep(r)) {
            if (!generic && !data.includeCount(r.domains))
                continue;  // ~a.com##sel is generic hiding too
            data.appendRule(css, r);
        }
    }
    if (generic) {
        for (std::uint32_t id : data.genericHide)
            if (keep(data.hide[id]))
                data.appendRule(css, data.hide[id]);
    }
    return css;
}

// ---- the cache ----------------------------------------------------------------

std::string FilterEngine::serialize() const
{
    const Data &x = *d;
    Writer w;
    w.put(x.pool);
    w.put(x.domainPool);
    w.put(x.net);
    w.put(x.hostRules);
    w.put(x.hostDirectory);
    w.put(x.hide);
    w.put(x.unhide);
    for (const Index *i : {&x.important, &x.blocks, &x.exceptions, &x.pageExceptions})
        w.put(i->table);
    for (const IdIndex *i : {&x.hideByDomain, &x.unhideByDomain}) {
        w.put(i->index.table);
        w.put(i->ids);
    }
    w.put(x.hideExcludeOnly);
    w.put(x.genericHide);
    w.put(x.suffixRules);
    w.put(x.suffixWildcards);
    w.put(x.suffixExceptions);
    std::vector<std::uint64_t> counts{x.keptRules};
    w.put(counts);

    Header h{};
    std::memcpy(h.magic, formatMagic, sizeof h.magic);
    h.version = formatVersion;
    h.bodySize = w.out.size();
    h.checksum = checksum(w.out);
    std::string out(reinterpret_cast<const char *>(&h), sizeof h);
    out += w.out;
    return out;
}

std::string resealedCache(std::string_view bytes)
{
    std::string out(bytes);
    if (out.size() < sizeof(Header))
        return out;
    Header h;
    std::memcpy(&h, out.data(), sizeof h);
    std::string_view body = std::string_view(out).substr(sizeof h);
    h.bodySize = body.size();
    h.checksum = checksum(body);
    std::memcpy(out.data(), &h, sizeof h);
    return out;
}

std::optional<FilterEngine> FilterEngine::deserialize(std::string_view bytes)
{
    if (bytes.size() < sizeof(Header))
        return std::nullopt;
    Header h;
    std::memcpy(&h, bytes.data(), sizeof h);
    std::string_view body = bytes.substr(sizeof h);
    if (std::memcmp(h.magic, formatMagic, sizeof h.magic) != 0 || h.version != formatVersion || h.reserved != 0 ||
        h.bodySize != body.size() || h.checksum != checksum(body))
        return std::nullopt;

    FilterEngine engine;
    Data &x = *engine.d;
    Reader r{body};
    try {
        r.get(x.pool);
        r.get(x.domainPool);
        r.get(x.net);
        r.get(x.hostRules);
        r.get(x.hostDirectory);
        r.get(x.hide);
        r.get(x.unhide);
        for (Index *i : {&x.important, &x.blocks, &x.exceptions, &x.pageExceptions})
            r.get(i->table);
        for (IdIndex *i : {&x.hideByDomain, &x.unhideByDomain}) {
            r.get(i->index.table);
            r.get(i->ids);
        }
        r.get(x.hideExcludeOnly);
        r.get(x.genericHide);
        r.get(x.suffixRules);
        r.get(x.suffixWildcards);
        r.get(x.suffixExceptions);
        std::vector<std::uint64_t> counts;
        r.get(counts);
        if (!r.ok || r.pos != body.size() || counts.size() != 1)
            return std::nullopt;
        x.keptRules = counts[0];
    } catch (const std::bad_alloc &) {
        return std::nullopt;
    }

    // Everything the matcher indexes with must stay inside its arrays.
    auto domainsFit = [&](std::uint32_t domains) {
        if (!domains)
            return true;
        if (domains >= x.domainPool.size())
            return false;
        std::uint64_t header = x.domainPool[domains];
        return domains + 1 + (header >> 32) + (header & 0xffffffffu) <= x.domainPool.size();
    };
    for (const PackedRule &n : x.net)
        if (std::uint64_t(n.pattern) + n.length() > x.pool.size() || !domainsFit(n.domains))
            return std::nullopt;
    for (const HostRule &n : x.hostRules)
        if (!domainsFit(n.domains))
            return std::nullopt;
    if (!x.hostDirectory.empty() || !x.hostRules.empty()) {
        const unsigned bits = hostDirectoryBits(x.hostDirectory.size());
        if (bits < 1 || bits > 16 || x.hostDirectory.size() != (std::size_t(1) << bits) + 1 ||
            x.hostDirectory.back() > x.hostRules.size() ||
            !std::is_sorted(x.hostDirectory.begin(), x.hostDirectory.end()))
            return std::nullopt;
    }
    for (const auto *rules : {&x.hide, &x.unhide})
        for (const HideRule &n : *rules)
            if (std::uint64_t(n.selector) + n.selectorLength > x.pool.size() || !domainsFit(n.domains))
                return std::nullopt;
    if (!x.important.valid(x.net.size()) || !x.blocks.valid(x.net.size()) || !x.exceptions.valid(x.net.size()) ||
        !x.pageExceptions.valid(x.net.size()) || !x.hideByDomain.valid(x.hide.size()) ||
        !x.unhideByDomain.valid(x.unhide.size()))
        return std::nullopt;
    for (const auto *list : {&x.hideExcludeOnly, &x.genericHide})
        for (std::uint32_t id : *list)
            if (id >= x.hide.size())
                return std::nullopt;
    return engine;
}

} // namespace blocking
