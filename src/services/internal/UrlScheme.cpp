#include "services/internal/UrlScheme.hpp"

namespace hexora {
namespace {

// Only ASCII counts: the C library's classification depends on the locale.
bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isSchemeCharacter(char c) { return isLetter(c) || isDigit(c) || c == '+' || c == '-' || c == '.'; }
char lowerCase(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

std::optional<std::string> urlScheme(std::string_view text) {
    const auto colon = text.find(':');
    if (colon == std::string_view::npos || colon == 0 || !isLetter(text.front())) return std::nullopt;
    std::string scheme;
    scheme.reserve(colon);
    for (const char c : text.substr(0, colon)) {
        if (!isSchemeCharacter(c)) return std::nullopt;
        scheme += lowerCase(c);
    }
    return scheme;
}

}  // namespace hexora
