// The opened-URL hand-off: which URL is stored for the game, and whether a
// running game (a real second process) takes it or the normal road follows.
#include "engine/LauncherError.hpp"
#include "engine/OpenedUrlFlag.hpp"
#include "platform/PreferenceStore.hpp"
#include "services/file/PlayerPrefsHelper.hpp"
#include "services/internal/FileURL.hpp"
#include "services/internal/GameProduct.hpp"
#include "services/internal/Paths.hpp"
#include "services/rum/RumApi.hpp"
#include "support/ChildProcess.hpp"
#include "support/ChildProcessTable.hpp"
#include "support/EngineHarness.hpp"
#include "support/Eventually.hpp"
#include "support/FakePreferenceStore.hpp"
#include "support/LogCapture.hpp"
#include "support/PendingRecords.hpp"
#include "support/RunState.hpp"
#include "support/SampleGame.hpp"
#include "support/ScopedEnv.hpp"
#include "support/TestBundle.hpp"
#include "support/WorkerFailure.hpp"
#include "workers/game/GHandleOpenUrls.hpp"
#include "workers/launcher/LBoot.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

namespace hexora {
namespace {
namespace fs = std::filesystem;
using PlayerPrefsHelper::base64Encode;
using Worker::LauncherError;
using Worker::Hexora::GHandleOpenUrls;

constexpr const char* GameSuite = PlayerPrefsHelper::GameSuiteName;
constexpr const char* GameId = GameProduct::BundleIdentifier;

class GHandleOpenUrlsTest : public test::RunStateFixture {
protected:
    void SetUp() override {
        OpenedUrlFlag::set(true);  // as the driver leaves it when it queues the hand-off
    }

    /// Runs the hand-off for `urls`; returns what it threw (nullopt when it returned).
    std::optional<LauncherError> run(std::vector<std::string> urls) {
        GHandleOpenUrls worker(harness_.thread, std::move(urls));
        return test::failureOf([&] { worker.work(); });
    }

    /// The game suite's entries, decoded.
    std::map<std::string, std::string> storedUrls() {
        std::map<std::string, std::string> decoded;
        for (const auto& [key, value] : prefs_->entries(GameSuite)) {
            decoded[*PlayerPrefsHelper::base64Decode(key)] = *PlayerPrefsHelper::base64Decode(value);
        }
        return decoded;
    }

    /// The road went on: LBoot queued, the flag cleared, only CheckApp shown.
    void expectBootQueued() {
        const auto queued = harness_.takeQueued();
        ASSERT_EQ(queued.size(), 1u);
        const auto boot = std::dynamic_pointer_cast<Worker::Launcher::LBoot>(queued[0]);
        ASSERT_TRUE(boot);
        EXPECT_FALSE(boot->waitForResponse);
        EXPECT_FALSE(boot->keepGoOn);
        EXPECT_FALSE(OpenedUrlFlag::isSet());
        const auto events = harness_.takeEvents();
        ASSERT_EQ(events.size(), 1u);
        EXPECT_EQ(events[0].state, LauncherState::CheckApp);
    }

    /// The launcher ended after handing the URL to the game found `how`.
    void expectHandedToGame(const std::optional<LauncherError>& error, const std::string& how,
                            const fs::path& bundle, const fs::path& executable) {
        ASSERT_TRUE(error) << "the road went on";
        EXPECT_EQ(error->code, LauncherError::Code::Succeeded);
        EXPECT_EQ(error->type, "GHandleOpenUrls");
        EXPECT_EQ(error->message, "handled open url and terminating launcher");
        EXPECT_EQ(error->terminateWhenAvailable, true);
        EXPECT_FALSE(error->state);
        ASSERT_TRUE(error->rum);
        EXPECT_TRUE(test::recordIs(*error->rum, "GHandleOpenUrls", "handle by  " + how, "Succeeded", "INFO"));
        EXPECT_EQ(error->rum->dataValue("Message"), "bundleId:com.tarq.hexora.mac.game, appUrl:" +
                                                        fileURLText(fs::canonical(bundle), true) +
                                                        ", exeUrl:" + fileURLText(fs::canonical(executable)));
        const auto events = harness_.takeEvents();
        ASSERT_EQ(events.size(), 2u);
        EXPECT_EQ(events[0].state, LauncherState::CheckApp);
        EXPECT_EQ(events[1].eventType, UIUpdateEvent::HideWindow);
        EXPECT_TRUE(harness_.takeQueued().empty());
        EXPECT_TRUE(OpenedUrlFlag::isSet());
    }

    test::TestBundle bundle_;
    test::ScopedPreferenceStore prefs_;
    test::ScopedChildProcessTable processes_;
    test::EngineHarness harness_;
};

TEST_F(GHandleOpenUrlsTest, CapitalSchemeIsStoredInLowerCaseWithTheUrlUnchanged) {
    EXPECT_FALSE(run({"HEXORAMAC://join/123"}));
    EXPECT_EQ(storedUrls(), (std::map<std::string, std::string>{{"hexoramac_uri", "HEXORAMAC://join/123"}}));
    EXPECT_EQ(prefs_->entries(GameSuite).count(base64Encode("hexoramac_uri")), 1u);
    expectBootQueued();
    EXPECT_TRUE(Rum::Api::takePendingRecords().empty());
}

TEST_F(GHandleOpenUrlsTest, OnlyTheFirstAcceptedUrlIsStored) {
    EXPECT_FALSE(run({"https://hexora-game.com/news", "com.tarq.hexora://invite/7?from=a%20b", "hexoramac://join/1"}));
    EXPECT_EQ(storedUrls(),
              (std::map<std::string, std::string>{{"com.tarq.hexora_uri", "com.tarq.hexora://invite/7?from=a%20b"}}));
    EXPECT_EQ(prefs_->writes(), 1);
    expectBootQueued();
}

TEST_F(GHandleOpenUrlsTest, SchemesAreComparedAsVersions) {
    struct Case {
        const char* url;
        const char* storedUnder;  // nullptr: not accepted
    };
    const Case cases[] = {
        {"hexoramac.0://join/1", "hexoramac.0_uri"},
        {"Hexoramac.0.0://join/1", "hexoramac.0.0_uri"},
        {"hexora-game.com://match/9", "hexora-game.com_uri"},
        {"WWW.Hexora-Game.com://match/9", "www.hexora-game.com_uri"},
        {"com.tarq.hexora://", "com.tarq.hexora_uri"},
        {"hexoramac:///join", "hexoramac_uri"},
        {"hexoramac.1://join/1", nullptr},
        {"hexoramacx://join/1", nullptr},
        {"hexora-game.org://x", nullptr},
        {"hexoramac:join/123", "hexoramac_uri"},  // without "//", as web pages write it
        {"hexoramac:/join/123", "hexoramac_uri"},
        {"hexoramac:join/{room 7}%zz", "hexoramac_uri"},
        {" hexoramac://join", nullptr},
        {"/hexoramac/join", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url);
        test::ScopedPreferenceStore prefs;
        const auto error = run({c.url});
        if (c.storedUnder) {
            EXPECT_FALSE(error);
            EXPECT_EQ(prefs->entries(GameSuite).at(base64Encode(c.storedUnder)), base64Encode(c.url));
        } else {
            ASSERT_TRUE(error);
            EXPECT_EQ(error->message, "unhandled open url");
            EXPECT_TRUE(prefs->entries(GameSuite).empty());
        }
        harness_.takeQueued();
        harness_.takeEvents();
        OpenedUrlFlag::set(true);
    }
}

TEST_F(GHandleOpenUrlsTest, OnlyOtherSchemesHideTheWindowAndEndTheLauncher) {
    const auto error = run({"https://hexora-game.com/join/1", "mailto:someone@example.org", "not a url"});
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, LauncherError::Code::Failed);
    EXPECT_EQ(error->type, "GHandleOpenUrls");
    EXPECT_EQ(error->message, "unhandled open url");
    EXPECT_EQ(error->terminateWhenAvailable, true);
    EXPECT_FALSE(error->state);
    ASSERT_TRUE(error->rum);
    EXPECT_TRUE(test::recordIs(*error->rum, "GHandleOpenUrls", "handle", "Failed", "INFO"));
    EXPECT_TRUE(prefs_->entries(GameSuite).empty());
    const auto events = harness_.takeEvents();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].state, LauncherState::CheckApp);
    EXPECT_EQ(events[1].eventType, UIUpdateEvent::HideWindow);
    EXPECT_TRUE(harness_.takeQueued().empty());
}

TEST_F(GHandleOpenUrlsTest, UnopenableSuiteStillGoesOnAsIfStored) {
    prefs_->setUnopenable(GameSuite);
    EXPECT_FALSE(run({"hexoramac://join/1"}));
    expectBootQueued();
}

// The running sample game, with the real preference files it records its id
// in, found first by that id and then, when it recorded nothing, by its
// bundle identifier.
TEST_F(GHandleOpenUrlsTest, RunningSampleGameTakesTheUrl) {
    test::TempDir dir;
    test::ScopedEnv config("XDG_CONFIG_HOME", (dir / "config").string());
    test::ScopedEnv report("HEXORA_SAMPLE_GAME_REPORT", (dir / "report.txt").string());
    platform::PreferenceStore::install(nullptr);
    const auto executable = test::layOutSampleGame(storagePath());
    const auto bundle = storagePath() / "Hexora.app";

    struct Case {
        const char* pidText;  // what the game records under "CLIENT_PROC_ID"
        const char* how;
    };
    for (const Case c : {Case{"{pid}", "procId"}, Case{" {pid}\n", "procId"}, Case{"none", "bundle id"}}) {
        SCOPED_TRACE(c.pidText);
        fs::remove(dir / "report.txt");
        PlayerPrefsHelper::agent().setString("CLIENT_PROC_ID", "");
        test::ScopedEnv pidText("HEXORA_SAMPLE_GAME_PID_TEXT", c.pidText);
        test::ChildProcess game(executable);
        ASSERT_TRUE(test::eventually([&] { return test::readFile(dir / "report.txt").find("ready") != std::string::npos; }));

        expectHandedToGame(run({"hexoramac://join/5"}), c.how, bundle, executable);
        EXPECT_EQ(PlayerPrefsHelper::agent().getString("hexoramac_uri"), "hexoramac://join/5");
        EXPECT_TRUE(Rum::Api::takePendingRecords().empty());
        EXPECT_TRUE(game.running());
    }
}

// The recorded id belongs to another application: that is recorded, and the
// game is still found by its bundle identifier.
TEST_F(GHandleOpenUrlsTest, RecordedIdOfAnotherApplicationIsReportedAndPassedOver) {
    test::ChildProcess hub(test::developerHubExecutable());
    const auto executable = test::layOutStandIn(storagePath(), "Hexora", "Hexora", GameId);
    test::ChildProcess game(executable);
    PlayerPrefsHelper::agent().setString("CLIENT_PROC_ID", std::to_string(hub.pid()));

    expectHandedToGame(run({"hexoramac://join/5"}), "bundle id", storagePath() / "Hexora.app", executable);
    const auto records = Rum::Api::takePendingRecords();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_TRUE(test::recordIs(records[0], "GHandleOpenUrls", "handle by procId", "Failed", "INFO"));
    const auto hubBundle = fs::canonical(test::developerHubExecutable()).parent_path().parent_path().parent_path();
    EXPECT_EQ(records[0].dataValue("Message"),
              "bundleId:\"com.tarq.hexora.mac.developerhub\", appUrl:" + fileURLText(hubBundle, true) +
                  ", exeUrl:" + fileURLText(fs::canonical(test::developerHubExecutable())));
}

TEST_F(GHandleOpenUrlsTest, GameWithoutIdentifierIsFoundByItsExecutable) {
    const auto executable = test::layOutStandIn(storagePath(), "Hexora", "Hexora", "");
    test::ChildProcess game(executable);
    PlayerPrefsHelper::agent().setString("CLIENT_PROC_ID", std::to_string(game.pid()));
    expectHandedToGame(run({"hexoramac://join/5"}), "bundle exe", storagePath() / "Hexora.app", executable);
    EXPECT_EQ(Rum::Api::takePendingRecords().size(), 1u) << "the id names a process that is not the game";
}

TEST_F(GHandleOpenUrlsTest, StaleRecordedIdWithNoGameGivesTheRoadBack) {
    std::int32_t ended = 0;
    {
        test::ChildProcess game(test::layOutStandIn(storagePath(), "Hexora", "Hexora", GameId));
        ended = game.pid();
        game.terminate();
        ASSERT_TRUE(game.waitForExit());
    }
    const struct {
        std::string recorded;
        std::string logged;  // empty: no line about the recorded id
    } cases[] = {
        {std::to_string(ended), "the recorded game process is not running: " + std::to_string(ended)},
        {"12x", "no process id recorded by the game: 12x"},
        {"", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.recorded);
        test::LogCapture log;
        OpenedUrlFlag::set(true);
        PlayerPrefsHelper::agent().setString("CLIENT_PROC_ID", c.recorded);
        EXPECT_FALSE(run({"hexoramac://join/5"}));
        expectBootQueued();
        EXPECT_TRUE(Rum::Api::takePendingRecords().empty());
        if (!c.logged.empty()) {
            EXPECT_TRUE(log.contains(c.logged));
        }
        EXPECT_EQ(log.contains("recorded"), !c.logged.empty());
    }
}

}  // namespace
}  // namespace hexora
