// Two launchers started within a few milliseconds of each other (a double
// click: the desktop starts a second process): exactly one goes on and
// starts the game, the other ends as a launcher started later does, with
// "Hexora Launcher is already running" and its window open, and neither
// takes the other's write test for a lack of permission.
#include "e2e/LauncherWorld.hpp"
#include "e2e/ProcessScan.hpp"
#include "support/TempDir.hpp"

#include <gtest/gtest.h>

#include <algorithm>

namespace hexora::e2e {
namespace {

constexpr const char* AlreadyRunning = "Hexora Launcher is already running";

TEST(DoubleStart, ExactlyOneOfTwoLaunchersStartedTogetherGoesOn) {
    LauncherWorld world(currentTestName());
    world.setGameSeconds(0.5);
    world.installGame("1.0.1");
    world.offerGame("1.0.1");
    world.offerCurrentLauncher();

    for (int round = 1; round <= 10; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const int gamesBefore = world.gameStartsReady();
        auto first = world.startLauncher();
        auto second = world.startLauncher();
        const int firstStart = world.launcherStarts() - 1;
        const int secondStart = world.launcherStarts();

        ASSERT_TRUE(world.waitForGameStarts(gamesBefore + 1)) << world.road();
        // The one that went on quits after the game start; the other stays
        // with the notice.
        ASSERT_TRUE(waitUntil([&] { return first.running() != second.running(); }, 60s))
            << "first " << (first.running() ? "runs" : "ended") << ", second "
            << (second.running() ? "runs" : "ended") << "\n" << world.road();
        const bool firstWentOn = !first.running();
        auto& stayed = firstWentOn ? second : first;
        const int stayedStart = firstWentOn ? secondStart : firstStart;
        const int wentOnStart = firstWentOn ? firstStart : secondStart;
        EXPECT_TRUE(waitUntil([&] { return world.shownByStart(stayedStart, AlreadyRunning); }, 30s))
            << "the launcher that did not go on shows no notice\n"
            << hexora::test::readFile(world.launcherLog(stayedStart));
        EXPECT_TRUE(stayed.running()) << "it keeps its window open";
        EXPECT_FALSE(world.shownByStart(wentOnStart, AlreadyRunning));
        for (const int start : {firstStart, secondStart}) {
            EXPECT_EQ(hexora::test::readFile(world.launcherLog(start)).find("permission denied"), std::string::npos)
                << "launcher " << start << " quit for a lack of permission";
        }
        stayed.terminate();
        ASSERT_TRUE(stayed.waitForExit(30s).has_value());
        ASSERT_TRUE(world.waitForNoLauncher(30s));
        EXPECT_EQ(world.gameStartsReady(), gamesBefore + 1) << "the game started more than once";
        world.stopGames();
    }
    EXPECT_FALSE(hasRecord(world.records(), "LBoot", "start", "Failed")) << world.road();
}

}  // namespace
}  // namespace hexora::e2e
