#include "services/internal/Versions.hpp"

#include "services/internal/Integers.hpp"

#include <vector>

namespace hexora {
namespace {

std::vector<std::string_view> splitAtDots(std::string_view text) {
    std::vector<std::string_view> parts;
    while (true) {
        const auto dot = text.find('.');
        parts.push_back(text.substr(0, dot));
        if (dot == std::string_view::npos) return parts;
        text.remove_prefix(dot + 1);
    }
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

/// The digit run starting at `at`, without its leading zeros; `at` moves past the run.
std::string_view digitRun(std::string_view text, std::size_t& at) {
    const std::size_t start = at;
    while (at < text.size() && isDigit(text[at])) ++at;
    std::string_view run = text.substr(start, at - start);
    while (run.size() > 1 && run.front() == '0') run.remove_prefix(1);
    return run;
}

}  // namespace

bool isVersionString(std::string_view text) {
    if (text.empty()) return false;
    const auto parts = splitAtDots(text);
    if (parts.size() != 3) return false;
    const auto major = parseInt64(parts[0]);
    const auto minor = parseInt64(parts[1]);
    const auto patch = parseInt64(parts[2]);
    if (!major || !minor || !patch) return false;
    return *minor >= 0 && *minor <= 999 && *patch >= 0 && *patch <= 9999;
}

int compareNumeric(std::string_view left, std::string_view right) {
    std::size_t l = 0;
    std::size_t r = 0;
    while (l < left.size() && r < right.size()) {
        if (isDigit(left[l]) && isDigit(right[r])) {
            const auto a = digitRun(left, l);
            const auto b = digitRun(right, r);
            if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
            if (const int order = a.compare(b); order != 0) return order < 0 ? -1 : 1;
            continue;
        }
        const auto a = static_cast<unsigned char>(left[l++]);
        const auto b = static_cast<unsigned char>(right[r++]);
        if (a != b) return a < b ? -1 : 1;
    }
    if (l < left.size()) return 1;
    if (r < right.size()) return -1;
    return 0;
}

int compareVersion(std::string_view first, std::string_view second) {
    auto firstParts = splitAtDots(first);
    auto secondParts = splitAtDots(second);
    while (firstParts.size() < secondParts.size()) firstParts.emplace_back("0");
    while (secondParts.size() < firstParts.size()) secondParts.emplace_back("0");
    for (std::size_t i = 0; i < firstParts.size(); ++i) {
        if (const int order = compareNumeric(secondParts[i], firstParts[i]); order != 0) return order;
    }
    return 0;
}

}  // namespace hexora
