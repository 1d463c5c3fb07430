#include "platform/Endpoints.hpp"

#include <charconv>
#include <cstdlib>

namespace hexora::platform {
namespace {

std::optional<std::string> overrideOf(const char* name) {
    if (!Endpoints::overridesEnabled()) return std::nullopt;
    const char* value = std::getenv(name);
    if (!value || !*value) return std::nullopt;
    return std::string(value);
}

/// The environment's list when it names at least one URL, else the compiled-in one.
std::vector<std::string> urlList(const char* variable, const char* compiledIn) {
    if (auto text = overrideOf(variable)) {
        auto urls = Endpoints::splitUrls(*text);
        if (!urls.empty()) return urls;
    }
    return Endpoints::splitUrls(compiledIn);
}

}  // namespace

bool Endpoints::overridesEnabled() { return HEXORA_ENDPOINT_OVERRIDES != 0; }

std::vector<std::string> Endpoints::splitUrls(std::string_view text) {
    std::vector<std::string> urls;
    constexpr std::string_view blanks = " \t\r\n";
    while (true) {
        const auto comma = text.find(',');
        auto entry = text.substr(0, comma);
        const auto first = entry.find_first_not_of(blanks);
        if (first != std::string_view::npos) {
            entry = entry.substr(first, entry.find_last_not_of(blanks) - first + 1);
            urls.emplace_back(entry);
        }
        if (comma == std::string_view::npos) break;
        text.remove_prefix(comma + 1);
    }
    return urls;
}

std::vector<std::string> Endpoints::apiUrls() { return urlList("HEXORA_API_URLS", HEXORA_DEFAULT_API_URLS); }

std::vector<std::string> Endpoints::fileUrls() { return urlList("HEXORA_FILE_URLS", HEXORA_DEFAULT_FILE_URLS); }

std::string Endpoints::rumUrl() {
    if (auto url = overrideOf("HEXORA_RUM_URL")) return *url;
    return HEXORA_DEFAULT_RUM_URL;
}

std::optional<std::string> Endpoints::caFile() { return overrideOf("HEXORA_CA_FILE"); }

}  // namespace hexora::platform

namespace hexora::platform {

std::optional<std::uint64_t> Endpoints::diskReserveBytes() {
    const auto text = overrideOf("HEXORA_DISK_RESERVE_BYTES");
    if (!text) return std::nullopt;
    std::uint64_t bytes = 0;
    const auto* end = text->data() + text->size();
    const auto [stop, error] = std::from_chars(text->data(), end, bytes);
    if (error != std::errc{} || stop != end) return std::nullopt;
    return bytes;
}

}  // namespace hexora::platform
