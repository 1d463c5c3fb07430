// The launcher's self-update: the service offers a launcher whose Info.plist
// carries a higher version (a copy of the build). The old process patches its
// own bundle, starts the new one and quits; the new one finds itself current
// and starts the game. Also when the launcher is killed in the middle of it:
// the next start finishes the road. The hand-over: the old launcher has
// ended before the new one passes its single-instance check, also when the
// collector never answers. A broken launcher scheme makes one self-update.
#include "e2e/LauncherWorld.hpp"
#include "e2e/ProcessScan.hpp"
#include "support/GzipBytes.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>

#include <fstream>

namespace hexora::e2e {
namespace {
using ::testing::Contains;
using ::testing::Not;

void offerNewerLauncher(LauncherWorld& world, std::size_t extraBytes = 0) {
    const auto newer = LauncherWorld::higherLauncherVersion();
    const auto hash = "launcher-" + newer;
    world.publish(world.makeLauncher(newer, extraBytes), newer, hash);
    world.answer(LauncherPlatform, {{"result", 1}, {"version", newer}, {"hash", hash}, {"file", newer}});
}

TEST(SelfUpdate, OldLauncherPatchesRestartsAndTheNewOneStartsTheGame) {
    LauncherWorld world(currentTestName());
    world.setGameSeconds(1);
    world.installGame("1.0.1");
    world.offerGame("1.0.1");
    offerNewerLauncher(world);

    auto old = world.startLauncher();
    ASSERT_TRUE(world.waitForGameStarts(1)) << world.road();
    const auto status = old.waitForExit(60s);
    ASSERT_TRUE(status.has_value()) << "the old launcher did not quit";
    EXPECT_EQ(describeStatus(*status), "exit 0");
    ASSERT_TRUE(world.waitForNoLauncher()) << world.road();

    EXPECT_EQ(world.installedLauncherVersion(), LauncherWorld::higherLauncherVersion());
    EXPECT_THAT(world.lastGameReport(), Not(Contains("arg=" + std::to_string(old.pid()))))
        << "the game was started by the old launcher, not the new one";
    // The restart's own records travel in an upload that is not waited for,
    // so the process's end may cut it: the road is read from the service's
    // side instead.
    EXPECT_EQ(world.apiRequests(LauncherPlatform), 2) << "the new launcher asks about itself once more";
    EXPECT_TRUE(foreignUris(world.records()).empty()) << "a request left 127.0.0.1:\n" << world.road();
    EXPECT_EQ(world.fileRequests("/update/launcher-" + LauncherWorld::higherLauncherVersion() + "/"), 2)
        << "the old launcher fetches the package, the new one its scheme";
}

// The new launcher's first request about itself comes right after its
// single-instance check; by then the old launcher must have ended. With a
// collector that accepts connections and never answers, the old launcher's
// last flush takes about 31 s, and the new one still waits for it.
class SelfUpdateHandOver : public ::testing::TestWithParam<bool> {};

TEST_P(SelfUpdateHandOver, OldLauncherEndsBeforeTheNewOnePassesItsCheck) {
    const bool collectorHangs = GetParam();
    LauncherWorld world(currentTestName());
    world.setGameSeconds(1);
    world.installGame("1.0.1");
    world.offerGame("1.0.1");
    offerNewerLauncher(world);
    if (collectorHangs) world.service().setMode("collector", "hang", true);

    auto old = world.startLauncher();
    bool oldStillRan = false;
    // The request count is read before the old launcher's state: an old
    // launcher seen running then was running after the new one's request.
    ASSERT_TRUE(waitUntil(
        [&] {
            if (world.apiRequests(LauncherPlatform) < 2) return false;
            oldStillRan = old.running();
            return true;
        },
        120s))
        << "the new launcher never asked about itself\n" << world.road();
    EXPECT_FALSE(oldStillRan) << "the new launcher went on while the old one still ran";

    const auto status = old.waitForExit(60s);
    ASSERT_TRUE(status.has_value()) << "the old launcher did not quit";
    EXPECT_EQ(describeStatus(*status), "exit 0");
    ASSERT_TRUE(world.waitForGameStarts(1, 120s)) << world.road();
    EXPECT_FALSE(world.shown("Hexora Launcher is already running"));
    EXPECT_THAT(world.lastGameReport(), Not(Contains("arg=" + std::to_string(old.pid()))))
        << "the game was started by the old launcher, not the new one";
    EXPECT_EQ(world.installedLauncherVersion(), LauncherWorld::higherLauncherVersion());
    ASSERT_TRUE(world.waitForNoLauncher(120s)) << world.road();
}

INSTANTIATE_TEST_SUITE_P(SelfUpdate, SelfUpdateHandOver, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "CollectorNeverAnswers" : "HealthyCollector"; });

// A launcher scheme that is gzip of text that is no JSON: the repair fails,
// the launcher installs its own package once and restarts; the new launcher's
// repair fails again and it stays with the failure instead of restarting.
TEST(SelfUpdate, BrokenLauncherSchemeMakesOneSelfUpdateThenShowsTheFailure) {
    LauncherWorld world(currentTestName());
    world.installGame("1.0.1");
    world.offerGame("1.0.1");
    const auto version = LauncherWorld::builtLauncherVersion();
    const std::string hash = "launcher-broken-scheme";
    world.publish(world.makeLauncher(version), version, hash);
    std::ofstream(world.service().layout().files / "update" / hash / "scheme.json.gz", std::ios::binary | std::ios::trunc)
        << hexora::test::deflateBytes("{\"files\": [ this is no JSON");
    world.answer(LauncherPlatform, {{"result", 1}, {"version", version}, {"hash", hash}});

    const auto package = "/update/" + hash + "/" + version + ".zip";
    auto old = world.startLauncher();
    const auto status = old.waitForExit(120s);
    ASSERT_TRUE(status.has_value()) << "the first launcher did not restart\n" << world.road();
    EXPECT_EQ(describeStatus(*status), "exit 0");
    // Either the new launcher's run ends with its window open, or it updates
    // once more: the package is then fetched a second time.
    ASSERT_TRUE(waitUntil(
        [&] {
            return hasRecord(world.records(), "WorkerThread", "terminated", "Succeeded") ||
                   world.fileRequests(package) > 1;
        },
        120s))
        << world.road();
    EXPECT_EQ(world.fileRequests(package), 1) << "the launcher package was downloaded more than once";
    EXPECT_TRUE(world.waitForShown("Failed to validation.", 30s)) << world.road();
    const auto running = world.launchersRunning();
    EXPECT_EQ(running.size(), 1u) << "the new launcher should stay with its failure";
    EXPECT_EQ(world.gameStartsReady(), 0);
    for (const pid_t pid : running) ::kill(pid, SIGTERM);
    ASSERT_TRUE(world.waitForNoLauncher(60s));
}

// Where the old launcher is killed with SIGKILL.
enum class KillPoint { WhileDownloading, OnceTheBundleChanged };

class KilledSelfUpdate : public ::testing::TestWithParam<KillPoint> {};

TEST_P(KilledSelfUpdate, NextStartFinishesTheRoad) {
    LauncherWorld world(currentTestName());
    world.setGameSeconds(1);
    world.installGame("1.0.1");
    world.offerGame("1.0.1");
    const bool whileDownloading = GetParam() == KillPoint::WhileDownloading;
    offerNewerLauncher(world, whileDownloading ? 24 * 1024 * 1024 : 0);
    const auto builtVersion = world.installedLauncherVersion();
    if (whileDownloading) {
        world.service().setMode("files-0", "slow", true);
        world.service().setMode("files-1", "slow", true);
    }

    auto old = world.startLauncher();
    const bool reached = waitUntil(
        [&] {
            if (whileDownloading) return world.downloadUnderWay();
            return world.installedLauncherVersion() != builtVersion;  // new version, or no Contents at all
        },
        60s);
    old.kill();
    for (const pid_t pid : world.launchersRunning()) ::kill(pid, SIGKILL);
    ASSERT_TRUE(reached) << "the self-update did not get there\n" << world.road();
    ASSERT_TRUE(world.waitForNoLauncher(10s));
    EXPECT_EQ(world.gameStartsReady(), 0);

    world.service().setMode("files-0", "slow", false);
    world.service().setMode("files-1", "slow", false);
    ASSERT_TRUE(std::filesystem::exists(world.launcherExecutable()))
        << "the killed self-update left a launcher that cannot start";
    ASSERT_EQ(world.runToGame(), "");
    EXPECT_EQ(world.installedLauncherVersion(), LauncherWorld::higherLauncherVersion());
}

INSTANTIATE_TEST_SUITE_P(SelfUpdate, KilledSelfUpdate,
                         ::testing::Values(KillPoint::WhileDownloading, KillPoint::OnceTheBundleChanged),
                         [](const auto& info) {
                             return info.param == KillPoint::WhileDownloading ? "WhileDownloading"
                                                                              : "OnceTheBundleChanged";
                         });

}  // namespace
}  // namespace hexora::e2e
