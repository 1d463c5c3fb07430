#pragma once
// HTTP header lists as sent and received: ordered name/value pairs, names
// compared without regard to case.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace hexora::Http {

struct Header {
    std::string name;
    std::string value;
    bool operator==(const Header&) const = default;
};

using Headers = std::vector<Header>;

/// The value of the first header named `name` (case-insensitive), or nullopt.
std::optional<std::string> findHeader(const Headers& headers, std::string_view name);

}  // namespace hexora::Http
