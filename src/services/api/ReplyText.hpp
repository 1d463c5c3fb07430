#pragma once
// Turning reply bodies into text.
#include <optional>
#include <string>
#include <string_view>

namespace hexora::ReplyText {

/// The body as text by the reply's charset (the "charset" of `contentType`):
/// UTF-8 when it names none and the bytes are UTF-8, ISO-8859-1 when it names
/// none and they are not. nullopt when the bytes are not valid in the named
/// charset or the charset is unknown.
std::optional<std::string> decode(std::string_view body, std::string_view contentType);

/// The bytes read as UTF-8, every ill-formed sequence replaced by U+FFFD.
std::string lossyUtf8(std::string_view bytes);

/// `text` without whitespace and line breaks at both ends.
std::string trimmed(std::string_view text);

}  // namespace hexora::ReplyText
