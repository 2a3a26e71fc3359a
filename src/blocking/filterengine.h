// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The content-blocking matcher: Adblock Plus filter lists (network rules and
// element hiding) compiled into flat arrays with a token index, and a cache
// format that loads straight from its bytes. Plain C++ without Qt or GLib:
// the frame, the engine helper and WebKit's web process extension all link
// it.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace blocking {

enum class RequestType : std::uint8_t {
    Document, Subdocument, Script, Image, Stylesheet, XmlHttpRequest, Font, Media, Ping, Other
};

// "document", "subdocument", "script", ... (the list option names); nullopt
// for a name we do not know.
std::optional<RequestType> requestTypeFromName(std::string_view name);

struct Request {
    std::string_view url;       // absolute URL as the engine gives it
    std::string_view pageUrl;   // URL of the top-level page (the first party); empty when there is none
    RequestType type;
};

class FilterEngine {
public:
    FilterEngine();
    ~FilterEngine();
    FilterEngine(FilterEngine &&) noexcept;
    FilterEngine &operator=(FilterEngine &&) noexcept;
    FilterEngine(const FilterEngine &) = delete;
    FilterEngine &operator=(const FilterEngine &) = delete;

    // Adblock Plus syntax, UTF-8. Returns the number of rules kept; a rule
    // we cannot honour exactly is dropped rather than widened. Never throws
    // on bad input.
    std::size_t addList(std::string_view text);
    // public_suffix_list.dat text, for third-party by registrable domain.
    // Without it the registrable domain is the last two labels.
    void setPublicSuffixes(std::string_view pslText);
    // Builds the index; call after the lists, before matching.
    void finish();

    bool shouldBlock(const Request &request) const;
    // "sel{display:none!important}..." for that page; "" when none.
    std::string hidingCss(std::string_view pageUrl) const;

    std::string serialize() const;
    // nullopt on any damage, truncation or another format version.
    static std::optional<FilterEngine> deserialize(std::string_view bytes);

    std::size_t ruleCount() const;

private:
    struct Data;
    std::unique_ptr<Data> d;
};

} // namespace blocking
