// The game already runs when the launcher starts: the plain start ends with
// Found_App on screen; a start by a "hexoramac" URL hands the URL to the
// running game and quits. With no game running, the URL start takes the
// normal road and the started game finds the URL.
#include "e2e/LauncherWorld.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace hexora::e2e {
namespace {
using ::testing::Contains;

const std::string JoinUrl = "hexoramac://join/123";

// Starts the installed game as the user would, and waits until it is up.
ChildProcess startGameByHand(LauncherWorld& world) {
    auto game = ChildProcess(world.gameExecutable(), {}, world.environment(), world.storage(),
                             world.logs() / "game-by-hand.log");
    EXPECT_TRUE(world.waitForGameStarts(world.gameStartsReady() + 1)) << "the game did not come up";
    return game;
}

class GameRunning : public ::testing::Test {
protected:
    void SetUp() override {
        world.installGame("1.0.1");
        world.offerCurrentLauncher();
        world.offerGame("1.0.1");
    }
    LauncherWorld world{currentTestName()};
};

TEST_F(GameRunning, PlainStartShowsFoundApp) {
    auto game = startGameByHand(world);
    auto launcher = world.startLauncher();
    ASSERT_EQ(world.runToFailure(launcher), "");
    world.screenshot("found-app");
    EXPECT_TRUE(world.shown("Hexora is already running.")) << world.road();
    EXPECT_TRUE(hasRecord(world.runRecords(), "GCheckProcess", "already running by pid", "Failed")) << world.road();
    EXPECT_TRUE(launcher.running());
    EXPECT_TRUE(game.running());
}

TEST_F(GameRunning, UrlIsHandedToTheRunningGameAndTheLauncherQuits) {
    auto game = startGameByHand(world);
    auto launcher = world.startLauncher({JoinUrl});
    const auto status = launcher.waitForExit(60s);
    ASSERT_TRUE(status.has_value()) << "the launcher did not quit\n" << world.road();
    EXPECT_EQ(describeStatus(*status), "exit 0");
    EXPECT_EQ(world.gamePreference("hexoramac_uri"), JoinUrl);
    EXPECT_TRUE(hasRecord(world.runRecords(), "GHandleOpenUrls", "handle by  procId", "Succeeded")) << world.road();
    EXPECT_EQ(world.apiRequests(LauncherPlatform), 0) << "the hand-off takes no road";
    EXPECT_TRUE(game.running());
}

TEST_F(GameRunning, WithoutGameTheUrlStartTakesTheRoadAndTheGameGetsTheUrl) {
    world.setGameSeconds(1);
    ASSERT_EQ(world.runToGame({JoinUrl}), "");
    EXPECT_THAT(world.lastGameReport(), Contains("uri hexoramac_uri=" + JoinUrl));
    EXPECT_EQ(world.apiRequests(GamePlatform), 1);
}

}  // namespace
}  // namespace hexora::e2e
