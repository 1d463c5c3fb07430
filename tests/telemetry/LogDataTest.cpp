#include "services/file/PlayerPrefsHelper.hpp"
#include "services/internal/DeviceInfo.hpp"
#include "services/rum/LogData.hpp"
#include "services/rum/RumApi.hpp"
#include "support/FakeDeviceFacts.hpp"
#include "support/FakePreferenceStore.hpp"
#include "support/LogCapture.hpp"
#include "support/RunState.hpp"

#include <gtest/gtest.h>
#include <unicode/brkiter.h>
#include <unicode/unistr.h>

#include <chrono>
#include <cmath>
#include <regex>

namespace hexora {
namespace {
using Rum::LogData;

std::string repeated(const std::string& piece, int times) {
    std::string text;
    for (int i = 0; i < times; ++i) text += piece;
    return text;
}

// Grapheme clusters of valid UTF-8 text; -1 when the text is not valid UTF-8.
int characterCount(const std::string& text) {
    std::string roundTrip;
    const icu::UnicodeString unicode = icu::UnicodeString::fromUTF8(text);
    unicode.toUTF8String(roundTrip);
    if (roundTrip != text) return -1;
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::BreakIterator> characters(
        icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    characters->setText(unicode);
    int count = 0;
    while (characters->next() != icu::BreakIterator::DONE) ++count;
    return count;
}

class LogDataTest : public test::RunStateFixture {
protected:
    test::ScopedPreferenceStore prefs;
    test::ScopedDeviceFacts device;
};

TEST_F(LogDataTest, FullRecordWritesEveryMemberInOrder) {
    LogData record("GStart", "launch", "Failed", "ERROR");
    record.TimeStamp = "2026-03-02T14:05:09.500";
    record.DeviceId = "DEV";
    record.Guid = "G-1";
    record.RawData = "{\"raw\":1}";
    record.addData("Type", "update").addData("Reason", "disk full").addData("Code", "7");

    EXPECT_EQ(record.encode().dump(),
              R"({"Sender":"Lnc","LogVer":"1.0.1","Platform":"mac","MajorType":"Launcher",)"
              R"("MinorType":"GStart","Event":"launch","EventState":"Failed",)"
              R"("TimeStamp":"2026-03-02T14:05:09.500","DeviceId":"DEV","Guid":"G-1","Type":"update",)"
              R"("LogLevel":"ERROR","Data":{"Reason":"disk full","Code":"7"},"RawData":"{\"raw\":1}"})");
}

TEST_F(LogDataTest, BareRecordWritesTheFixedMembersEvenWhenEmpty) {
    LogData record;
    record.TimeStamp = "T";
    EXPECT_EQ(record.encode().dump(),
              R"({"Sender":"Lnc","LogVer":"1.0.1","Platform":"mac","MajorType":"Launcher","MinorType":"",)"
              R"("Event":"","EventState":"","TimeStamp":"T","DeviceId":"","LogLevel":""})");
}

TEST_F(LogDataTest, TimeStampIsNowInUtcWithMilliseconds) {
    const auto before = std::chrono::system_clock::now();
    const LogData record("X", "e", "Start", "INFO");
    ASSERT_TRUE(std::regex_match(record.TimeStamp, std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3})")))
        << record.TimeStamp;
    std::tm parts{};
    ASSERT_TRUE(strptime(record.TimeStamp.c_str(), "%Y-%m-%dT%H:%M:%S", &parts));
    const auto stamped = std::chrono::system_clock::from_time_t(timegm(&parts));
    EXPECT_LE(std::chrono::abs(stamped - before), std::chrono::seconds(2));
}

TEST_F(LogDataTest, AddDataValueRules) {
    struct Case {
        const char* name;
        std::string value;
        std::optional<std::string> stored;
    };
    const Case cases[] = {
        {"blanks trimmed", " \t abc \t", "abc"},
        {"only blanks ignored", " \t  ", std::nullopt},
        {"empty ignored", "", std::nullopt},
        {"space, line feed, space stored empty", " \n ", ""},
        {"CRLF and LF removed", "a\r\nb\nc", "abc"},
        {"lone CR kept", "a\rb", "a\rb"},
        {"CR before CRLF kept", "a\r\r\nb", "a\rb"},
        {"line feeds are not trimmed, then removed", " \nx y\n ", "x y"},
        {"other horizontal spaces trimmed", "\u00A0\u3000x\u2003", "x"},
        {"inner blanks kept", "a  \t b", "a  \t b"},
    };
    for (const auto& c : cases) {
        LogData record;
        record.addData("k", c.value);
        EXPECT_EQ(record.dataValue("k"), c.stored) << c.name;
        EXPECT_EQ(record.Data.has_value(), c.stored.has_value()) << c.name;
    }
}

TEST_F(LogDataTest, FirstValuePerKeyWinsButAnIgnoredValueDoesNotClaimTheKey) {
    LogData record;
    record.addData("Url", "   ").addData("Url", "first").addData("Url", "second").addData("Other", "x");
    EXPECT_EQ(record.dataValue("Url"), "first");
    EXPECT_EQ(record.Data->dump(), R"({"Url":"first","Other":"x"})");
}

TEST_F(LogDataTest, TypeSetsTheTypeMemberAndNeverEntersData) {
    const std::string longType = repeated("t", 2500) + "\r\nend";
    LogData record;
    record.addData("Type", " first ").addData("Type", longType);
    EXPECT_EQ(record.aType, longType);  // last wins, whole, line breaks kept
    EXPECT_FALSE(record.Data.has_value());
    const auto json = record.encode();
    EXPECT_EQ(json["Type"], longType);
    EXPECT_FALSE(json.contains("Data"));

    LogData blankType;
    blankType.addData("Type", "  ");
    EXPECT_FALSE(blankType.encode().contains("Type"));
}

TEST_F(LogDataTest, LongValuesAreCutToTwoThousandCharacters) {
    const std::string combined = "e\u0301";         // e + combining acute: one character, three bytes
    const std::string family = "\U0001F468\u200D\U0001F469\u200D\U0001F467";  // one character, 18 bytes
    const std::string flag = "\U0001F1EF\U0001F1F5";  // one character, two code points
    struct Case {
        const char* name;
        std::string value;
        std::string stored;
    };
    const Case cases[] = {
        {"2500 ASCII", repeated("a", 2500), repeated("a", 2000)},
        {"exactly 2000 ASCII", repeated("b", 2000), repeated("b", 2000)},
        {"2000 three-byte characters kept whole", repeated("\u65E5", 2000), repeated("\u65E5", 2000)},
        {"2500 two-byte characters", repeated("\u00E9", 2500), repeated("\u00E9", 2000)},
        {"2500 combined characters", repeated(combined, 2500), repeated(combined, 2000)},
        {"mixed, cut after a whole cluster", repeated("x", 1999) + family + flag + "tail",
         repeated("x", 1999) + family},
        {"flags", repeated(flag, 2100), repeated(flag, 2000)},
        {"line feeds go before counting", repeated("c\n", 2000) + "d", repeated("c", 2000)},
    };
    for (const auto& c : cases) {
        LogData record;
        record.addData("Message", c.value);
        const auto stored = record.dataValue("Message");
        ASSERT_TRUE(stored) << c.name;
        EXPECT_EQ(*stored, c.stored) << c.name;
        EXPECT_EQ(characterCount(*stored), 2000) << c.name;
    }
}

TEST_F(LogDataTest, RecordWithoutPairsHasNoData) {
    EXPECT_FALSE(LogData("A", "b", "Start", "INFO").encode().contains("Data"));
}

// The game suite's "GUID" as the launcher stores it.
void storeGuid(test::FakePreferenceStore& store, const std::string& guid) {
    store.put(PlayerPrefsHelper::GameSuiteName, PlayerPrefsHelper::base64Encode("GUID"),
              PlayerPrefsHelper::base64Encode(guid));
}

TEST_F(LogDataTest, BeforeTheDeviceRecordExistsRecordsCarryTheGuid) {
    device->uuid = "0A1B2C3D-0000-1111-2222-333344445555";
    storeGuid(*prefs, "RUN-GUID-1");

    LogData("A", "before", "Start", "INFO").append();
    (void)DeviceInfo::shared();
    LogData("A", "after", "Start", "INFO").append();

    const auto records = Rum::Api::pendingRecords();
    ASSERT_EQ(records.size(), 2u);
    const auto before = records[0].encode();
    EXPECT_EQ(before["DeviceId"], "");
    EXPECT_EQ(before["Guid"], "RUN-GUID-1");
    const auto after = records[1].encode();
    EXPECT_EQ(after["DeviceId"], "0A1B2C3D-0000-1111-2222-333344445555");
    EXPECT_FALSE(after.contains("Guid"));
}

TEST_F(LogDataTest, WithoutAUsableDeviceIdTheGuidIsSentEvenWhenEmpty) {
    struct Case {
        const char* name;
        std::optional<std::string> uuid;
        std::optional<std::string> guid;
    };
    const Case cases[] = {
        {"no uuid, no guid", std::nullopt, std::nullopt},
        {"no uuid, a guid", std::nullopt, "G"},
        {"blank uuid", std::string(" \n\t"), "G2"},
    };
    for (const auto& c : cases) {
        test::ScopedPreferenceStore store;
        test::ScopedDeviceFacts facts;
        facts->uuid = c.uuid;
        if (c.guid) storeGuid(*store, *c.guid);
        (void)DeviceInfo::shared();
        LogData record("A", "e", "Info", "INFO");
        record.DeviceId = "stale";
        record.append();
        const auto taken = Rum::Api::takePendingRecords();
        ASSERT_EQ(taken.size(), 1u) << c.name;
        const auto json = taken[0].encode();
        EXPECT_EQ(json["DeviceId"], "") << c.name;
        EXPECT_EQ(json["Guid"], c.guid.value_or("")) << c.name;
    }
}

TEST_F(LogDataTest, AppendLogsTheOneRecordBatch) {
    test::LogCapture log;
    LogData record("LBoot", "start", "Start", "INFO");
    record.addData("Key", "value");
    record.append();

    const auto queued = Rum::Api::pendingRecords();
    ASSERT_EQ(queued.size(), 1u);
    const std::string expected = "Rum.LogData.append: {\"Data\":[" + queued[0].encode().dump() + "]}";
    bool found = false;
    for (const auto& line : log.lines()) found = found || (line.level == "info" && line.text == expected);
    EXPECT_TRUE(found) << expected;
}

TEST_F(LogDataTest, RecordThatCannotBeEncodedIsLoggedAsSuchAndStillQueued) {
    test::LogCapture log;
    LogData record("A", "e", "Failed", "ERROR");
    record.Data = nlohmann::ordered_json::object({{"bad", std::nan("")}});
    record.append();
    EXPECT_TRUE(log.contains("Rum.LogData.append: failed to encode log data"));
    EXPECT_EQ(Rum::Api::pendingRecords().size(), 1u);
}

}  // namespace
}  // namespace hexora
