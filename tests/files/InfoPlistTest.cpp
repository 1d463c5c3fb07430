#include "platform/InfoPlist.hpp"

#include "support/TempDir.hpp"

#include <gtest/gtest.h>

namespace hexora {
namespace {
namespace fs = std::filesystem;

const char* const XmlPlist = R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0">
<dict>
	<key>CFBundleIdentifier</key>
	<string>com.tarq.hexora.mac.game</string>
	<key>CFBundleShortVersionString</key>
	<string>2.3.4</string>
	<key>CFBundleName</key>
	<string>H&#233;xora &lt;&amp;&gt; ゲーム</string>
	<key>CFBundleVersion</key>
	<integer>17</integer>
	<key>LSFlags</key>
	<array><integer>1</integer><integer>2</integer></array>
</dict>
</plist>
)";

// The binary fixture holds the same dictionary, written by another plist writer.
TEST(InfoPlistTest, ReadsXmlAndBinaryDictionaries) {
    test::TempDir dir;
    const struct {
        const char* label;
        fs::path path;
        std::string name;
    } cases[] = {
        {"XML", dir.write("Info.plist", XmlPlist), "H\xC3\xA9xora <&> ゲーム"},
        {"binary", fs::path(HEXORA_TEST_DATA_DIR) / "infoplist/binary.plist", "H\xC3\xA9xora ゲーム"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const auto plist = platform::InfoPlist::read(c.path);
        ASSERT_TRUE(plist.has_value());
        EXPECT_EQ(plist->text("CFBundleIdentifier"), std::optional<std::string>("com.tarq.hexora.mac.game"));
        EXPECT_EQ(plist->text("CFBundleShortVersionString"), std::optional<std::string>("2.3.4"));
        EXPECT_EQ(plist->text("CFBundleName"), std::optional<std::string>(c.name));
        // Present values of other types are there but are no texts.
        EXPECT_TRUE(plist->contains("CFBundleVersion"));
        EXPECT_EQ(plist->text("CFBundleVersion"), std::nullopt);
        EXPECT_TRUE(plist->contains("LSFlags"));
        EXPECT_FALSE(plist->contains("CFBundleExecutable"));
        EXPECT_EQ(plist->text("CFBundleExecutable"), std::nullopt);
    }
}

TEST(InfoPlistTest, AnythingButADictionaryIsNotRead) {
    test::TempDir dir;
    fs::create_directories(dir / "Folder.plist");
    const struct {
        const char* label;
        fs::path path;
    } cases[] = {
        {"missing", dir / "missing.plist"},
        {"folder", dir / "Folder.plist"},
        {"empty", dir.write("empty.plist", "")},
        {"garbage", dir.write("garbage.plist", "not a property list \x01\x02")},
        {"truncated binary", dir.write("cut.plist", std::string("bplist00\xd5\x01\x02", 11))},
        {"truncated XML", dir.write("cut.xml", std::string(XmlPlist).substr(0, 200))},
        {"root is an array", dir.write("array.plist", "<plist version=\"1.0\"><array><string>a</string></array></plist>")},
        {"root is a text", dir.write("text.plist", "<plist version=\"1.0\"><string>a</string></plist>")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_FALSE(platform::InfoPlist::read(c.path).has_value());
    }
}

}  // namespace
}  // namespace hexora
