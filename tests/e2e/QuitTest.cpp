// Quitting while the road works: SIGTERM or the window's close button during
// a large download defers the quit (ReservedAppTerminating), cancels the run,
// sends the last telemetry batch and then exits, leaving the installed game as
// it was. A quit while the launcher waits on something that never comes (a
// hanging server, the install alert, the game) ends it within seconds. After
// a failed road, a quit ends the launcher at once.
#include "e2e/LauncherWorld.hpp"
#include "e2e/WindowClose.hpp"

#include "support/SmallFileSystem.hpp"
#include "support/TempDir.hpp"

#include <gtest/gtest.h>
#include <signal.h>

#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

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

// A quit ends the launcher within seconds wherever it waits on something
// that never comes: a server that takes the request and never answers, the
// install alert, the game's confirmation. Each case bounds only the time
// from the quit to the end of the process.
struct Arranged {
    std::shared_ptr<void> kept;
    std::string skipReason;
};

struct HangCase {
    const char* name;
    /// Whether the window is there to be closed (else only SIGTERM is a case).
    bool hasWindow;
    /// Sets the world up (the game 1.0.1 installed); what it returns lives until the test ends, or
    /// names why the case cannot run here.
    std::function<Arranged(LauncherWorld&)> arrange;
    /// The launcher's extra environment.
    ChildProcess::Environment environment;
    /// True once the launcher waits where the case wants it.
    std::function<bool(LauncherWorld&, ChildProcess&)> waiting;
};

void hang(LauncherWorld& world, const std::vector<std::string>& domains, const std::string& mode) {
    for (const auto& domain : domains) world.service().setMode(domain, mode, true);
}

const HangCase hangCases[] = {
    {"TheUpdateApiHangs", true,
     [](LauncherWorld& world) -> Arranged {
         hang(world, {"api-0", "api-1"}, "hang");
         return {};
     },
     {},
     [](LauncherWorld& world, ChildProcess&) { return world.apiRequests(LauncherPlatform) > 0; }},
    {"TheFileDomainsHangDuringTheRemoteConfiguration", true,
     [](LauncherWorld& world) -> Arranged {
         hang(world, {"files-0", "files-1"}, "hang");
         return {};
     },
     {},
     [](LauncherWorld& world, ChildProcess&) { return world.heldFileRequests("hexora_config.csv") > 0; }},
    {"TheFileDomainsHangDuringTheSchemeDownload", true,
     [](LauncherWorld& world) -> Arranged {
         world.offerCurrentLauncher();
         hang(world, {"files-0", "files-1"}, "hang-update");
         return {};
     },
     {},
     [](LauncherWorld& world, ChildProcess&) { return world.heldFileRequests("scheme.json.gz") > 0; }},
    {"TheCollectorHangsOnTheFailureScreen", true,
     [](LauncherWorld& world) -> Arranged {
         hang(world, {"api-0", "api-1"}, "error");
         hang(world, {"collector"}, "hang");
         return {};
     },
     {},
     [](LauncherWorld& world, ChildProcess& launcher) {
         return world.runToFailure(launcher).empty() && world.waitForShown("Connection failed.", 10s);
     }},
    {"TheInstallAlertIsUp", false,
     [](LauncherWorld& world) -> Arranged {
         auto readOnly = std::make_shared<test::SmallFileSystem>(world.storage(), 1 << 20, /*readOnly=*/true);
         if (!readOnly->available()) return {nullptr, readOnly->reason()};
         return {readOnly, ""};
     },
     {},
     [](LauncherWorld& world, ChildProcess&) { return world.logged("failed to test file write: Read-only file system"); }},
    {"TheLauncherWaitsForTheGame", false,
     [](LauncherWorld& world) -> Arranged {
         world.setGameSeconds(120);
         world.offerCurrentLauncher();
         world.offerGame("1.0.1");
         return {};
     },
     {{"HEXORA_SAMPLE_GAME_PID_TEXT", "none"}},  // the game never confirms
     [](LauncherWorld& world, ChildProcess&) { return !world.gameReport().empty(); }},
};

class QuitWhileWaiting : public ::testing::TestWithParam<std::tuple<std::size_t, QuitBy>> {};

TEST_P(QuitWhileWaiting, EndsTheProcessWithinThreeSeconds) {
    const auto& [index, by] = GetParam();
    const HangCase& c = hangCases[index];
    LauncherWorld world(currentTestName());
    if (by == QuitBy::WindowClose && !world.display().available()) GTEST_SKIP() << "needs Xvfb";
    world.installGame("1.0.1");
    const Arranged arranged = c.arrange(world);
    if (!arranged.skipReason.empty()) GTEST_SKIP() << arranged.skipReason;

    auto launcher = world.startLauncher({}, c.environment);
    ASSERT_TRUE(waitUntil([&] { return c.waiting(world, launcher) || !launcher.running(); }, 90s)) << world.road();
    ASSERT_TRUE(launcher.running()) << world.road();
    world.screenshot("1-waiting");
    ASSERT_TRUE(quit(world, launcher, by)) << "no launcher window to close";
    const auto status = launcher.waitForExit(3s);
    world.screenshot("2-after-the-quit");
    world.stopGames();
    ASSERT_TRUE(status.has_value()) << "the launcher did not end within 3 s of the quit\n" << world.road();
    EXPECT_EQ(describeStatus(*status), "exit 0");
}

std::string hangCaseName(const ::testing::TestParamInfo<std::tuple<std::size_t, QuitBy>>& info) {
    const auto& [index, by] = info.param;
    return std::string(hangCases[index].name) + (by == QuitBy::Sigterm ? "_Sigterm" : "_WindowClose");
}

// Every case by SIGTERM, and by the window's close button where there is a window.
std::vector<std::tuple<std::size_t, QuitBy>> hangQuits() {
    std::vector<std::tuple<std::size_t, QuitBy>> quits;
    for (std::size_t index = 0; index < std::size(hangCases); ++index) {
        quits.emplace_back(index, QuitBy::Sigterm);
        if (hangCases[index].hasWindow) quits.emplace_back(index, QuitBy::WindowClose);
    }
    return quits;
}

INSTANTIATE_TEST_SUITE_P(Quit, QuitWhileWaiting, ::testing::ValuesIn(hangQuits()), hangCaseName);

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
