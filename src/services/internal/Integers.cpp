#include "services/internal/Integers.hpp"

#include <charconv>

namespace hexora {
namespace {

template <typename Int>
std::optional<Int> parseStrict(std::string_view text) noexcept {
    // from_chars takes "-" but not "+"; a "+" is allowed only before a digit.
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (text.empty() || text.front() < '0' || text.front() > '9') return std::nullopt;
    }
    const std::size_t firstDigit = (!text.empty() && text.front() == '-') ? 1 : 0;
    if (text.size() <= firstDigit || text[firstDigit] < '0' || text[firstDigit] > '9') return std::nullopt;
    Int value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 10);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

}  // namespace

std::optional<std::int64_t> parseInt64(std::string_view text) noexcept { return parseStrict<std::int64_t>(text); }

std::optional<std::int32_t> parseInt32(std::string_view text) noexcept { return parseStrict<std::int32_t>(text); }

}  // namespace hexora
