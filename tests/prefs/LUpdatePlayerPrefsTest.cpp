#include "workers/launcher/LUpdatePlayerPrefs.hpp"

#include "platform/Clock.hpp"
#include "services/file/PlayerPrefsHelper.hpp"
#include "services/internal/Paths.hpp"
#include "services/rum/LogData.hpp"
#include "services/rum/RumApi.hpp"
#include "support/EngineHarness.hpp"
#include "support/FakeDeviceFacts.hpp"
#include "support/FakePreferenceStore.hpp"
#include "support/FakeProcessTable.hpp"
#include "support/LogCapture.hpp"
#include "support/RunState.hpp"
#include "support/ScopedEnv.hpp"
#include "support/TestBundle.hpp"
#include "support/TestClock.hpp"

#include <gtest/gtest.h>

#include <ctime>
#include <regex>
#include <set>

namespace hexora {
namespace {
using PlayerPrefsHelper::agent;
using PlayerPrefsHelper::base64Encode;
using PlayerPrefsHelper::GameSuiteName;
using Worker::Launcher::LUpdatePlayerPrefs;

const std::regex uuidPattern("[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}");

class LUpdatePlayerPrefsTest : public test::RunStateFixture {
protected:
    void runStep() {
        bool completed = false;
        auto worker = std::make_shared<LUpdatePlayerPrefs>(harness.thread, [&completed](bool) { completed = true; });
        worker->work();
        EXPECT_FALSE(completed);
    }

    test::TestBundle bundle;
    test::ScopedPreferenceStore prefs;
    test::ScopedProcessTable processes{4242};
    test::ScopedDeviceFacts device;
    test::EngineHarness harness;
};

TEST_F(LUpdatePlayerPrefsTest, WritesTheFourEntriesInOrderAsBase64) {
    test::LogCapture log;
    runStep();

    EXPECT_EQ(prefs->writtenKeys(GameSuiteName),
              (std::vector<std::string>{base64Encode("LAUNCHER_PROC_ID"), base64Encode("DATE"), base64Encode("GUID"),
                                        base64Encode("PROD_DIR")}));
    EXPECT_EQ(prefs->entries(GameSuiteName).at(base64Encode("LAUNCHER_PROC_ID")), base64Encode("4242"));
    EXPECT_EQ(agent().getString("LAUNCHER_PROC_ID"), "4242");
    EXPECT_EQ(agent().getString("PROD_DIR"), bundleRootPath().string());
    EXPECT_TRUE(std::regex_match(agent().getString("GUID"), uuidPattern)) << agent().getString("GUID");

    const auto lines = log.lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].level, "info");
    EXPECT_EQ(lines[0].text, "Updating player prefs...");
    // No display state, no telemetry.
    EXPECT_TRUE(harness.takeEvents().empty());
    EXPECT_TRUE(Rum::Api::pendingRecords().empty());
}

TEST_F(LUpdatePlayerPrefsTest, DateIsUtcWhateverTheLocalZone) {
    std::tm parts{};
    parts.tm_year = 2026 - 1900;
    parts.tm_mon = 2;
    parts.tm_mday = 2;
    parts.tm_hour = 14;
    parts.tm_min = 5;
    parts.tm_sec = 9;
    const auto at = std::chrono::system_clock::from_time_t(timegm(&parts)) + std::chrono::milliseconds(500);
    test::ScopedTestClock clock;
    clock->standStill(at);
    for (const char* zone : {"Asia/Tokyo", "America/Los_Angeles", "UTC"}) {
        test::ScopedEnv tz("TZ", std::string(zone));
        tzset();
        runStep();
        EXPECT_EQ(agent().getString("DATE"), "03/02/2026 14:05:09") << zone;
    }
    tzset();
}

TEST_F(LUpdatePlayerPrefsTest, EachRunWritesANewGuidAndTelemetryFallsBackToTheLatest) {
    prefs->put(GameSuiteName, base64Encode("GUID"), base64Encode("PREVIOUS-RUN"));
    Rum::LogData("LBoot", "start", "Start", "INFO").append();
    runStep();
    const std::string first = agent().getString("GUID");
    Rum::LogData("LCheckProcess", "start", "Start", "INFO").append();
    runStep();
    const std::string second = agent().getString("GUID");

    EXPECT_NE(first, "PREVIOUS-RUN");
    EXPECT_NE(first, second);
    const auto records = Rum::Api::pendingRecords();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].Guid, "PREVIOUS-RUN");
    EXPECT_EQ(records[1].Guid, first);
}

TEST_F(LUpdatePlayerPrefsTest, SuiteThatCannotBeOpenedLeavesThePreviousEntries) {
    prefs->put(GameSuiteName, base64Encode("LAUNCHER_PROC_ID"), base64Encode("77"));
    prefs->setUnopenable(GameSuiteName);
    test::LogCapture log;
    runStep();
    EXPECT_EQ(prefs->writes(), 0);
    EXPECT_EQ(log.lines().size(), 1u);
    prefs->setUnopenable(GameSuiteName, false);
    EXPECT_EQ(agent().getString("LAUNCHER_PROC_ID"), "77");
}

TEST_F(LUpdatePlayerPrefsTest, TheThreadGoesOnWithTheNextWorker) {
    bool nextRan = false;
    class Next : public Worker::Worker {
    public:
        Next(std::shared_ptr<WorkerThread> thread, bool& ran) : Worker(std::move(thread)), ran_(ran) {}
        void work() override { ran_ = true; }

    private:
        bool& ran_;
    };
    harness.thread->workers().append(std::make_shared<LUpdatePlayerPrefs>(harness.thread));
    harness.thread->workers().append(std::make_shared<Next>(harness.thread, nextRan));
    harness.run();
    EXPECT_TRUE(nextRan);
    EXPECT_EQ(agent().getString("LAUNCHER_PROC_ID"), "4242");
}

TEST(NewUuidString, IsAnUpperCaseVersionFourUuidAndFresh) {
    std::set<std::string> seen;
    for (int i = 0; i < 100; ++i) {
        const std::string uuid = Worker::Launcher::newUuidString();
        EXPECT_TRUE(std::regex_match(uuid, uuidPattern)) << uuid;
        seen.insert(uuid);
    }
    EXPECT_EQ(seen.size(), 100u);
}

}  // namespace
}  // namespace hexora
