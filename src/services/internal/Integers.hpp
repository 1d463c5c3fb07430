#pragma once
// Strict decimal integer parsing: an optional "+" or "-", then at least one
// digit 0-9 and nothing else (no blanks, no decimal point), within the range
// of the result type. Anything else gives nullopt; nothing throws.
#include <cstdint>
#include <optional>
#include <string_view>

namespace hexora {

std::optional<std::int64_t> parseInt64(std::string_view text) noexcept;
std::optional<std::int32_t> parseInt32(std::string_view text) noexcept;

}  // namespace hexora
