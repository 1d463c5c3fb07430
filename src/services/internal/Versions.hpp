#pragma once
// Version texts: dot-separated parts such as "1.2.3".
//
// Thread: any thread; pure functions.
#include <string_view>

namespace hexora {

/// True for exactly three dot-separated decimal integers (optional sign, 64-bit
/// range) whose second part is 0..999 and third part 0..9999; the first part
/// has no bound. "1.2.3" and "-1.0.0" pass; "1.2", "1.1000.0", "1.-2.3" fail.
bool isVersionString(std::string_view text);

/// Compares part by part after padding the shorter text with "0" parts; digit
/// runs compare by value, everything else character by character (case-
/// sensitive). 1 when `first` is the lower version, -1 when it is the higher,
/// 0 when equal ("1.0", "1" and "1.0.0" are equal; "1.10" is above "1.9").
/// Callers also use a non-zero result as "these texts differ".
int compareVersion(std::string_view first, std::string_view second);

/// The ordering of two single parts: -1, 0 or 1 as `left` sorts before, with
/// or after `right` under the rule above.
int compareNumeric(std::string_view left, std::string_view right);

}  // namespace hexora
