// SPDX-License-Identifier: GPL-3.0-or-later
// Public suffixes and the registrable domain, for third-party requests;
// a host's parent domains, for the rules' domain lists.

#include "blocking/filterstore.h"

#include <array>

namespace blocking::detail {
namespace {

bool isIpAddress(std::string_view host)
{
    if (!host.empty() && host.front() == '[')
        return true;
    return !host.empty() && std::all_of(host.begin(), host.end(), [](char c) { return (c >= '0' && c <= '9') || c == '.'; });
}

bool has(const std::vector<std::uint64_t> &v, std::uint64_t h)
{
    return std::binary_search(v.begin(), v.end(), h);
}

} // namespace

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

void Store::setPublicSuffixes(std::string_view text)
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

// The registrable domain (eTLD+1) of a lowercased host.
std::string_view Store::registrable(std::string_view host) const
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

} // namespace blocking::detail
