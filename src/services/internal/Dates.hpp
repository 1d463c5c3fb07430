#pragma once
// Dates as text, with fixed format patterns and explicit time zones. Patterns
// are the usual date-format patterns ("yyyy-MM-dd'T'HH:mm:ss.SSS",
// "MM/dd/yyyy HH:mm:ss", "yyyy-MM-dd HH:mm:ss", ...), always written and read
// with the Gregorian calendar and ASCII digits whatever the user's locale.
// Time zones are tz database identifiers ("UTC", "Asia/Tokyo"); an identifier
// the tz database does not know means the system zone, without any failure.
//
// Thread: any thread. Nothing here throws.
#include <chrono>
#include <optional>
#include <string>

namespace hexora {

using Date = std::chrono::system_clock::time_point;

/// `date` written with `format` in the zone `timeZone` (milliseconds precision).
std::string formatDate(Date date, const std::string& timeZone, const std::string& format);

/// The date that `text` spells in `format` and zone `timeZone`; nullopt unless
/// the whole text matches the format.
std::optional<Date> parseDate(const std::string& text, const std::string& format, const std::string& timeZone);

/// `date` written with `format` in the system zone.
std::string formatLocalDate(Date date, const std::string& format);

/// The identifier of the system zone, as the tz database names it (TZ when set,
/// else /etc/localtime).
std::string systemTimeZoneId();

}  // namespace hexora
