#include "blocking/filterengine.h"

namespace blocking {

struct FilterEngine::Data {
};

std::optional<RequestType> requestTypeFromName(std::string_view) { return std::nullopt; }

FilterEngine::FilterEngine() : d(std::make_unique<Data>()) {}
FilterEngine::~FilterEngine() = default;
FilterEngine::FilterEngine(FilterEngine &&) noexcept = default;
FilterEngine &FilterEngine::operator=(FilterEngine &&) noexcept = default;
std::size_t FilterEngine::addList(std::string_view) { return 0; }
void FilterEngine::setPublicSuffixes(std::string_view) {}
void FilterEngine::finish() {}
bool FilterEngine::shouldBlock(const Request &) const { return false; }
std::string FilterEngine::hidingCss(std::string_view) const { return {}; }
std::string FilterEngine::serialize() const { return {}; }
std::optional<FilterEngine> FilterEngine::deserialize(std::string_view) { return std::nullopt; }
std::size_t FilterEngine::ruleCount() const { return 0; }

} // namespace blocking
