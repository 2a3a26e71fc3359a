// SPDX-License-Identifier: GPL-3.0-or-later
// The cache: the compiled arrays written as they are, read back with
// every offset checked before the matcher may use it.

#include "blocking/filterstore.h"
#include "blocking/cacheseal.h"

#include <cstring>

namespace blocking {
namespace {

using namespace detail;

// Raised whenever the layout of the cache changes: an older cache is then
// rebuilt from the lists instead of being misread.
constexpr std::uint32_t formatVersion = 2;
constexpr char formatMagic[8] = {'V', 'X', 'B', 'L', 'O', 'C', 'K', '\n'};

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

// Every part of the data the cache holds, in the cache's order: one list
// for writing and reading, so the two cannot drift apart. Data is const
// when writing.
template <class D, class F>
void eachPart(D &x, F part)
{
    part(x.pool);
    part(x.domainPool);
    part(x.net);
    part(x.hostRules);
    part(x.hostDirectory);
    part(x.hide);
    part(x.unhide);
    for (auto *i : {&x.important, &x.blocks, &x.exceptions, &x.pageExceptions})
        part(i->table);
    for (auto *i : {&x.hideByDomain, &x.unhideByDomain}) {
        part(i->index.table);
        part(i->ids);
    }
    part(x.hideExcludeOnly);
    part(x.genericHide);
    part(x.suffixRules);
    part(x.suffixWildcards);
    part(x.suffixExceptions);
}

} // namespace

std::string FilterEngine::serialize() const
{
    Writer w;
    eachPart(*d, [&w](const auto &part) { w.put(part); });
    std::vector<std::uint64_t> counts{d->keptRules};
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
        eachPart(x, [&r](auto &part) { r.get(part); });
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
