#include "workers/game/GLoadVersion.hpp"
#include "workers/launcher/LLoadSettings.hpp"
#include "workers/launcher/LLoadVersion.hpp"

#include "services/api/ApiDomains.hpp"
#include "services/file/LoadedSetting.hpp"
#include "services/internal/GameProduct.hpp"
#include "services/internal/InstalledVersions.hpp"
#include "services/internal/LauncherProduct.hpp"
#include "services/internal/Paths.hpp"
#include "services/rum/RumApi.hpp"
#include "support/EngineHarness.hpp"
#include "support/LogCapture.hpp"
#include "support/RunState.hpp"
#include "support/TestBundle.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <limits>
#include <string>
#include <utility>
#include <vector>

namespace hexora {
namespace {
namespace fs = std::filesystem;

// An XML Info.plist whose dictionary holds `entries` (key, raw XML value).
std::string infoPlist(const std::vector<std::pair<std::string, std::string>>& entries) {
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n";
    for (const auto& [key, value] : entries) xml += "  <key>" + key + "</key>" + value + "\n";
    return xml + "</dict>\n</plist>\n";
}

std::string text(const std::string& value) { return "<string>" + value + "</string>"; }

void writeFile(const fs::path& path, const std::string& content) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
}

struct RecordSummary {
    std::string event;
    std::string eventState;
    std::string dataKey;
    std::optional<std::string> dataValue;
    bool operator==(const RecordSummary&) const = default;
};

std::ostream& operator<<(std::ostream& out, const RecordSummary& r) {
    return out << r.event << "/" << r.eventState << " " << r.dataKey << "=" << r.dataValue.value_or("<none>");
}

class LoadersTest : public test::RunStateFixture {
protected:
    // The records queued so far by `minorType`, each with the one Data pair of interest.
    static std::vector<RecordSummary> takeRecords(const std::string& minorType, const std::string& dataKey) {
        std::vector<RecordSummary> summaries;
        for (const auto& record : Rum::Api::takePendingRecords()) {
            EXPECT_EQ(record.MinorType, minorType);
            EXPECT_EQ(record.LogLevel, "INFO");
            EXPECT_FALSE(record.TimeStamp.empty());
            summaries.push_back({record.Event, record.EventState, dataKey, record.dataValue(dataKey)});
        }
        return summaries;
    }

    test::TestBundle bundle;
    test::EngineHarness harness;
};

TEST_F(LoadersTest, SettingsLoaderStartsEachListAtItsStoredIndexWhenInRange) {
    const struct {
        const char* label;
        std::int64_t apiStored, cdnStored;
        std::int64_t apiExpected, cdnExpected;
    } cases[] = {
        {"both in range", 1, 1, 1, 1},
        {"api index equal to the length", 2, 1, 0, 1},
        {"cdn index above the length", 0, 5, 0, 0},
        {"negative indices", -1, -7, 0, 0},
        {"64-bit extremes", std::numeric_limits<std::int64_t>::max(), std::numeric_limits<std::int64_t>::min(), 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        ApiDomains::createLists({"https://api1.test", "https://api2.test"}, {"https://cdn1.test", "https://cdn2.test"});
        // Start away from 0, so that "reset to 0" and "left alone" differ.
        ApiDomains::apiList()->setCurrentIndex(1);
        ApiDomains::fileList()->setCurrentIndex(1);
        SettingFormat stored;
        stored.check_file_reasons = {{"a", 1, std::nullopt}};
        stored.check_files = true;
        stored.api_dsa_index = c.apiStored;
        stored.cdn_dsa_index = c.cdnStored;
        writeFile(storagePath() / ".launcher.json", stored.encode());

        Worker::Launcher::LLoadSettings(harness.thread).work();

        EXPECT_EQ(ApiDomains::apiList()->currentIndex(), c.apiExpected);
        EXPECT_EQ(ApiDomains::fileList()->currentIndex(), c.cdnExpected);
        ASSERT_NE(loadedSetting(), nullptr);
        EXPECT_EQ(loadedSetting()->setting(), stored);  // the record keeps what the file said
    }
    EXPECT_TRUE(Rum::Api::takePendingRecords().empty());
}

TEST_F(LoadersTest, SettingsLoaderWithoutAFileStartsBothListsAtZero) {
    ApiDomains::createLists({"https://api1.test", "https://api2.test"}, {"https://cdn1.test", "https://cdn2.test"});
    ApiDomains::apiList()->setCurrentIndex(1);
    ApiDomains::fileList()->setCurrentIndex(1);
    fs::remove_all(storagePath());

    Worker::Launcher::LLoadSettings(harness.thread).work();

    EXPECT_EQ(ApiDomains::apiList()->currentIndex(), 0);
    EXPECT_EQ(ApiDomains::fileList()->currentIndex(), 0);
    ASSERT_NE(loadedSetting(), nullptr);
    EXPECT_EQ(loadedSetting()->setting(), SettingFormat{});
    EXPECT_EQ(loadedSetting()->path(), storagePath() / ".launcher.json");
    EXPECT_TRUE(fs::is_directory(storagePath()));
}

TEST_F(LoadersTest, SettingsLoaderWithoutDomainListsStillLoadsAndEachRunReplacesTheSettings) {
    SettingFormat stored;
    stored.api_dsa_index = 1;
    writeFile(storagePath() / ".launcher.json", stored.encode());

    Worker::Launcher::LLoadSettings(harness.thread).work();  // no lists: nothing to point
    const auto first = loadedSetting();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->setting().api_dsa_index, 1);

    stored.api_dsa_index = 0;
    stored.cdn_dsa_index = 1;
    writeFile(storagePath() / ".launcher.json", stored.encode());
    Worker::Launcher::LLoadSettings(harness.thread).work();
    ASSERT_NE(loadedSetting(), first);
    EXPECT_EQ(loadedSetting()->setting(), stored);
}

TEST_F(LoadersTest, LauncherVersionLoaderReadsTheVersionAndReportsAForeignIdentifier) {
    const std::string own = LauncherProduct::BundleIdentifier;
    const struct {
        const char* label;
        std::optional<std::string> plist;  // nullopt: no Info.plist in the bundle
        std::string expectedVersion;
        std::vector<RecordSummary> expectedRecords;
    } cases[] = {
        {"own identifier", infoPlist({{"CFBundleIdentifier", text(own)}, {"CFBundleShortVersionString", text("3.1.0")}}),
         "3.1.0", {}},
        {"foreign identifier",
         infoPlist({{"CFBundleIdentifier", text("com.tarq.hexora.mac.game")}, {"CFBundleShortVersionString", text("3.1.0")}}),
         "3.1.0", {{"invalid bundle id", "Failed", "InstalledBundleId", "com.tarq.hexora.mac.game"}}},
        {"identifier that is not a text",
         infoPlist({{"CFBundleIdentifier", "<integer>5</integer>"}, {"CFBundleShortVersionString", text("3.1.0")}}), "3.1.0", {}},
        {"no identifier", infoPlist({{"CFBundleShortVersionString", text("3.1.0")}}), "3.1.0", {}},
        {"no version", infoPlist({{"CFBundleIdentifier", text(own)}}), "", {}},
        {"version that is not a text", infoPlist({{"CFBundleShortVersionString", "<real>3.1</real>"}}), "", {}},
        {"no Info.plist", std::nullopt, "", {}},
        {"Info.plist that is no dictionary", "<plist version=\"1.0\"><array/></plist>", "", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const fs::path plistPath = bundleRootPath() / "Contents/Info.plist";
        fs::remove(plistPath);
        if (c.plist) writeFile(plistPath, *c.plist);
        setLauncherVersion("stale");
        test::LogCapture log;

        Worker::Launcher::LLoadVersion(harness.thread).work();

        EXPECT_EQ(launcherVersion(), c.expectedVersion);
        EXPECT_EQ(takeRecords("LLoadVersion", "InstalledBundleId"), c.expectedRecords);
        EXPECT_EQ(log.contains("invalid bundle id: com.tarq.hexora.mac.game"), !c.expectedRecords.empty());
    }
}

TEST_F(LoadersTest, GameVersionLoaderReadsTheInstalledGameOrFallsBackToTheDefault) {
    const std::string game = GameProduct::BundleIdentifier;
    const RecordSummary notFound{"not found", "Failed", "InstalledGame", std::nullopt};
    const RecordSummary foreign{"invalid bundle id", "Failed", "InstalledGame", std::nullopt};
    const struct {
        const char* label;
        std::optional<std::string> plist;  // nullopt: no game bundle at all
        std::string expectedVersion;
        std::vector<RecordSummary> expectedRecords;
        std::vector<std::string> expectedLogs;
    } cases[] = {
        {"no game bundle", std::nullopt, "1.0.0", {notFound}, {"failed to load game version, set to default: 1.0.0"}},
        {"installed game", infoPlist({{"CFBundleIdentifier", text(game)}, {"CFBundleShortVersionString", text("2.0.1")}}),
         "2.0.1", {{"found", "Succeeded", "InstalledGame", "2.0.1"}}, {"game appVersion: 2.0.1"}},
        {"foreign identifier without version", infoPlist({{"CFBundleIdentifier", text("com.example.other")}}), "1.0.0",
         {foreign, notFound}, {"invalid bundle id: com.example.other", "failed to load game version, set to default: 1.0.0"}},
        {"foreign identifier with version",
         infoPlist({{"CFBundleIdentifier", text("com.example.other")}, {"CFBundleShortVersionString", text("2.0.1")}}), "2.0.1",
         {foreign, {"found", "Succeeded", "InstalledGame", "2.0.1"}}, {"invalid bundle id: com.example.other"}},
        // A version of another type counts as present: the game is found with the empty text.
        {"version that is not a text", infoPlist({{"CFBundleShortVersionString", "<integer>2</integer>"}}), "",
         {{"found", "Succeeded", "InstalledGame", std::nullopt}}, {"game appVersion: "}},
        {"unreadable Info.plist", "not a property list", "1.0.0", {notFound}, {"set to default: 1.0.0"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        fs::remove_all(storagePath() / "Hexora.app");
        if (c.plist) writeFile(storagePath() / "Hexora.app/Contents/Info.plist", *c.plist);
        setGameVersion("stale");
        test::LogCapture log;

        Worker::Hexora::GLoadVersion(harness.thread).work();

        EXPECT_EQ(gameVersion(), c.expectedVersion);
        auto records = Rum::Api::pendingRecords();
        for (const auto& record : records) {
            if (record.Event == "invalid bundle id") {
                EXPECT_EQ(record.dataValue("InstalledBundleId"), "com.example.other");
            }
            if (record.Event == "not found") {
                EXPECT_FALSE(record.Data.has_value());
            }
        }
        EXPECT_EQ(takeRecords("GLoadVersion", "InstalledGame"), c.expectedRecords);
        for (const auto& line : c.expectedLogs) EXPECT_TRUE(log.contains(line)) << line;
    }
}

// The boot chain queues the loaders one after the other on the worker thread;
// none of them ends the run.
TEST_F(LoadersTest, LoadersRunInOneRunWithoutEndingIt) {
    ApiDomains::createLists({"https://api1.test", "https://api2.test"}, {"https://cdn1.test", "https://cdn2.test"});
    SettingFormat stored;
    stored.cdn_dsa_index = 1;
    writeFile(storagePath() / ".launcher.json", stored.encode());
    writeFile(bundleRootPath() / "Contents/Info.plist",
              infoPlist({{"CFBundleIdentifier", text(LauncherProduct::BundleIdentifier)}, {"CFBundleShortVersionString", text("1.4.2")}}));
    bool reachedTheEnd = false;
    harness.thread->workers().append(std::make_shared<Worker::Launcher::LLoadSettings>(harness.thread));
    harness.thread->workers().append(std::make_shared<Worker::Launcher::LLoadVersion>(harness.thread));
    harness.thread->workers().append(std::make_shared<Worker::Hexora::GLoadVersion>(harness.thread));
    harness.thread->workers().append(
        std::make_shared<Worker::WorkerBase>(harness.thread, [&reachedTheEnd](bool) { reachedTheEnd = true; }));

    harness.run();

    EXPECT_TRUE(reachedTheEnd);
    EXPECT_EQ(ApiDomains::fileList()->currentIndex(), 1);
    EXPECT_EQ(launcherVersion(), "1.4.2");
    EXPECT_EQ(gameVersion(), "1.0.0");
    EXPECT_TRUE(harness.takeStates().empty());
}

}  // namespace
}  // namespace hexora
