#include "services/internal/Versions.hpp"

#include <gtest/gtest.h>

namespace hexora {

TEST(Versions, CompareVersion) {
    struct Case {
        const char* first;
        const char* second;
        int result;
    };
    const Case cases[] = {
        {"1.2", "1.10", 1},      // digit runs compare by value
        {"1.9", "1.10", 1},
        {"2.0", "1.9.9", -1},
        {"1.2.0", "1.2", 0},     // missing parts count as "0"
        {"1", "1.0.0", 0},
        {"1.0", "1", 0},
        {"7", "7", 0},
        {"", "", 0},
        {"", "0", 1},            // the empty text is one empty part, which orders before "0"
        {"1.2.3", "1.2.4", 1},
        {"1.2.4", "1.2.3", -1},
        {"10.0.0", "9.99.999", -1},
        {"1.01", "1.1", 0},      // equal digit runs
        {"1.2.3", "1.2.3", 0},
        {"1.0.0", "1.0.0.1", 1},
        {"1.0.0.1", "1.0.0", -1},
        {"1.2a", "1.2b", 1},     // characters after the digits
        {"1.2b", "1.2a", -1},
        {"1.A", "1.a", 1},       // case-sensitive: "A" orders before "a"
        {"99999999999999999999999", "100000000000000000000000", 1},  // beyond 64 bits
        {"12345", "12345", 0},   // texts without dots, such as process ids
        {"12345", "12346", 1},
        {"hexoramac", "HEXORAMAC", -1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(compareVersion(c.first, c.second), c.result) << '"' << c.first << "\" vs \"" << c.second << '"';
    }
}

TEST(Versions, CompareNumericOfSingleParts) {
    struct Case {
        const char* left;
        const char* right;
        int result;
    };
    const Case cases[] = {
        {"9", "10", -1}, {"10", "9", 1}, {"007", "7", 0}, {"a1", "a01", 0}, {"a2b", "a10b", -1},
        {"abc", "abd", -1}, {"ab", "abc", -1}, {"", "", 0}, {"", "0", -1}, {"x", "1", 1},
    };
    for (const auto& c : cases) EXPECT_EQ(compareNumeric(c.left, c.right), c.result) << c.left << " vs " << c.right;
}

TEST(Versions, IsVersionString) {
    struct Case {
        const char* text;
        bool valid;
    };
    const Case cases[] = {
        {"1.2.3", true},
        {"10.999.9999", true},
        {"1.999.9999", true},
        {"0.0.0", true},
        {"-1.0.0", true},       // the first part has no bound
        {"+1.+2.+3", true},     // an explicit plus sign is a number too
        {"123456789012.0.0", true},
        {"1.1000.1", false},
        {"1.1000.0", false},
        {"1.2.10000", false},
        {"1.-2.3", false},
        {"1.2.-3", false},
        {"1.2", false},
        {"1.2.3.4", false},
        {"1.2.x", false},
        {"", false},
        {"..", false},
        {"1..3", false},
        {"1.2.3.", false},
        {" 1.2.3", false},
        {"1.2.3 ", false},
        {"1.2.3a", false},
        {"1.+.3", false},
        {"99999999999999999999.0.0", false},  // beyond 64 bits
    };
    for (const auto& c : cases) EXPECT_EQ(isVersionString(c.text), c.valid) << '"' << c.text << '"';
}

}  // namespace hexora
