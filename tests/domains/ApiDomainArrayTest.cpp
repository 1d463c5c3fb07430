#include "services/api/ApiDomainArray.hpp"

#include <gtest/gtest.h>

namespace hexora {
namespace {
const std::vector<std::string> twoDomains = {"https://a.example", "https://b.example"};
}

TEST(ApiDomainArray, NewListStartsAtTheFirstEntry) {
    ApiDomainArray list(twoDomains);
    EXPECT_EQ(list.length(), 2);
    EXPECT_EQ(list.currentIndex(), 0);
    EXPECT_EQ(list.currentUrl(), "https://a.example");
    EXPECT_EQ(list.urlAt(1), "https://b.example");
}

TEST(ApiDomainArray, IndexWritesAreClamped) {
    struct Case {
        std::int64_t stored;
        std::int64_t current;
    };
    const Case cases[] = {{0, 0}, {1, 1}, {2, 0}, {5, 0}, {-1, 0}, {INT64_MIN, 0}, {INT64_MAX, 0}};
    for (const auto& c : cases) {
        ApiDomainArray list(twoDomains);
        list.setCurrentIndex(1);
        list.setCurrentIndex(c.stored);
        EXPECT_EQ(list.currentIndex(), c.current) << c.stored;
    }
}

TEST(ApiDomainArray, NextIndexWrapsAndUrlAtStaysInside) {
    ApiDomainArray list({"https://a.example", "https://b.example", "https://c.example"});
    EXPECT_EQ(list.nextIndex(0), 1);
    EXPECT_EQ(list.nextIndex(2), 0);
    EXPECT_EQ(list.nextIndex(-1), 0);
    EXPECT_EQ(list.nextIndex(7), 2);
    EXPECT_EQ(list.nextIndex(INT64_MAX), (INT64_MAX % 3 + 1) % 3);
    EXPECT_EQ(list.urlAt(3), "");
    EXPECT_EQ(list.urlAt(-1), "");
}

TEST(ApiDomainArray, EmptyListGivesEmptyUrlAndIndexZero) {
    ApiDomainArray list({});
    EXPECT_EQ(list.length(), 0);
    EXPECT_EQ(list.urlAt(0), "");
    EXPECT_EQ(list.nextIndex(0), 0);
    list.setCurrentIndex(1);
    EXPECT_EQ(list.currentIndex(), 0);
    EXPECT_EQ(list.currentUrl(), "");
}

TEST(ApiDomainArray, ReplaceUrlsKeepsOrResetsTheIndex) {
    struct Case {
        const char* name;
        std::vector<std::string> replacement;
        std::int64_t length;
        std::int64_t index;
        std::string current;
    };
    const Case cases[] = {
        {"empty list ignored", {}, 2, 1, "https://b.example"},
        {"one entry resets", {"https://x.example"}, 1, 0, "https://x.example"},
        {"three entries keep", {"https://x.example", "https://y.example", "https://z.example"}, 3, 1,
         "https://y.example"},
        {"two entries keep", {"https://x.example", "https://y.example"}, 2, 1, "https://y.example"},
    };
    for (const auto& c : cases) {
        ApiDomainArray list(twoDomains);
        list.setCurrentIndex(1);
        list.replaceUrls(c.replacement);
        EXPECT_EQ(list.length(), c.length) << c.name;
        EXPECT_EQ(list.currentIndex(), c.index) << c.name;
        EXPECT_EQ(list.currentUrl(), c.current) << c.name;
        if (c.replacement.empty()) EXPECT_EQ(list.urls(), twoDomains) << c.name;
        else EXPECT_EQ(list.urls(), c.replacement) << c.name;
    }
}

}  // namespace hexora
