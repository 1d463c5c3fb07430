#include "services/api/ReplyText.hpp"

#include <gtest/gtest.h>

namespace hexora {
namespace {

TEST(ReplyText, DecodesByCharsetAndRefusesWhatDoesNotFit) {
    struct Case {
        std::string body, contentType;
        std::optional<std::string> text;
    };
    const std::vector<Case> cases = {
        {"plain", "text/plain", "plain"},
        {"caf\xc3\xa9", "", "caf\xc3\xa9"},
        {"caf\xe9", "", "caf\xc3\xa9"},  // not UTF-8 and no charset: ISO-8859-1
        {"caf\xe9", "text/plain; charset=\"iso-8859-1\"", "caf\xc3\xa9"},
        {"caf\xe9", "text/plain; charset=UTF-8", std::nullopt},
        {"caf\xc3\xa9", "text/csv;charset=utf-8; header=present", "caf\xc3\xa9"},
        {std::string("\xff\xfe" "a\0", 4), "text/plain; charset=utf-16", "a"},
        {"abc", "text/plain; charset=no-such-charset", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.contentType + " / " + c.body);
        EXPECT_EQ(ReplyText::decode(c.body, c.contentType), c.text);
    }
}

TEST(ReplyText, LossyUtf8ReplacesOnlyIllFormedSequences) {
    EXPECT_EQ(ReplyText::lossyUtf8("ok \xc3\xa9"), "ok \xc3\xa9");
    EXPECT_EQ(ReplyText::lossyUtf8("a\xff" "b"), "a\xef\xbf\xbd" "b");
    EXPECT_EQ(ReplyText::lossyUtf8("\xed\xa0\x80"), "\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd");  // an encoded surrogate
    EXPECT_EQ(ReplyText::lossyUtf8(std::string("a\0b", 3)), std::string("a\0b", 3));
}

TEST(ReplyText, TrimsUnicodeWhiteSpaceAndLineBreaks) {
    EXPECT_EQ(ReplyText::trimmed("  https://a/b \r\n"), "https://a/b");
    EXPECT_EQ(ReplyText::trimmed("\xc2\xa0\xe2\x80\xa8x y\xe3\x80\x80"), "x y");
    EXPECT_EQ(ReplyText::trimmed(" \t\n"), "");
    EXPECT_EQ(ReplyText::trimmed("\xff"), "\xff");
}

}  // namespace
}  // namespace hexora
