// SPDX-License-Identifier: GPL-3.0-or-later
// Reading Adblock Plus lists: network rules, element hiding, and the
// syntaxes we recognise only to drop.

#include "blocking/filterstore.h"

namespace blocking::detail {
namespace {

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

} // namespace

bool Store::parseDomains(std::string_view list, char sep, std::uint32_t &offset)
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

bool Store::addString(std::string_view s, std::uint32_t &offset)
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
int Store::parseHiding(std::string_view line)
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
std::uint64_t Store::textWithoutBadfilter(std::string_view line, bool &hasBadfilter)
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

bool Store::parseNetwork(std::string_view line)
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

std::size_t Store::addList(std::string_view text)
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

} // namespace blocking::detail
