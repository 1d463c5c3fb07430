#pragma once
// The key of one member of a JSON object as JSON boxes write it: its text,
// and an integer when the key was made from one. Made from a text it has that
// text and no integer; made from an integer it has that integer and, as
// text, its decimal form.
//
// Thread: a plain value. Nothing here throws (beyond allocation).
#include <cstdint>
#include <optional>
#include <string>

namespace hexora {

struct JSONCodingKeys {
    explicit JSONCodingKeys(std::string text) : stringValue(std::move(text)) {}
    explicit JSONCodingKeys(std::int64_t number) : stringValue(std::to_string(number)), intValue(number) {}

    std::string stringValue;
    std::optional<std::int64_t> intValue;
};

}  // namespace hexora
