// SPDX-License-Identifier: GPL-3.0-or-later
#include "requesttype.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string>
#include <utility>

namespace blocker {

namespace {

using blocking::RequestType;

bool equalsNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

bool containsNoCase(std::string_view text, std::string_view part)
{
    if (part.size() > text.size())
        return false;
    for (std::size_t i = 0; i + part.size() <= text.size(); ++i)
        if (equalsNoCase(text.substr(i, part.size()), part))
            return true;
    return false;
}

std::optional<RequestType> fromFetchDest(std::string_view dest, bool ping)
{
    static constexpr std::array<std::pair<std::string_view, RequestType>, 18> table{{
        {"document", RequestType::Document},
        {"iframe", RequestType::Subdocument},
        {"frame", RequestType::Subdocument},
        {"script", RequestType::Script},
        {"worker", RequestType::Script},
        {"sharedworker", RequestType::Script},
        {"serviceworker", RequestType::Script},
        {"audioworklet", RequestType::Script},
        {"paintworklet", RequestType::Script},
        {"image", RequestType::Image},
        {"style", RequestType::Stylesheet},
        {"font", RequestType::Font},
        {"audio", RequestType::Media},
        {"video", RequestType::Media},
        {"track", RequestType::Media},
        {"object", RequestType::Other},
        {"embed", RequestType::Other},
        {"report", RequestType::Ping},
    }};
    if (equalsNoCase(dest, "empty"))
        return ping ? RequestType::Ping : RequestType::XmlHttpRequest;
    for (const auto &[name, type] : table)
        if (equalsNoCase(dest, name))
            return type;
    return std::nullopt;
}

std::optional<RequestType> fromAccept(std::string_view accept)
{
    // WebKit's own Accept values per kind; a page's fetch() usually keeps
    // "*/*", which says nothing.
    if (containsNoCase(accept, "text/html") || containsNoCase(accept, "application/xhtml+xml"))
        return RequestType::Subdocument;
    if (containsNoCase(accept, "text/css"))
        return RequestType::Stylesheet;
    if (accept.size() >= 6 && equalsNoCase(accept.substr(0, 6), "image/"))
        return RequestType::Image;
    if (containsNoCase(accept, "video/") || containsNoCase(accept, "audio/"))
        return RequestType::Media;
    return std::nullopt;
}

// The path's extension, lower case: after the last dot of the last segment,
// before any query or fragment.
std::string extensionOf(std::string_view url)
{
    const std::size_t scheme = url.find("://");
    std::string_view rest = scheme == std::string_view::npos ? url : url.substr(scheme + 3);
    rest = rest.substr(0, rest.find_first_of("?#"));
    const std::size_t slash = rest.rfind('/');
    if (slash == std::string_view::npos)
        return {};
    const std::string_view segment = rest.substr(slash + 1);
    const std::size_t dot = segment.rfind('.');
    if (dot == std::string_view::npos || segment.size() - dot > 6)
        return {};
    std::string extension(segment.substr(dot + 1));
    for (char &c : extension)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return extension;
}

std::optional<RequestType> fromExtension(std::string_view url)
{
    static constexpr std::array<std::pair<std::string_view, RequestType>, 25> table{{
        {"js", RequestType::Script},     {"mjs", RequestType::Script},    {"css", RequestType::Stylesheet},
        {"png", RequestType::Image},     {"jpg", RequestType::Image},     {"jpeg", RequestType::Image},
        {"gif", RequestType::Image},     {"webp", RequestType::Image},    {"avif", RequestType::Image},
        {"svg", RequestType::Image},     {"ico", RequestType::Image},     {"bmp", RequestType::Image},
        {"woff", RequestType::Font},     {"woff2", RequestType::Font},    {"ttf", RequestType::Font},
        {"otf", RequestType::Font},      {"eot", RequestType::Font},      {"mp4", RequestType::Media},
        {"webm", RequestType::Media},    {"mp3", RequestType::Media},     {"ogg", RequestType::Media},
        {"m4a", RequestType::Media},     {"wav", RequestType::Media},     {"m3u8", RequestType::Media},
        {"opus", RequestType::Media},
    }};
    const std::string extension = extensionOf(url);
    for (const auto &[name, type] : table)
        if (extension == name)
            return type;
    return std::nullopt;
}

}  // namespace

RequestType requestType(const RequestFacts &facts)
{
    if (facts.mainResource)
        return RequestType::Document;
    if (!facts.fetchDest.empty())
        if (const auto type = fromFetchDest(facts.fetchDest, facts.ping))
            return *type;
    if (facts.ping)
        return RequestType::Ping;
    if (const auto type = fromAccept(facts.accept))
        return *type;
    if (const auto type = fromExtension(facts.url))
        return *type;
    return RequestType::Other;
}

std::string_view hostOf(std::string_view url)
{
    const std::size_t scheme = url.find("://");
    if (scheme == std::string_view::npos)
        return {};
    std::string_view authority = url.substr(scheme + 3);
    authority = authority.substr(0, authority.find_first_of("/?#"));
    const std::size_t at = authority.rfind('@');
    if (at != std::string_view::npos)
        authority = authority.substr(at + 1);
    if (!authority.empty() && authority.front() == '[')
        return authority.substr(0, authority.find(']') + 1);
    return authority.substr(0, authority.find(':'));
}

}  // namespace blocker
