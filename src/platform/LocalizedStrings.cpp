#include "platform/LocalizedStrings.hpp"

#include <fstream>
#include <iterator>

namespace hexora::platform {
namespace {

constexpr std::string_view ByteOrderMark = "\xEF\xBB\xBF";

// A cursor over the text of a strings file.
class Reader {
public:
    explicit Reader(std::string_view text) : text_(text) {}

    bool atEnd() {
        skipBlanksAndComments();
        return at_ >= text_.size();
    }

    /// Skips blanks and comments, then expects `c`.
    bool expect(char c) {
        skipBlanksAndComments();
        if (at_ >= text_.size() || text_[at_] != c) return false;
        ++at_;
        return true;
    }

    /// A double-quoted text with its escapes resolved.
    std::optional<std::string> quoted() {
        if (!expect('"')) return std::nullopt;
        std::string value;
        while (at_ < text_.size()) {
            const char c = text_[at_++];
            if (c == '"') return value;
            if (c != '\\') {
                value += c;
                continue;
            }
            if (at_ >= text_.size()) return std::nullopt;
            const char escaped = text_[at_++];
            switch (escaped) {
            case 'n': value += '\n'; break;
            case 't': value += '\t'; break;
            case 'r': value += '\r'; break;
            default: value += escaped; break;  // \" \\ and any other character as itself
            }
        }
        return std::nullopt;  // not closed
    }

private:
    void skipBlanksAndComments() {
        while (at_ < text_.size()) {
            const char c = text_[at_];
            if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v') {
                ++at_;
            } else if (text_.substr(at_, 2) == "//") {
                const auto end = text_.find('\n', at_);
                at_ = end == std::string_view::npos ? text_.size() : end + 1;
            } else if (text_.substr(at_, 2) == "/*") {
                const auto end = text_.find("*/", at_ + 2);
                at_ = end == std::string_view::npos ? text_.size() : end + 2;
            } else {
                return;
            }
        }
    }

    std::string_view text_;
    std::size_t at_ = 0;
};

}  // namespace

std::optional<std::map<std::string, std::string>> parseStrings(std::string_view text) {
    if (text.starts_with(ByteOrderMark)) text.remove_prefix(ByteOrderMark.size());
    Reader reader(text);
    std::map<std::string, std::string> entries;
    while (!reader.atEnd()) {
        auto key = reader.quoted();
        if (!key || !reader.expect('=')) return std::nullopt;
        auto value = reader.quoted();
        if (!value || !reader.expect(';')) return std::nullopt;
        entries[std::move(*key)] = std::move(*value);
    }
    return entries;
}

std::string localizedString(const std::filesystem::path& bundle, const std::string& key) {
    std::ifstream in(bundle / "Contents" / "Resources" / "Localizable.strings", std::ios::binary);
    if (!in) return key;
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto entries = parseStrings(text);
    if (!entries) return key;
    const auto found = entries->find(key);
    return found == entries->end() ? key : found->second;
}

}  // namespace hexora::platform
