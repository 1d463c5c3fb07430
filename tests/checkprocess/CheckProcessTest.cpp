// The single-instance checks of the launcher and the game, against real
// second processes (the stand-in bundles) and the real process list.
#include "engine/LauncherError.hpp"
#include "platform/Clock.hpp"
#include "services/file/PlayerPrefsHelper.hpp"
#include "services/internal/GameProduct.hpp"
#include "services/internal/LauncherProduct.hpp"
#include "services/internal/Paths.hpp"
#include "services/rum/RumApi.hpp"
#include "support/ChildProcess.hpp"
#include "support/ChildProcessTable.hpp"
#include "support/EngineHarness.hpp"
#include "support/FakePreferenceStore.hpp"
#include "support/FakeInstanceLock.hpp"
#include "support/FakeProcessTable.hpp"
#include "support/PendingRecords.hpp"
#include "support/RunState.hpp"
#include "support/TestBundle.hpp"
#include "support/TestClock.hpp"
#include "support/WorkerFailure.hpp"
#include "workers/common/patch/CCleanUp.hpp"
#include "workers/game/GCheckProcess.hpp"
#include "workers/game/GLoadVersion.hpp"
#include "workers/game/GP22.hpp"
#include "workers/game/GStart.hpp"
#include "workers/launcher/LBoot.hpp"
#include "workers/launcher/LCheckProcess.hpp"
#include "workers/launcher/LLoadAppConfig.hpp"
#include "workers/launcher/LLoadSettings.hpp"
#include "workers/launcher/LLoadVersion.hpp"
#include "workers/launcher/LP22.hpp"
#include "workers/launcher/LUpdatePlayerPrefs.hpp"
#include "workers/launcher/SelfRestart.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <typeindex>

namespace hexora {
namespace {
namespace fs = std::filesystem;
using Worker::LauncherError;
using Worker::Hexora::GCheckProcess;
using Worker::Launcher::LCheckProcess;

constexpr const char* LauncherId = LauncherProduct::BundleIdentifier;
constexpr const char* GameId = GameProduct::BundleIdentifier;

std::string replacePid(std::string text, std::int32_t pid) {
    const auto at = text.find("{pid}");
    if (at != std::string::npos) text.replace(at, 5, std::to_string(pid));
    return text;
}

// Only the test's own children count as running applications (see
// ScopedChildProcessTable), so tests running in parallel do not see each
// other's stand-ins.

// A clock that does not sleep and whose first sleep asks `child` to quit and
// returns once it has ended: a found instance that ends during the wait.
void quitOnFirstSleep(test::TestClock& clock, const test::ChildProcess& child) {
    clock.onSleep([&child](int sleepsBefore) {
        if (sleepsBefore > 0) return;
        child.terminate();
        child.waitForExit();
    });
}

class CheckProcessTest : public test::RunStateFixture {
protected:
    static std::vector<std::type_index> typesOf(const std::vector<std::shared_ptr<Worker::WorkerBase>>& workers) {
        std::vector<std::type_index> types;
        for (const auto& worker : workers) types.emplace_back(typeid(*worker));
        return types;
    }

    /// Runs `worker` and returns what it threw (nullopt when it returned).
    static std::optional<LauncherError> run(Worker::WorkerBase& worker) {
        return test::failureOf([&] { worker.work(); });
    }

    static void record(const std::string& key, const std::string& value) {
        PlayerPrefsHelper::agent().setString(key, value);
    }

    void expectCheckAppOnly() {
        const auto states = harness_.takeStates();
        ASSERT_EQ(states.size(), 1u);
        EXPECT_EQ(states[0], LauncherState::CheckApp);
    }

    /// The error of an instance that kept running through its whole wait.
    void expectFound(const std::optional<LauncherError>& error, const std::string& type, const std::string& event,
                     const std::string& message, LauncherState state) {
        ASSERT_TRUE(error) << "the road went on";
        EXPECT_EQ(error->code, LauncherError::Code::Failed);
        EXPECT_EQ(error->type, type);
        EXPECT_EQ(error->message, message);
        EXPECT_EQ(error->state, state);
        EXPECT_EQ(error->terminateWhenAvailable, false);
        ASSERT_TRUE(error->rum);
        EXPECT_TRUE(test::recordIs(*error->rum, type, event, "Failed", "INFO"));
        EXPECT_FALSE(error->rum->Data.has_value());
        EXPECT_TRUE(Rum::Api::takePendingRecords().empty()) << "the record travels in the error";
        EXPECT_TRUE(harness_.takeQueued().empty());
        EXPECT_DOUBLE_EQ(clock_->sleptSeconds(), 3.0) << "30 polls of 0.1 s";
    }

    /// The instance lock is held by another launcher while `launcher` runs.
    void lockHeldWhileRunning(const test::ChildProcess& launcher) {
        lock_->setHolder([&launcher] { return launcher.running(); });
    }

    test::TestBundle bundle_;
    test::ScopedInstanceLock lock_;
    test::ScopedPreferenceStore prefs_;
    test::ScopedChildProcessTable processes_;
    test::ScopedTestClock clock_;
    test::EngineHarness harness_;
};

TEST_F(CheckProcessTest, NoOtherLauncherQueuesTheBootChainInOrder) {
    LCheckProcess worker(harness_.thread);
    EXPECT_FALSE(run(worker));
    expectCheckAppOnly();
    const auto queued = harness_.takeQueued();
    using namespace Worker;
    EXPECT_EQ(typesOf(queued),
              (std::vector<std::type_index>{typeid(Launcher::LLoadSettings), typeid(Launcher::LUpdatePlayerPrefs),
                                            typeid(Launcher::LLoadAppConfig), typeid(Launcher::LLoadVersion),
                                            typeid(Common::CCleanUp), typeid(Launcher::LP22)}));
    ASSERT_EQ(queued.size(), 6u);
    EXPECT_EQ(std::dynamic_pointer_cast<Common::CCleanUp>(queued[4])->paths, std::vector<fs::path>{tempPath()});
    EXPECT_TRUE(Rum::Api::takePendingRecords().empty());
    EXPECT_EQ(clock_->sleptSeconds(), 0.0);
}

// Killed runs leave temporary files of the launcher's own files and a
// backup of the launcher's Contents: once no other launcher runs, the
// clean-up before LP22 takes them with temp, and only them.
TEST_F(CheckProcessTest, TheCleanUpBeforeTheUpdateCheckTakesWhatKilledRunsLeft) {
    const fs::path storage = storagePath();
    const fs::path backup = applicationSupport() / "Hexora.old.app";
    const std::vector<fs::path> leftovers = {
        storage / "..launcher.json.tmp-a1B2c3",
        storage / ".launcherScheme.json.gz.tmp-ZZZZZZ",
        storage / ".launcherScheme.json.tmp-000000",
        storage / ".launcherRetry.json.tmp-abcdef",
        storage / ".gameScheme.json.gz.tmp-Q1w2E3",
        storage / ".gameScheme.json.tmp-Q1w2E3",
        storage / ".gameRetry.json.tmp-Q1w2E3",
        bundleRootPath() / ".Contents.tmp-kKkKkK",
        storage / "Hexora.app" / ".Contents.tmp-kKkKkK",
        applicationSupport() / ".Hexora.old.app.tmp-r4nd0m",
        backup,
    };
    const std::vector<fs::path> kept = {
        storage / ".launcher.json",
        storage / "gameScheme.json",
        storage / "..launcher.json.tmp-a1B2c",
        storage / ".launcher.json.tmp-a1B2c3",
        storage / ".save.dat.tmp-a1B2c3",
        storage / "Hexora.app" / "Contents" / "MacOS" / ".Hexora.tmp-a1B2c3",
        applicationSupport() / "notes.txt",
    };
    for (const fs::path& path : leftovers) {
        fs::create_directories(path.parent_path());
        if (path == backup || path.filename().string().rfind(".Contents", 0) == 0) {
            fs::create_directories(path / "MacOS");
            std::ofstream(path / "MacOS" / "Hexora") << "old";
        } else {
            std::ofstream(path) << "part";
        }
    }
    for (const fs::path& path : kept) {
        fs::create_directories(path.parent_path());
        std::ofstream(path) << "keep";
    }

    LCheckProcess worker(harness_.thread);
    ASSERT_FALSE(run(worker));
    const auto queued = harness_.takeQueued();
    ASSERT_EQ(queued.size(), 6u);
    const auto cleanUp = std::dynamic_pointer_cast<Worker::Common::CCleanUp>(queued[4]);
    ASSERT_TRUE(cleanUp);
    ASSERT_FALSE(cleanUp->paths.empty());
    EXPECT_EQ(cleanUp->paths.front(), tempPath());
    std::vector<fs::path> listed(cleanUp->paths.begin() + 1, cleanUp->paths.end());
    std::sort(listed.begin(), listed.end());
    std::vector<fs::path> expected = leftovers;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(listed, expected);

    cleanUp->work();
    for (const fs::path& path : leftovers) EXPECT_FALSE(fs::exists(fs::symlink_status(path))) << path;
    for (const fs::path& path : kept) EXPECT_TRUE(fs::exists(path)) << path;
    EXPECT_TRUE(fs::is_directory(bundleRootPath() / "Contents" / "MacOS"));
}

// The backup goes only beside a whole launcher: without the launcher's
// Contents it may be the only copy of them, and it stays.
TEST_F(CheckProcessTest, ABackupStaysWhileTheLaunchersContentsAreMissing) {
    const fs::path backup = applicationSupport() / "Hexora.old.app";
    fs::create_directories(backup / "MacOS");
    fs::remove_all(bundleRootPath() / "Contents");
    LCheckProcess worker(harness_.thread);
    ASSERT_FALSE(run(worker));
    const auto queued = harness_.takeQueued();
    ASSERT_EQ(queued.size(), 6u);
    EXPECT_EQ(std::dynamic_pointer_cast<Worker::Common::CCleanUp>(queued[4])->paths, std::vector<fs::path>{tempPath()});
}

TEST_F(CheckProcessTest, NoGameQueuesVersionCleanUpAndUpdateCheck) {
    GCheckProcess worker(harness_.thread);
    EXPECT_FALSE(run(worker));
    expectCheckAppOnly();
    const auto queued = harness_.takeQueued();
    using namespace Worker;
    EXPECT_EQ(typesOf(queued), (std::vector<std::type_index>{typeid(Hexora::GLoadVersion), typeid(Common::CCleanUp),
                                                             typeid(Hexora::GP22)}));
    ASSERT_EQ(queued.size(), 3u);
    EXPECT_EQ(std::dynamic_pointer_cast<Common::CCleanUp>(queued[1])->paths, std::vector<fs::path>{tempPath()});
    EXPECT_TRUE(Rum::Api::takePendingRecords().empty());
}

TEST_F(CheckProcessTest, PreventedUpdatesQueueOnlyVersionAndGameStart) {
    Worker::Launcher::setSkipUpdate(true);
    GCheckProcess worker(harness_.thread);
    EXPECT_FALSE(run(worker));
    using namespace Worker;
    EXPECT_EQ(typesOf(harness_.takeQueued()),
              (std::vector<std::type_index>{typeid(Hexora::GLoadVersion), typeid(Hexora::GStart)}));
}

// A second launcher that keeps running: which lookup finds it depends on what
// "LAUNCHER_PROC_ID" holds.
TEST_F(CheckProcessTest, RunningSecondLauncherEndsTheRoadByTheLookupThatFoundIt) {
    test::ChildProcess other(test::launcherStandInExecutable());
    test::ChildProcess hub(test::developerHubExecutable());
    lockHeldWhileRunning(other);
    struct Case {
        std::string recorded;
        std::string ending;
    };
    const std::vector<Case> cases = {
        {"{pid}", "procId"},
        {"+{pid}", "procId"},
        {"", "bundle id"},
        {" {pid}", "bundle id"},  // blanks around the id: lookup 1 does not apply
        {"{pid}\n", "bundle id"},
        {"{pid}x", "bundle id"},
        {std::to_string(hub.pid()), "bundle id"},  // a running process that is no launcher
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("recorded \"" + c.recorded + "\"");
        record("LAUNCHER_PROC_ID", replacePid(c.recorded, other.pid()));
        test::ScopedTestClock clock;
        LCheckProcess worker(harness_.thread);
        const auto error = run(worker);
        ASSERT_TRUE(error);
        EXPECT_EQ(error->rum->Event, "already running by " + c.ending);
        EXPECT_EQ(error->message, "Launcher is already running by " + c.ending);
        EXPECT_EQ(error->state, LauncherState::Found_Launcher);
        EXPECT_DOUBLE_EQ(clock->sleptSeconds(), 3.0);
        EXPECT_TRUE(harness_.takeQueued().empty());
        expectCheckAppOnly();
    }
    EXPECT_TRUE(other.running());
}

TEST_F(CheckProcessTest, RunningSecondLauncherRecordedByIdGivesTheFullError) {
    test::ChildProcess other(test::launcherStandInExecutable());
    lockHeldWhileRunning(other);
    record("LAUNCHER_PROC_ID", std::to_string(other.pid()));
    LCheckProcess worker(harness_.thread);
    expectFound(run(worker), "LCheckProcess", "already running by procId", "Launcher is already running by procId",
                LauncherState::Found_Launcher);
}

TEST_F(CheckProcessTest, LauncherThatQuitsDuringTheWaitLetsTheRoadGoOn) {
    test::ChildProcess old(test::launcherStandInExecutable());
    lockHeldWhileRunning(old);
    record("LAUNCHER_PROC_ID", std::to_string(old.pid()));
    test::ScopedTestClock clock(0.0);
    quitOnFirstSleep(*clock, old);

    LCheckProcess worker(harness_.thread);
    const auto error = run(worker);
    EXPECT_FALSE(error) << (error ? error->message : "");
    EXPECT_FALSE(old.running());
    EXPECT_DOUBLE_EQ(clock->sleptSeconds(), 0.1) << "the wait ends at the first look after the launcher ended";
    EXPECT_EQ(harness_.takeQueued().size(), 6u);
}

// After a self-restart the old launcher (its id the one argument) is given
// until it has ended its run, 40 s; any other launcher still gets 3 s.
TEST_F(CheckProcessTest, OldLauncherOfASelfRestartGetsTheLongerWait) {
    test::ChildProcess old(test::launcherStandInExecutable());
    test::ChildProcess hub(test::developerHubExecutable());
    lockHeldWhileRunning(old);
    struct Case {
        const char* name;
        std::optional<std::int32_t> handedOverFrom;
        double waited;
    };
    const Case cases[] = {
        {"handed over from the running launcher", old.pid(), 40.0},
        {"handed over from another process", hub.pid(), 3.0},
        {"started by the user", std::nullopt, 3.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Worker::Launcher::SelfRestart::setPreviousLauncher(c.handedOverFrom);
        record("LAUNCHER_PROC_ID", std::to_string(old.pid()));
        test::ScopedTestClock clock;
        LCheckProcess worker(harness_.thread);
        const auto error = run(worker);
        ASSERT_TRUE(error);
        EXPECT_EQ(error->message, "Launcher is already running by procId");
        EXPECT_NEAR(clock->sleptSeconds(), c.waited, 1e-6);
        EXPECT_TRUE(harness_.takeQueued().empty());
        harness_.takeEvents();
    }
    EXPECT_TRUE(old.running());
}

// Launchers started together (a double click): each sees the other in the
// process table, so the lock decides. The one that holds it goes on at once,
// whatever else runs; one that cannot take it waits like for a found
// launcher, goes on when the lock comes free meanwhile, and otherwise ends
// with Found_Launcher named by the lookup that finds the holder (lookup 2's
// texts when none does). Without a lock to be had, the lookups alone decide.
TEST_F(CheckProcessTest, InstanceLockSettlesWhichOfTheLaunchersGoesOn) {
    struct Case {
        const char* name;
        bool otherHolds;
        int freeAfterLooks;  // 0: never
        bool unavailable;
        bool otherRuns;
        std::optional<std::string> ending;  // nullopt: the road goes on
        double waited;
    };
    const Case cases[] = {
        {"this one holds it, the other runs", false, 0, false, true, std::nullopt, 0.0},
        {"held by the other", true, 0, false, true, "bundle id", 3.0},
        {"held by a launcher no lookup finds", true, 0, false, false, "bundle id", 3.0},
        {"comes free during the wait", true, 5, false, true, std::nullopt, 0.3},
        {"no lock, the other runs", false, 0, true, true, "bundle id", 3.0},
        {"no lock, nothing else runs", false, 0, true, false, std::nullopt, 0.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::ScopedInstanceLock lock;
        auto looks = std::make_shared<int>(0);
        if (c.otherHolds)
            lock->setHolder([c, looks] { return c.freeAfterLooks == 0 || ++*looks < c.freeAfterLooks; });
        lock->setUnavailable(c.unavailable);
        test::ScopedProcessTable table(500);
        if (c.otherRuns) table->add(600, std::string(LauncherId), "/elsewhere/Hexora.app/Contents/MacOS/Hexora");
        test::ScopedTestClock clock;
        LCheckProcess worker(harness_.thread);

        const auto error = run(worker);

        EXPECT_EQ(lock->asked().front(), applicationSupport() / "instance.lock");
        EXPECT_NEAR(clock->sleptSeconds(), c.waited, 1e-6);
        if (!c.ending) {
            EXPECT_FALSE(error) << error->message;
            EXPECT_EQ(harness_.takeQueued().size(), 6u);
        } else {
            ASSERT_TRUE(error);
            EXPECT_EQ(error->rum->Event, "already running by " + *c.ending);
            EXPECT_EQ(error->message, "Launcher is already running by " + *c.ending);
            EXPECT_EQ(error->state, LauncherState::Found_Launcher);
            EXPECT_TRUE(harness_.takeQueued().empty());
        }
        expectCheckAppOnly();
    }
}

// The game check never gives the longer wait.
TEST_F(CheckProcessTest, GameCheckIgnoresTheSelfRestart) {
    test::ChildProcess game(test::layOutStandIn(storagePath(), "Hexora", "Hexora", GameId));
    record("CLIENT_PROC_ID", std::to_string(game.pid()));
    Worker::Launcher::SelfRestart::setPreviousLauncher(game.pid());
    GCheckProcess worker(harness_.thread);
    const auto error = run(worker);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->state, LauncherState::Found_App);
    EXPECT_DOUBLE_EQ(clock_->sleptSeconds(), 3.0);
}

// The launcher's own executable is looked for too (here the test bundle's);
// the launcher itself never counts.
TEST_F(CheckProcessTest, AnotherProcessOfTheOwnExecutableIsFoundByLookupThree) {
    const auto own = executablePath();
    EXPECT_EQ(own, bundle_.bundle() / "Contents/MacOS/Hexora");
    ASSERT_FALSE(own.empty());
    test::ScopedProcessTable table(500);
    table->add(500, LauncherId, own);
    {
        LCheckProcess worker(harness_.thread);
        EXPECT_FALSE(run(worker));
        harness_.takeQueued();
    }
    table->add(501, std::nullopt, own);
    lock_->setHolder([] { return true; });
    harness_.takeEvents();
    LCheckProcess worker(harness_.thread);
    expectFound(run(worker), "LCheckProcess", "already running by bundle exe",
                "Launcher is already running by bundle exe", LauncherState::Found_Launcher);
}

// The game as a real process in the storage folder, found by each lookup in turn.
TEST_F(CheckProcessTest, RunningGameEndsTheRoadWithFoundApp) {
    struct Case {
        std::string bundleIdentifier;
        bool recordPid;
        std::string event;
    };
    const std::vector<Case> cases = {
        {GameId, true, "already running by pid"},
        {GameId, false, "already running by bundle id"},
        {"", true, "already running by bundle exe"},  // no identifier: the recorded id does not count
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.event);
        const auto executable = test::layOutStandIn(storagePath(), "Hexora", "Hexora", c.bundleIdentifier);
        test::ChildProcess game(executable);
        record("CLIENT_PROC_ID", c.recordPid ? std::to_string(game.pid()) : "");
        test::ScopedTestClock clock;
        GCheckProcess worker(harness_.thread);
        const auto error = run(worker);
        ASSERT_TRUE(error);
        EXPECT_EQ(error->type, "GCheckProcess");
        EXPECT_EQ(error->rum->MinorType, "GCheckProcess");
        EXPECT_EQ(error->rum->Event, c.event);
        EXPECT_EQ(error->message, c.event);
        EXPECT_EQ(error->state, LauncherState::Found_App);
        EXPECT_EQ(error->terminateWhenAvailable, false);
        EXPECT_DOUBLE_EQ(clock->sleptSeconds(), 3.0);
        EXPECT_TRUE(harness_.takeQueued().empty());
        expectCheckAppOnly();
    }
}

TEST_F(CheckProcessTest, GameThatQuitsDuringTheWaitLetsTheRoadGoOn) {
    Worker::Launcher::setSkipUpdate(true);
    test::ChildProcess game(test::layOutStandIn(storagePath(), "Hexora", "Hexora", GameId));
    record("CLIENT_PROC_ID", std::to_string(game.pid()));
    test::ScopedTestClock clock(0.0);
    quitOnFirstSleep(*clock, game);

    GCheckProcess worker(harness_.thread);
    const auto error = run(worker);
    EXPECT_FALSE(error) << (error ? error->message : "");
    using namespace Worker;
    EXPECT_EQ(typesOf(harness_.takeQueued()),
              (std::vector<std::type_index>{typeid(Hexora::GLoadVersion), typeid(Hexora::GStart)}));
}

}  // namespace
}  // namespace hexora
