#include "services/api/ReplyText.hpp"

#include <unicode/uchar.h>
#include <unicode/ucnv.h>
#include <unicode/utf8.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <vector>

namespace hexora::ReplyText {
namespace {
std::string lowered(std::string_view text) {
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return result;
}

// The charset parameter of a Content-Type value, lower-cased and unquoted; "" when none.
std::string charsetOf(std::string_view contentType) {
    const std::string lower = lowered(contentType);
    auto at = lower.find("charset=");
    if (at == std::string::npos) return "";
    std::string value = lower.substr(at + 8);
    value = value.substr(0, value.find(';'));
    value = trimmed(value);
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
    return value;
}

bool isUtf8(std::string_view bytes) { return lossyUtf8(bytes) == bytes; }

// Strict conversion from `charset` to UTF-8: nullopt on an unknown charset or invalid bytes.
std::optional<std::string> convert(std::string_view bytes, const std::string& charset) {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<UConverter, decltype(&ucnv_close)> converter(ucnv_open(charset.c_str(), &status), &ucnv_close);
    if (U_FAILURE(status)) return std::nullopt;
    ucnv_setToUCallBack(converter.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    std::vector<UChar> units(bytes.size() * 2 + 2);
    const int32_t length = ucnv_toUChars(converter.get(), units.data(), static_cast<int32_t>(units.size()), bytes.data(),
                                         static_cast<int32_t>(bytes.size()), &status);
    if (U_FAILURE(status)) return std::nullopt;
    std::string text;
    icu::UnicodeString(units.data(), length).toUTF8String(text);
    return text;
}
}  // namespace

std::optional<std::string> decode(std::string_view body, std::string_view contentType) {
    const std::string charset = charsetOf(contentType);
    if (charset.empty()) {
        if (isUtf8(body)) return std::string(body);
        return convert(body, "ISO-8859-1");
    }
    if (charset == "utf-8" || charset == "utf8") {
        if (isUtf8(body)) return std::string(body);
        return std::nullopt;
    }
    return convert(body, charset);
}

std::string lossyUtf8(std::string_view bytes) {
    std::string text;
    icu::UnicodeString::fromUTF8(icu::StringPiece(bytes.data(), static_cast<int32_t>(bytes.size()))).toUTF8String(text);
    return text;
}

std::string trimmed(std::string_view text) {
    // Byte offsets of the first and past the last code point that is not white space
    // (Unicode's White_Space, which includes the line breaks).
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    const auto length = static_cast<int32_t>(text.size());
    int32_t begin = length, end = 0;
    for (int32_t at = 0; at < length;) {
        const int32_t start = at;
        UChar32 c;
        U8_NEXT(bytes, at, length, c);
        if (c < 0 || !u_isUWhiteSpace(c)) {
            begin = std::min(begin, start);
            end = at;
        }
    }
    return begin < end ? std::string(text.substr(begin, end - begin)) : std::string();
}

}  // namespace hexora::ReplyText
