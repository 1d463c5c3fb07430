// The bundle's strings file, read for the install alert.
#include "platform/LocalizedStrings.hpp"
#include "support/TempDir.hpp"

#include <gtest/gtest.h>

namespace hexora {
namespace {

using platform::localizedString;
using platform::parseStrings;

TEST(LocalizedStrings, ReadsQuotedEntriesWithEscapesAndComments) {
    const auto entries = parseStrings(
        "\xEF\xBB\xBF/* The install alert. */\n"
        "\"msg_mac_install\" = \"Please move the Hexora.app icon to the Applications folder.\";\n"
        "// a line comment\n"
        "\"quote\"=\"say \\\"hi\\\"\\nback\\\\slash\";  \"twice\" = \"first\"; \"twice\" = \"second\";\n");
    ASSERT_TRUE(entries);
    EXPECT_EQ(entries->at("msg_mac_install"), "Please move the Hexora.app icon to the Applications folder.");
    EXPECT_EQ(entries->at("quote"), "say \"hi\"\nback\\slash");
    EXPECT_EQ(entries->at("twice"), "second");
    EXPECT_EQ(entries->size(), 3u);
}

TEST(LocalizedStrings, RejectsBrokenText) {
    for (const char* text : {"\"a\" = \"b\"", "\"a\" \"b\";", "\"a\" = \"b;", "a = \"b\";", "\"a\" = ;"}) {
        EXPECT_FALSE(parseStrings(text)) << text;
    }
    EXPECT_TRUE(parseStrings("")->empty());
}

TEST(LocalizedStrings, MissingFileOrEntryGivesTheKey) {
    test::TempDir dir;
    const auto bundle = dir / "Launcher.app";
    EXPECT_EQ(localizedString(bundle, "msg_mac_install"), "msg_mac_install");

    dir.write("Launcher.app/Contents/Resources/Localizable.strings", "\"other\" = \"text\";\n");
    EXPECT_EQ(localizedString(bundle, "msg_mac_install"), "msg_mac_install");
    EXPECT_EQ(localizedString(bundle, "other"), "text");

    dir.write("Launcher.app/Contents/Resources/Localizable.strings", "\"other\" = \"text\"");
    EXPECT_EQ(localizedString(bundle, "other"), "other") << "a file that does not parse has no entries";
}

}  // namespace
}  // namespace hexora
