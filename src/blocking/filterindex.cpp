// SPDX-License-Identifier: GPL-3.0-or-later
// The network rules compiled: $badfilter applied, host blocks set apart,
// every other rule indexed under its rarest token.

#include "blocking/filterstore.h"

#include <array>

namespace blocking::detail {
namespace {

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

} // namespace

std::vector<std::uint32_t> Index::build(std::vector<std::pair<std::uint32_t, std::uint32_t>> entries, std::uint32_t base)
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

void Store::finish()
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
    indexHiding();
}

// Only the text that rules still point at is kept.
void Store::compactPool()
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

} // namespace blocking::detail
