// SPDX-License-Identifier: GPL-3.0-or-later
#include "blocking/filterengine.h"
#include "blocking/filterstore.h"

namespace blocking {

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
        if (detail::equalsLower(name, n.first))
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

} // namespace blocking
