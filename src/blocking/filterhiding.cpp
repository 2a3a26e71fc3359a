// SPDX-License-Identifier: GPL-3.0-or-later
// Element hiding: the selectors indexed by domain, and the style sheet a
// page gets.

#include "blocking/filterstore.h"

namespace blocking::detail {

// Exceptions for every site take the selector out; the rest is found
// through the page's domains.
void Store::indexHiding()
{
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

// One rule per selector: a selector the engine does not understand
// then costs only itself.
void Store::appendRule(std::string &css, const HideRule &r) const
{
    css.append(selectorOf(r));
    css.append("{display:none!important}\n");
}

} // namespace blocking::detail

namespace blocking {

using namespace detail;

std::string FilterEngine::hidingCss(std::string_view pageUrl) const
{
    const Data &data = *d;
    std::string lowered;
    lowerInto(lowered, pageUrl);
    Host h = hostOf(lowered);
    std::string_view host = std::string_view(lowered).substr(h.begin, h.end - h.begin);
    bool generic = true;
    if (blockableScheme(lowered)) {
        const std::uint16_t off = data.pageHidingExceptions(pageUrl, lowered, h);
        if (off & ElemHide)
            return {};
        generic = !(off & GenericHide);
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

} // namespace blocking
