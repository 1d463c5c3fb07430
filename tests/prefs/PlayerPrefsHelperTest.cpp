#include "services/file/PlayerPrefsHelper.hpp"
#include "support/FakePreferenceStore.hpp"

#include <gtest/gtest.h>

namespace hexora::PlayerPrefsHelper {
namespace {

std::string repeatedText(const std::string& piece, int times) {
    std::string text;
    for (int i = 0; i < times; ++i) text += piece;
    return text;
}

TEST(PlayerPrefsCodec, EncodesStandardPaddedBase64) {
    struct Case {
        std::string bytes;
        std::string text;
    };
    const Case cases[] = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"LAUNCHER_PROC_ID", "TEFVTkNIRVJfUFJPQ19JRA=="},
        {"4242", "NDI0Mg=="},
        {std::string("\xFB\xFF\x00", 3), "+/8A"},
        // Long input gets no line breaks.
        {std::string(100, 'x'), repeatedText("eHh4", 33) + "eA=="},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(base64Encode(c.bytes), c.text) << c.bytes;
        EXPECT_EQ(base64Decode(c.text), c.bytes) << c.text;
    }
}

TEST(PlayerPrefsCodec, DecodesStrictly) {
    struct Case {
        std::string text;
        std::optional<std::string> bytes;
    };
    const Case cases[] = {
        {"", std::string()},
        {"Zg==", "f"},
        {"Zm8=", "fo"},
        {"+/8A", std::string("\xFB\xFF\x00", 3)},
        {"123", std::nullopt},
        {"Zg=", std::nullopt},
        {"Zg", std::nullopt},
        {"Zg==\n", std::nullopt},
        {" Zg==", std::nullopt},
        {"Z g=", std::nullopt},
        {"Z===", std::nullopt},
        {"=Zg=", std::nullopt},
        {"Zg==Zg==", std::nullopt},
        {"Zm-_", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(base64Decode(c.text), c.bytes) << c.text;
}

TEST(PlayerPrefsAgent, EncodingRawValues) {
    EXPECT_EQ(Agent::encodingFromRaw(0), Agent::Encoding::None);
    EXPECT_EQ(Agent::encodingFromRaw(1), Agent::Encoding::Base64);
    EXPECT_EQ(Agent::encodingFromRaw(2), std::nullopt);
    EXPECT_EQ(Agent::encodingFromRaw(-1), std::nullopt);
}

TEST(PlayerPrefsAgent, SharedAgentIsTheGameSuiteWithBase64) {
    EXPECT_EQ(agent().suiteName(), "com.tarq.hexora.mac.game");
    EXPECT_EQ(agent().encoding(), Agent::Encoding::Base64);
    EXPECT_EQ(&agent(), &agent());
}

TEST(PlayerPrefsAgent, StoresKeyAndValueAsBase64AndReadsThemBack) {
    test::ScopedPreferenceStore scoped;
    agent().setString("LAUNCHER_PROC_ID", "4242");
    const auto entries = scoped->entries(GameSuiteName);
    EXPECT_EQ(entries, (std::map<std::string, std::string>{{"TEFVTkNIRVJfUFJPQ19JRA==", "NDI0Mg=="}}));
    EXPECT_EQ(agent().getString("LAUNCHER_PROC_ID"), "4242");
    EXPECT_EQ(agent().getString("NEVER_WRITTEN"), "");
}

TEST(PlayerPrefsAgent, ReadsWhatOtherWritersStored) {
    test::ScopedPreferenceStore scoped;
    auto& store = *scoped;
    const auto put = [&](const std::string& key, const std::string& raw) {
        store.put(GameSuiteName, base64Encode(key), raw);
    };
    put("PLAIN", "123");                                  // not Base64: as stored
    put("EMPTY", "");                                     // empty decodes to empty
    put("NOT_UTF8", base64Encode("a\xFF" "b"));           // replacement character
    put("UNICODE", base64Encode("h\u00E9llo \u65E5"));
    put("HYPHENS", "ab-c");                                // URL-safe alphabet is not Base64
    EXPECT_EQ(agent().getString("PLAIN"), "123");
    EXPECT_EQ(agent().getString("EMPTY"), "");
    EXPECT_EQ(agent().getString("NOT_UTF8"), "a\xEF\xBF\xBD" "b");
    EXPECT_EQ(agent().getString("UNICODE"), "h\u00E9llo \u65E5");
    EXPECT_EQ(agent().getString("HYPHENS"), "ab-c");
    // Keys are looked up encoded: a plain key is not found.
    store.put(GameSuiteName, "RAWKEY", base64Encode("x"));
    EXPECT_EQ(agent().getString("RAWKEY"), "");
}

TEST(PlayerPrefsAgent, SuiteThatCannotBeOpenedReadsEmptyAndDropsWrites) {
    test::ScopedPreferenceStore scoped;
    scoped->put(GameSuiteName, base64Encode("GUID"), base64Encode("kept"));
    scoped->setUnopenable(GameSuiteName);
    EXPECT_EQ(agent().getString("GUID"), "");
    agent().setString("GUID", "new");
    EXPECT_EQ(scoped->writes(), 0);
    scoped->setUnopenable(GameSuiteName, false);
    EXPECT_EQ(agent().getString("GUID"), "kept");
}

TEST(PlayerPrefsAgent, WithoutEncodingKeysAndValuesAreStoredAsTheyAre) {
    test::ScopedPreferenceStore scoped;
    const Agent plain("com.example.plain", Agent::Encoding::None);
    plain.setString("k", "Zg==");
    EXPECT_EQ(scoped->entries("com.example.plain"), (std::map<std::string, std::string>{{"k", "Zg=="}}));
    EXPECT_EQ(plain.getString("k"), "Zg==");
}

}  // namespace
}  // namespace hexora::PlayerPrefsHelper
