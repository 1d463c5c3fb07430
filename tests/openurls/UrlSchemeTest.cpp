// The launcher's one rule for what an opened URL is: a scheme (a letter, then
// letters, digits, "+", "-", ".") and ":", whatever follows.
#include "services/internal/UrlScheme.hpp"

#include <gtest/gtest.h>

namespace hexora {
namespace {

TEST(UrlSchemeTest, SchemeIsTheLeadingNameBeforeTheFirstColonInLowerCase) {
    struct Case {
        const char* text;
        const char* scheme;  // nullptr: no URL
    };
    const Case cases[] = {
        {"hexoramac://join/123", "hexoramac"},
        {"hexoramac:join/123", "hexoramac"},
        {"hexoramac:/join/123", "hexoramac"},
        {"HEXORAMAC:join", "hexoramac"},
        {"com.tarq.hexora:x", "com.tarq.hexora"},
        {"www.hexora-game.com://x", "www.hexora-game.com"},
        {"a+b-c.d9:x", "a+b-c.d9"},
        {"x:", "x"},
        {"hexoramac://join/a b{c}%zz\n", "hexoramac"},  // the rest is not judged
        {"hexoramac:join:7", "hexoramac"},
        {"https://host:443/", "https"},
        {"", nullptr},
        {"hexoramac", nullptr},
        {":join", nullptr},
        {"1x:join", nullptr},
        {"+x:join", nullptr},
        {" hexoramac:join", nullptr},
        {"hexora mac:join", nullptr},
        {"hexora_mac:join", nullptr},
        {"hexora/mac:join", nullptr},
        {"h\xc3\xa9xora:join", nullptr},  // only ASCII letters
        {"/path/with:colon", nullptr},
        {"4242", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const auto scheme = urlScheme(c.text);
        if (c.scheme) {
            EXPECT_EQ(scheme, std::optional<std::string>(c.scheme));
        } else {
            EXPECT_EQ(scheme, std::nullopt);
        }
    }
}

}  // namespace
}  // namespace hexora
