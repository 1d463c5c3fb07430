// Quitting while the road works: SIGTERM or the window's close button during
// a large download defers the quit (ReservedAppTerminating), cancels the run,
// sends the last telemetry batch and then exits, leaving the installed game as
// it was. A quit while the update API hangs ends the launcher within seconds.
// After a failed road, a quit ends the launcher at once.
#include "e2e/LauncherWorld.hpp"
#include "e2e/WindowClose.hpp"

#include "support/TempDir.hpp"

#include <gtest/gtest.h>
#include <signal.h>

namespace hexora::e2e {
namespace {
using hexora::test::readFile;

enum class QuitBy { Sigterm, WindowClose };

std::string quitByName(const ::testing::TestParamInfo<QuitBy>& info) {
    return info.param == QuitBy::Sigterm ? "Sigterm" : "WindowClose";
}

// Sends the quit; false when there was no window to close.
bool quit(LauncherWorld& world, ChildProcess& launcher, QuitBy by) {
    if (by == QuitBy::Sigterm) {
        launcher.signal(SIGTERM);
        return true;
    }
    return closeWindowsOf(world.display().display(), launcher.pid());
}

// What a deferred quit leaves: the notice on screen, the cancelled run and
// the termination after it.
void expectDeferredQuit(const LauncherWorld& world) {
    EXPECT_TRUE(world.shown("Hexora Launcher will be terminated.")) << world.road();
    const auto records = world.runRecords();
    EXPECT_TRUE(hasRecord(records, "WorkerThread", "cancel", "Start")) << world.road();
    EXPECT_TRUE(hasRecord(records, "WorkerThread", "cancel", "Succeeded")) << world.road();
    EXPECT_TRUE(hasRecord(records, "WorkerThread", "terminated with terminating app", "Succeeded")) << world.road();
}

class QuitDuringDownload : public ::testing::TestWithParam<QuitBy> {};

// Whether a good part of the package arrived (so the bar shows it).
bool packageArriving(const LauncherWorld& world) {
    std::error_code error;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(world.storage() / "temp", error)) {
        if (entry.is_regular_file(error) && entry.file_size(error) > 4 * 1024 * 1024) return true;
    }
    return false;
}

TEST_P(QuitDuringDownload, ExitsAfterTheThreadEndedWithTheGameUntouched) {
    LauncherWorld world(currentTestName());
    if (GetParam() == QuitBy::WindowClose && !world.display().available()) GTEST_SKIP() << "needs Xvfb";
    world.installGame("1.0.1");
    world.offerCurrentLauncher();
    world.offerGame("1.0.2", 48 * 1024 * 1024);
    world.service().setMode("files-0", "slow", true);
    world.service().setMode("files-1", "slow", true);
    const auto installed = world.makeGame("1.0.1");

    auto launcher = world.startLauncher();
    ASSERT_TRUE(waitUntil([&] { return packageArriving(world) || !launcher.running(); }, 60s)) << world.road();
    ASSERT_TRUE(launcher.running()) << world.road();
    world.screenshot("1-downloading");
    ASSERT_TRUE(quit(world, launcher, GetParam())) << "no launcher window to close";
    world.screenshot("2-quitting");
    const auto status = launcher.waitForExit(60s);
    ASSERT_TRUE(status.has_value()) << "the launcher did not quit\n" << world.road();
    EXPECT_EQ(describeStatus(*status), "exit 0");

    expectDeferredQuit(world);
    EXPECT_EQ(world.gameStartsReady(), 0);
    EXPECT_EQ(world.installedGameVersion(), "1.0.1");
    EXPECT_EQ(readFile(world.gameExecutable()), readFile(installed / "Contents/MacOS/Hexora"));
    EXPECT_FALSE(std::filesystem::exists(world.gameBundle() / "Contents/Resources/data.bin"));
}

INSTANTIATE_TEST_SUITE_P(Quit, QuitDuringDownload, ::testing::Values(QuitBy::Sigterm, QuitBy::WindowClose),
                         quitByName);

// The update API takes the request and never answers: the quit cancels the
// run, which stops the request in flight, and the launcher ends within
// seconds (the collector answers).
class QuitWhileTheApiHangs : public ::testing::TestWithParam<QuitBy> {};

TEST_P(QuitWhileTheApiHangs, EndsWithinTenSeconds) {
    LauncherWorld world(currentTestName());
    if (GetParam() == QuitBy::WindowClose && !world.display().available()) GTEST_SKIP() << "needs Xvfb";
    world.installGame("1.0.1");
    world.service().setMode("api-0", "hang", true);
    world.service().setMode("api-1", "hang", true);

    auto launcher = world.startLauncher();
    const auto asked = [&] { return world.apiRequests(32) + world.apiRequests(33) > 0; };
    ASSERT_TRUE(waitUntil([&] { return asked() || !launcher.running(); }, 60s)) << world.road();
    ASSERT_TRUE(launcher.running()) << world.road();
    ASSERT_TRUE(quit(world, launcher, GetParam())) << "no launcher window to close";
    const auto status = launcher.waitForExit(10s);
    ASSERT_TRUE(status.has_value()) << "the launcher did not quit within 10 s\n" << world.road();
    EXPECT_EQ(describeStatus(*status), "exit 0");

    expectDeferredQuit(world);
    EXPECT_EQ(world.gameStartsReady(), 0);
}

INSTANTIATE_TEST_SUITE_P(Quit, QuitWhileTheApiHangs, ::testing::Values(QuitBy::Sigterm, QuitBy::WindowClose),
                         quitByName);

TEST(Quit, AfterAFailedRoadTheLauncherEndsAtOnce) {
    LauncherWorld world(currentTestName());
    world.installGame("1.0.1");
    world.service().setMode("api-0", "error", true);
    world.service().setMode("api-1", "error", true);

    auto launcher = world.startLauncher();
    ASSERT_EQ(world.runToFailure(launcher), "");
    EXPECT_TRUE(world.waitForShown("Connection failed.")) << world.road();
    launcher.signal(SIGTERM);
    const auto status = launcher.waitForExit(10s);
    ASSERT_TRUE(status.has_value()) << "the launcher did not quit";
    EXPECT_EQ(describeStatus(*status), "exit 0");
    EXPECT_FALSE(hasRecord(world.runRecords(), "WorkerThread", "cancel", "Start")) << "nothing was left to cancel";
    EXPECT_FALSE(world.shown("Hexora Launcher will be terminated.")) << "the quit was deferred";
}

}  // namespace
}  // namespace hexora::e2e
