#pragma once
// One request as a local test server received it.
#include "services/http/HttpHeaders.hpp"

#include <optional>
#include <string>

namespace hexora::test {

struct RecordedRequest {
    std::string method;
    /// The path without query, percent-decoded.
    std::string path;
    /// The request target as sent (path and query, not decoded).
    std::string target;
    Http::Headers headers;
    std::string body;

    std::optional<std::string> header(std::string_view name) const { return Http::findHeader(headers, name); }
};

}  // namespace hexora::test
