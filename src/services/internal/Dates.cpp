#include "services/internal/Dates.hpp"

#include <unicode/locid.h>
#include <unicode/smpdtfmt.h>
#include <unicode/timezone.h>
#include <unicode/unistr.h>

#include <cmath>
#include <memory>
#include <mutex>

namespace hexora {
namespace {

// Looking up the host zone reads TZ and shared buffers inside the library,
// so one thread at a time.
std::unique_ptr<icu::TimeZone> systemZone() {
    static std::mutex mutex;
    std::lock_guard lock(mutex);
    return std::unique_ptr<icu::TimeZone>(icu::TimeZone::detectHostTimeZone());
}

std::unique_ptr<icu::TimeZone> zoneNamed(const std::string& identifier) {
    std::unique_ptr<icu::TimeZone> zone(icu::TimeZone::createTimeZone(icu::UnicodeString::fromUTF8(identifier)));
    if (!zone || *zone == icu::TimeZone::getUnknown()) return systemZone();
    return zone;
}

/// A formatter with the fixed pattern, a fixed locale (Gregorian calendar,
/// ASCII digits) and strict parsing; null when the pattern is unusable.
std::unique_ptr<icu::SimpleDateFormat> formatter(const std::string& format, std::unique_ptr<icu::TimeZone> zone) {
    UErrorCode status = U_ZERO_ERROR;
    auto result = std::make_unique<icu::SimpleDateFormat>(icu::UnicodeString::fromUTF8(format),
                                                          icu::Locale("en_US_POSIX"), status);
    if (U_FAILURE(status)) return nullptr;
    result->setLenient(false);
    if (zone) result->adoptTimeZone(zone.release());
    return result;
}

UDate toUDate(Date date) {
    using namespace std::chrono;
    return static_cast<UDate>(floor<milliseconds>(date).time_since_epoch().count());
}

std::string format(Date date, std::unique_ptr<icu::TimeZone> zone, const std::string& pattern) {
    auto dateFormat = formatter(pattern, std::move(zone));
    if (!dateFormat) return {};
    icu::UnicodeString text;
    dateFormat->format(toUDate(date), text);
    std::string result;
    text.toUTF8String(result);
    return result;
}

}  // namespace

std::string formatDate(Date date, const std::string& timeZone, const std::string& format) {
    return hexora::format(date, zoneNamed(timeZone), format);
}

std::string formatLocalDate(Date date, const std::string& format) {
    return hexora::format(date, systemZone(), format);
}

std::optional<Date> parseDate(const std::string& text, const std::string& format, const std::string& timeZone) {
    auto dateFormat = formatter(format, zoneNamed(timeZone));
    if (!dateFormat) return std::nullopt;
    const auto unicodeText = icu::UnicodeString::fromUTF8(text);
    icu::ParsePosition position(0);
    const UDate parsed = dateFormat->parse(unicodeText, position);
    if (position.getErrorIndex() >= 0 || position.getIndex() != unicodeText.length() || !std::isfinite(parsed)) {
        return std::nullopt;
    }
    using namespace std::chrono;
    return Date(duration_cast<Date::duration>(milliseconds(static_cast<long long>(parsed))));
}

std::string systemTimeZoneId() {
    icu::UnicodeString id;
    systemZone()->getID(id);
    std::string result;
    id.toUTF8String(result);
    return result;
}

}  // namespace hexora
