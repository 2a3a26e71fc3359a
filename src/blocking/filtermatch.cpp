// SPDX-License-Identifier: GPL-3.0-or-later
// Matching a request against the index.

#include "blocking/filterstore.h"

namespace blocking::detail {
namespace {

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

std::uint16_t Store::pageHidingExceptions(std::string_view pageUrl, std::string_view lowered, Host host) const
{
    Context c;
    c.original = pageUrl;
    c.url = lowered;
    c.host = host;
    c.type = RequestType::Document;
    c.pageHost = lowered.substr(host.begin, host.end - host.begin);
    c.hasPage = true;
    tokenize(c.url, scratch.tokens);
    Matcher m(*this, c);
    if (m.any(pageExceptions, ElemHide))
        return ElemHide;
    return m.any(pageExceptions, GenericHide) ? std::uint16_t(GenericHide) : std::uint16_t(0);
}

} // namespace blocking::detail

namespace blocking {

using namespace detail;

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

} // namespace blocking
