// The game start: launching the game, the display events, the two waits and
// the error that ends the road.
#include "engine/LauncherError.hpp"
#include "platform/PreferenceStore.hpp"
#include "services/file/PlayerPrefsHelper.hpp"
#include "services/internal/FileURL.hpp"
#include "services/internal/GameProduct.hpp"
#include "services/internal/Paths.hpp"
#include "services/rum/RumApi.hpp"
#include "support/EngineHarness.hpp"
#include "support/Eventually.hpp"
#include "support/FakeProcessLauncher.hpp"
#include "support/FakeProcessTable.hpp"
#include "support/LogCapture.hpp"
#include "support/PendingRecords.hpp"
#include "support/RunState.hpp"
#include "support/SampleGame.hpp"
#include "support/ScopedEnv.hpp"
#include "support/TempDir.hpp"
#include "support/TestClock.hpp"
#include "support/WorkerFailure.hpp"
#include "workers/game/GStart.hpp"

#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <optional>
#include <thread>

namespace hexora {
namespace {

using Worker::LauncherError;
using Worker::Hexora::GStart;

// The id an earlier game recorded: above any pid_max, so never the id of the
// game a test starts (in a PID namespace of its own the ids are small).
const std::string EarlierGameId = "2147483647";

// A launcher bundle in a folder whose name holds a blank, its storage folder,
// and the game's preference suite in a private configuration folder that the
// started game sees too (through XDG_CONFIG_HOME).
class GStartTest : public test::RunStateFixture {
protected:
    void SetUp() override {
        Paths::useBundleForTesting(dir_ / "My Apps/Hexora Launcher.app");
        std::filesystem::create_directories(storagePath());
        platform::PreferenceStore::install(nullptr);
    }
    void TearDown() override {
        for (auto pid : started_) ::kill(pid, SIGKILL);
        Paths::resetForTesting();
    }

    /// Runs GStart::work() on the test thread and returns what it threw.
    LauncherError runGStart() {
        GStart worker(harness_.thread);
        return test::expectLauncherError([&] { worker.work(); });
    }

    static std::string readPref(const std::string& key) { return PlayerPrefsHelper::agent().getString(key); }

    /// The value of the first "name=" line of the game's report.
    std::string reported(const std::string& name) const {
        const auto text = test::readFile(report());
        const auto at = text.find(name + "=");
        if (at == std::string::npos) return "";
        const auto begin = at + name.size() + 1;
        return text.substr(begin, text.find('\n', begin) - begin);
    }
    std::filesystem::path report() const { return dir_ / "game-report.txt"; }

    /// Remembers a started game so that TearDown stops it.
    void track(std::int32_t pid) {
        if (pid > 0) started_.push_back(pid);
    }

    test::TempDir dir_;
    test::ScopedEnv config_{"XDG_CONFIG_HOME", (dir_ / "config").string()};
    test::ScopedEnv reportPath_{"HEXORA_SAMPLE_GAME_REPORT", report().string()};
    test::EngineHarness harness_;
    std::vector<std::int32_t> started_;
};

TEST_F(GStartTest, StartsTheGameAndEndsTheRoadWhenTheGameConfirms) {
    test::ScopedTestClock clock(0.1);
    const auto executable = test::layOutSampleGame(storagePath());
    test::LogCapture log;

    const auto error = runGStart();
    const auto gamePid = std::stoi(reported("pid"));
    track(gamePid);

    EXPECT_EQ(reported("argc"), "1");
    EXPECT_EQ(reported("arg"), std::to_string(::getpid()));
    EXPECT_EQ(reported("cwd"), std::filesystem::canonical(storagePath()).string());
    EXPECT_EQ(readPref("CLIENT_PROC_ID"), std::to_string(gamePid));
    EXPECT_EQ(::kill(gamePid, 0), 0) << "the wait should end on the confirmation, with the game still up";
    EXPECT_LT(clock->sleptSeconds(), 15.0);

    EXPECT_EQ(error.code, LauncherError::Code::Succeeded);
    EXPECT_EQ(error.type, "GStart");
    EXPECT_EQ(error.message, "succeeded");
    EXPECT_EQ(error.terminateWhenAvailable, true);
    EXPECT_FALSE(error.state.has_value());
    EXPECT_FALSE(error.errorDescription().has_value());
    ASSERT_TRUE(error.rum.has_value());
    EXPECT_TRUE(test::recordIs(*error.rum, "GStart", "succeeded", "Succeeded", "INFO"));
    const auto bundle = std::filesystem::canonical(storagePath() / "Hexora.app");
    EXPECT_EQ(error.rum->dataValue("Message"), "bundleId: com.tarq.hexora.mac.game appUrl:" +
                                                   fileURLText(bundle, true) +
                                                   " exeUrl:" + fileURLText(std::filesystem::canonical(executable)));
    EXPECT_NE(error.rum->dataValue("Message")->find("My%20Apps"), std::string::npos);

    const auto events = harness_.takeEvents();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].eventType, UIUpdateEvent::StateChange);
    EXPECT_EQ(events[0].state, LauncherState::ReservedAppTerminating);
    EXPECT_EQ(events[1].eventType, UIUpdateEvent::HideWindow);
    EXPECT_FALSE(events[1].state.has_value());

    const auto records = Rum::Api::takePendingRecords();
    ASSERT_EQ(records.size(), 1u) << "the result record travels in the error, not queued";
    EXPECT_EQ(records[0].Event, "start");
    EXPECT_EQ(records[0].EventState, "Start");
    EXPECT_EQ(records[0].LogLevel, "INFO");
    EXPECT_TRUE(log.contains("Process started: " + std::to_string(gamePid)));

    // The termination handler logs how the game ended.
    ::kill(gamePid, SIGTERM);
    EXPECT_TRUE(test::eventually([&] { return log.contains("GStart: game " + std::to_string(gamePid)); }));
}

TEST_F(GStartTest, MissingGameShowsTheFailureAndKeepsTheLauncherOpen) {
    test::ScopedTestClock clock;
    test::LogCapture log;
    const auto error = runGStart();

    EXPECT_EQ(error.code, LauncherError::Code::Failed);
    EXPECT_EQ(error.type, "GStart");
    EXPECT_EQ(error.message, "failed with code: 0");
    EXPECT_EQ(error.terminateWhenAvailable, false);
    EXPECT_FALSE(error.state.has_value());
    ASSERT_TRUE(error.rum.has_value());
    EXPECT_EQ(error.rum->Event, "launch");
    EXPECT_EQ(error.rum->EventState, "Failed");
    EXPECT_EQ(error.rum->LogLevel, "ERROR");
    EXPECT_EQ(error.rum->dataValue("ErrorCode"), "0");
    EXPECT_EQ(error.rum->dataValue("Message"),
              "bundleId: com.tarq.hexora.mac.game appPath:" + (storagePath() / "Hexora.app").string());
    EXPECT_TRUE(log.contains("Process start failed: "));
    EXPECT_EQ(clock->sleptSeconds(), 0.0);

    const auto events = harness_.takeEvents();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].eventType, UIUpdateEvent::StateChange);
    EXPECT_EQ(events[0].state, LauncherState::Failed_Launching_Game);
}

// What the game records under "CLIENT_PROC_ID" decides whether the second wait
// ends on the confirmation or runs to its 1500th poll. The game stays up.
TEST_F(GStartTest, ConfirmationMatchesTheTrimmedIdOnly) {
    struct Case {
        const char* recorded;  // the game's template; "{pid}" is its id, "none" records nothing
        bool confirms;
    };
    const Case cases[] = {
        {"{pid}", true},
        {" {pid}\n", true},
        {"\t{pid}\r\n ", true},
        {"{pid}\u00a0", true},            // a no-break space is white space too
        {"\u2028{pid}\u3000\u0085", true},  // so are the Unicode line and paragraph ends
        {"{pid}.0", true},  // equal under the version comparison
        {"none", false},    // the stale id of an earlier run stays in place
        {"1{pid}", false},
        {"{pid} 1", false},
    };
    for (const auto& c : cases) {
        PlayerPrefsHelper::agent().setString("CLIENT_PROC_ID", EarlierGameId);
        std::filesystem::remove(report());
        test::ScopedEnv recorded("HEXORA_SAMPLE_GAME_PID_TEXT", c.recorded);
        test::ScopedTestClock clock(0.02);
        test::layOutSampleGame(storagePath());
        const auto error = runGStart();
        track(std::stoi(reported("pid")));
        EXPECT_EQ(error.code, LauncherError::Code::Succeeded) << c.recorded;
        EXPECT_EQ(error.terminateWhenAvailable, true) << c.recorded;
        if (c.confirms) {
            EXPECT_LT(clock->sleptSeconds(), 15.0) << c.recorded;
        } else {
            EXPECT_NEAR(clock->sleptSeconds(), 15.0, 1e-6) << c.recorded;
        }
        harness_.takeEvents();
    }
}

TEST_F(GStartTest, StaleIdKeepsTheWaitGoingUntilTheGameQuits) {
    PlayerPrefsHelper::agent().setString("CLIENT_PROC_ID", EarlierGameId);
    test::ScopedEnv recorded("HEXORA_SAMPLE_GAME_PID_TEXT", "none");
    test::ScopedEnv lifetime("HEXORA_SAMPLE_GAME_SECONDS", "0.3");
    test::ScopedTestClock clock(0.5);  // the 1500 polls would take 7.5 s, far beyond the game's life
    test::layOutSampleGame(storagePath());

    const auto started = std::chrono::steady_clock::now();
    const auto error = runGStart();
    const auto waited = std::chrono::steady_clock::now() - started;
    const auto gamePid = std::stoi(reported("pid"));

    EXPECT_EQ(reported("quit"), "time") << "GStart returned before the game quit";
    // The game has ended; its waiter thread reaps it asynchronously, so allow
    // it a moment before the id must be gone.
    const auto reapDeadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (::kill(gamePid, 0) == 0 && std::chrono::steady_clock::now() < reapDeadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_NE(::kill(gamePid, 0), 0);
    EXPECT_GE(waited, std::chrono::milliseconds(300));
    EXPECT_LT(clock->sleptSeconds(), 15.0);
    EXPECT_EQ(readPref("CLIENT_PROC_ID"), EarlierGameId);
    EXPECT_EQ(error.code, LauncherError::Code::Succeeded);
    EXPECT_EQ(error.terminateWhenAvailable, true);
}

// A quit while the launcher waits for the game to record its id: the wait
// ends at the cancel (not after its 15 s), and the road ends as after a
// started game, with the launcher to be terminated.
TEST_F(GStartTest, AQuitDuringTheWaitForTheGameEndsItAtOnce) {
    class TimedGStart : public GStart {
    public:
        using GStart::GStart;
        void work() override {
            try {
                GStart::work();
            } catch (const LauncherError& error) {
                thrown = error;
                endedAt = std::chrono::steady_clock::now().time_since_epoch().count();
                throw;
            }
        }
        std::optional<LauncherError> thrown;
        std::atomic<std::chrono::steady_clock::rep> endedAt{0};
    };
    test::ScopedEnv recorded("HEXORA_SAMPLE_GAME_PID_TEXT", "none");
    test::ScopedEnv lifetime("HEXORA_SAMPLE_GAME_SECONDS", "120");
    test::ScopedTestClock clock(1.0);  // the waits as long as in production
    test::layOutSampleGame(storagePath());
    auto worker = std::make_shared<TimedGStart>(harness_.thread);
    harness_.thread->workers().append(worker);
    harness_.thread->start();
    ASSERT_TRUE(test::eventually([&] { return !reported("pid").empty(); }, 60.0));
    track(std::stoi(reported("pid")));

    const auto cancelledAt = std::chrono::steady_clock::now();
    harness_.thread->cancel();
    ASSERT_TRUE(test::eventually([&] { return worker->endedAt.load() != 0; }, 60.0));
    const auto ended = std::chrono::steady_clock::time_point(std::chrono::steady_clock::duration(worker->endedAt.load()));
    EXPECT_LT(ended - cancelledAt, std::chrono::seconds(1));
    harness_.thread->join();
    ASSERT_TRUE(worker->thrown);
    EXPECT_EQ(worker->thrown->code, LauncherError::Code::Succeeded);
    EXPECT_EQ(worker->thrown->terminateWhenAvailable, true);
}

TEST_F(GStartTest, LaunchRequestCarriesTheLauncherIdAndTheStorageFolder) {
    test::ScopedTestClock clock(0.0);
    test::ScopedProcessTable table(31337);
    test::ScopedProcessLauncher launcher;
    launcher->onLaunch([&](const auto&, const auto& result) {
        table->add(result.processIdentifier, GameProduct::BundleIdentifier,
                          storagePath() / "Hexora.app/Contents/MacOS/Hexora");
    });
    PlayerPrefsHelper::agent().setString("CLIENT_PROC_ID", "4242");
    const auto error = runGStart();

    const auto launches = launcher->launches();
    ASSERT_EQ(launches.size(), 1u);
    EXPECT_EQ(launches[0].executable, storagePath() / "Hexora.app/Contents/MacOS/Hexora");
    EXPECT_EQ(launches[0].arguments, std::vector<std::string>{"31337"});
    EXPECT_EQ(launches[0].workingDirectory, storagePath());
    EXPECT_TRUE(launches[0].hasExitHandler);
    EXPECT_EQ(table->activated(), std::vector<std::int32_t>{4242});
    EXPECT_NEAR(clock->sleptSeconds(), GStart::PollSeconds, 1e-9) << "one poll, then the recorded id matched";
    EXPECT_EQ(error.code, LauncherError::Code::Succeeded);
}

TEST_F(GStartTest, GameThatNeverShowsUpStillEndsTheLauncher) {
    test::ScopedTestClock clock(0.0);
    test::ScopedProcessTable table;
    test::ScopedProcessLauncher launcher;  // answers pid 4242, which the table never lists
    const auto error = runGStart();

    EXPECT_NEAR(clock->sleptSeconds(), GStart::AppearPolls * GStart::PollSeconds, 1e-6)
        << "500 polls for the process, then the second wait ends at once";
    EXPECT_TRUE(table->activated().empty());
    EXPECT_EQ(error.code, LauncherError::Code::Succeeded);
    EXPECT_EQ(error.message, "succeeded");
    EXPECT_EQ(error.terminateWhenAvailable, true);
    ASSERT_TRUE(error.rum.has_value());
    EXPECT_FALSE(error.rum->dataValue("Message").has_value());
}

TEST_F(GStartTest, ChildEndedAtOnceCountsAsAFailedLaunch) {
    test::ScopedTestClock clock(0.0);
    test::ScopedProcessLauncher launcher;
    launcher->answer({4242, false, ""});
    const auto error = runGStart();
    EXPECT_EQ(error.code, LauncherError::Code::Failed);
    EXPECT_EQ(error.message, "failed with code: 0");
    EXPECT_EQ(error.terminateWhenAvailable, false);
}

}  // namespace
}  // namespace hexora
