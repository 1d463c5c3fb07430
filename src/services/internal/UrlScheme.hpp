#pragma once
// What an opened URL is: a text that begins with a scheme and ":" (RFC 3986:
// a letter, then letters, digits, "+", "-" or "."). Nothing after the ":" is
// judged: "hexoramac://join/1", "hexoramac:join/1", "hexoramac:/join/1" and
// "hexoramac:join/{a b}%zz" are all URLs of the scheme "hexoramac". The one
// rule for the launcher's command line and the opened-URL hand-off, so that
// what the shell hands over is what the hand-off can read.
//
// Thread: any. Pure.
#include <optional>
#include <string>
#include <string_view>

namespace hexora {

/// The scheme of `text` in lower case (schemes are case-insensitive), or
/// nullopt when `text` does not begin with a scheme and ":".
std::optional<std::string> urlScheme(std::string_view text);

}  // namespace hexora
