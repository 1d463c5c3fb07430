#include "services/file/PlayerPrefsHelper.hpp"

#include "platform/PreferenceStore.hpp"

#include <openssl/evp.h>
#include <unicode/unistr.h>

#include <climits>
#include <vector>

namespace hexora::PlayerPrefsHelper {
namespace {
bool isBase64Letter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '/';
}

// Bytes as UTF-8 text, each ill-formed sequence replaced by U+FFFD.
std::string asUtf8Text(const std::string& bytes) {
    std::string text;
    icu::UnicodeString::fromUTF8(bytes).toUTF8String(text);
    return text;
}
}  // namespace

std::string base64Encode(const std::string& bytes) {
    if (bytes.empty()) return "";
    if (bytes.size() > static_cast<std::size_t>(INT_MAX / 4 * 3 - 3)) return "";
    std::vector<unsigned char> out(4 * ((bytes.size() + 2) / 3) + 1);
    const int length = EVP_EncodeBlock(out.data(), reinterpret_cast<const unsigned char*>(bytes.data()),
                                       static_cast<int>(bytes.size()));
    return std::string(reinterpret_cast<const char*>(out.data()), static_cast<std::size_t>(length));
}

std::optional<std::string> base64Decode(const std::string& text) {
    if (text.empty()) return std::string();
    if (text.size() % 4 != 0 || text.size() > static_cast<std::size_t>(INT_MAX)) return std::nullopt;
    std::size_t padding = 0;
    if (text.back() == '=') padding = text[text.size() - 2] == '=' ? 2 : 1;
    for (std::size_t i = 0; i < text.size() - padding; ++i) {
        if (!isBase64Letter(text[i])) return std::nullopt;
    }
    std::vector<unsigned char> out(text.size() / 4 * 3);
    const int length = EVP_DecodeBlock(out.data(), reinterpret_cast<const unsigned char*>(text.data()),
                                       static_cast<int>(text.size()));
    if (length < 0 || static_cast<std::size_t>(length) < padding) return std::nullopt;
    return std::string(reinterpret_cast<const char*>(out.data()), static_cast<std::size_t>(length) - padding);
}

std::optional<Agent::Encoding> Agent::encodingFromRaw(int raw) {
    switch (raw) {
    case 0: return Encoding::None;
    case 1: return Encoding::Base64;
    default: return std::nullopt;
    }
}

Agent::Agent(std::string suiteName, Encoding encoding) : suiteName_(std::move(suiteName)), encoding_(encoding) {}

std::string Agent::encoded(const std::string& text) const {
    return encoding_ == Encoding::Base64 ? base64Encode(text) : text;
}

std::string Agent::getString(const std::string& key) const {
    const auto suite = platform::PreferenceStore::current()->open(suiteName_);
    if (!suite) return "";
    const std::string stored = suite->stringForKey(encoded(key)).value_or("");
    if (encoding_ == Encoding::None) return stored;
    const auto decoded = base64Decode(stored);
    if (!decoded) return stored;
    return asUtf8Text(*decoded);
}

void Agent::setString(const std::string& key, const std::string& value) const {
    const auto suite = platform::PreferenceStore::current()->open(suiteName_);
    if (!suite) return;
    suite->setString(encoded(key), encoded(value));
}

const Agent& agent() {
    static const Agent shared(GameSuiteName, Agent::Encoding::Base64);
    return shared;
}

}  // namespace hexora::PlayerPrefsHelper
