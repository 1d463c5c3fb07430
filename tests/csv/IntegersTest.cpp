#include "services/internal/Integers.hpp"

#include <gtest/gtest.h>

#include <optional>

namespace hexora {

TEST(Integers, StrictDecimalParsing) {
    struct Case {
        const char* text;
        std::optional<std::int64_t> value;
    };
    const Case cases[] = {
        {"15", 15},
        {"+15", 15},
        {"-15", -15},
        {"0", 0},
        {"-0", 0},
        {"007", 7},
        {"9223372036854775807", INT64_MAX},
        {"-9223372036854775808", INT64_MIN},
        {"9223372036854775808", std::nullopt},
        {"-9223372036854775809", std::nullopt},
        {" 15", std::nullopt},
        {"15 ", std::nullopt},
        {"", std::nullopt},
        {"+", std::nullopt},
        {"-", std::nullopt},
        {"+-5", std::nullopt},
        {"-+5", std::nullopt},
        {"++5", std::nullopt},
        {"1.5", std::nullopt},
        {"0x1F", std::nullopt},
        {"1e3", std::nullopt},
        {"١٢", std::nullopt},  // digits of another script
    };
    for (const auto& c : cases) EXPECT_EQ(parseInt64(c.text), c.value) << '"' << c.text << '"';
}

TEST(Integers, ThirtyTwoBitRange) {
    EXPECT_EQ(parseInt32("2147483647"), INT32_MAX);
    EXPECT_EQ(parseInt32("-2147483648"), INT32_MIN);
    EXPECT_EQ(parseInt32("2147483648"), std::nullopt);
    EXPECT_EQ(parseInt32("+4242"), 4242);
    EXPECT_EQ(parseInt32("42\n"), std::nullopt);
}

}  // namespace hexora
