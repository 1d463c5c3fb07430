#include "services/http/HttpHeaders.hpp"

#include <algorithm>
#include <cctype>

namespace hexora::Http {
namespace {
bool sameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}
}  // namespace

std::optional<std::string> findHeader(const Headers& headers, std::string_view name) {
    for (const auto& header : headers) {
        if (sameName(header.name, name)) return header.value;
    }
    return std::nullopt;
}

}  // namespace hexora::Http
