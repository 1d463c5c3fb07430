#include "services/internal/Dates.hpp"
#include "support/ScopedEnv.hpp"

#include <gtest/gtest.h>
#include <unicode/locid.h>

namespace hexora {
using namespace std::chrono;

namespace {
// 2024-03-05 07:08:09.123 UTC
const Date sample = sys_days(year(2024) / 3 / 5) + hours(7) + minutes(8) + seconds(9) + milliseconds(123);
}  // namespace

TEST(Dates, FormatInExplicitZones) {
    struct Case {
        const char* zone;
        const char* format;
        const char* text;
    };
    const Case cases[] = {
        {"UTC", "yyyy-MM-dd'T'HH:mm:ss.SSS", "2024-03-05T07:08:09.123"},
        {"UTC", "MM/dd/yyyy HH:mm:ss", "03/05/2024 07:08:09"},
        {"UTC", "yyyy-MM-dd HH:mm:ss", "2024-03-05 07:08:09"},
        {"Asia/Tokyo", "yyyy-MM-dd HH:mm:ss", "2024-03-05 16:08:09"},
        {"America/New_York", "MM/dd/yyyy HH:mm:ss", "03/05/2024 02:08:09"},
        {"Asia/Kolkata", "HH:mm", "12:38"},
    };
    for (const auto& c : cases) EXPECT_EQ(formatDate(sample, c.zone, c.format), c.text) << c.zone << " " << c.format;
}

TEST(Dates, SummerTimeOfTheNamedZoneApplies) {
    const Date july = sys_days(year(2024) / 7 / 1) + hours(12);
    EXPECT_EQ(formatDate(july, "America/New_York", "HH:mm"), "08:00");
    EXPECT_EQ(formatDate(july, "Europe/Berlin", "HH:mm"), "14:00");
}

TEST(Dates, GregorianYearsAndAsciiDigitsWhateverTheUserLocale) {
    // A user locale with another calendar or other digits must not leak into
    // time stamps that servers read.
    const icu::Locale previous = icu::Locale::getDefault();
    for (const char* locale : {"th_TH@calendar=buddhist", "ar_EG", "ja_JP@calendar=japanese"}) {
        UErrorCode status = U_ZERO_ERROR;
        icu::Locale::setDefault(icu::Locale(locale), status);
        EXPECT_EQ(formatDate(sample, "UTC", "yyyy-MM-dd HH:mm:ss"), "2024-03-05 07:08:09") << locale;
        EXPECT_EQ(parseDate("2024-03-05 07:08:09", "yyyy-MM-dd HH:mm:ss", "UTC"),
                  sample - milliseconds(123)) << locale;
    }
    UErrorCode status = U_ZERO_ERROR;
    icu::Locale::setDefault(previous, status);
}

TEST(Dates, ParseInExplicitZones) {
    const Date noonUtc = sys_days(year(2024) / 6 / 1) + hours(12);
    EXPECT_EQ(parseDate("2024-06-01 12:00:00", "yyyy-MM-dd HH:mm:ss", "UTC"), noonUtc);
    EXPECT_EQ(parseDate("2024-06-01 21:00:00", "yyyy-MM-dd HH:mm:ss", "Asia/Tokyo"), noonUtc);
    EXPECT_EQ(parseDate("2024-03-05T07:08:09.123", "yyyy-MM-dd'T'HH:mm:ss.SSS", "UTC"), sample);
}

TEST(Dates, TextsThatDoNotMatchTheFormatAreAbsent) {
    const char* texts[] = {
        "", "2024-06-01", "2024-06-01 12:00:00 trailing", "2024/06/01 12:00:00", "2024-13-01 12:00:00",
        "2024-02-30 12:00:00", "2024-06-01 25:00:00", "garbage",
    };
    for (const char* text : texts) EXPECT_FALSE(parseDate(text, "yyyy-MM-dd HH:mm:ss", "UTC")) << text;
}

TEST(Dates, UnknownZoneMeansTheSystemZone) {
    test::ScopedEnv tz("TZ", "Asia/Kolkata");
    EXPECT_EQ(systemTimeZoneId(), "Asia/Kolkata");
    EXPECT_EQ(formatDate(sample, "Mars/Olympus_Mons", "HH:mm"), "12:38");
    EXPECT_EQ(formatDate(sample, "", "HH:mm"), "12:38");
    EXPECT_EQ(parseDate("12:38", "HH:mm", "Mars/Olympus_Mons"), sys_days(year(1970) / 1 / 1) + hours(7) + minutes(8));
}

TEST(Dates, LocalDateUsesTheSystemZone) {
    {
        test::ScopedEnv tz("TZ", "Asia/Tokyo");
        EXPECT_EQ(formatLocalDate(sample, "yyyy-MM-dd HH:mm:ss"), "2024-03-05 16:08:09");
    }
    {
        test::ScopedEnv tz("TZ", "UTC");
        EXPECT_EQ(formatLocalDate(sample, "yyyy-MM-dd HH:mm:ss"), "2024-03-05 07:08:09");
    }
}

TEST(Dates, ParseThenFormatInAnotherZone) {
    // How the maintenance window reaches the user: parsed in UTC, shown locally.
    test::ScopedEnv tz("TZ", "Asia/Tokyo");
    const auto start = parseDate("2024-12-31 20:30:00", "yyyy-MM-dd HH:mm:ss", "UTC");
    ASSERT_TRUE(start);
    EXPECT_EQ(formatLocalDate(*start, "yyyy-MM-dd HH:mm:ss"), "2025-01-01 05:30:00");
}

}  // namespace hexora
