// The game already runs when the launcher starts: the plain start ends with
// Found_App on screen; a start by a URL of an accepted scheme, in each form
// web pages and desktops pass, hands the URL to the running game and quits,
// also when the desktop's URL opener (xdg-open, with the entry the install
// script writes) starts the launcher. With no game running, the URL start
// takes the normal road and the started game finds the URL.
#include "e2e/LauncherWorld.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

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
    EXPECT_TRUE(world.waitForShown("Hexora is already running.")) << world.road();
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

TEST_F(GameRunning, EachUrlFormIsHandedToTheRunningGame) {
    struct Form {
        const char* url;
        const char* key;
    };
    const Form forms[] = {
        {"hexoramac://join/123", "hexoramac_uri"},
        {"hexoramac:join/124", "hexoramac_uri"},
        {"hexoramac:/join/125", "hexoramac_uri"},
        {"hexoramac:join/room 126?name={a}%zz", "hexoramac_uri"},
        {"com.tarq.hexora:invite/127", "com.tarq.hexora_uri"},
        {"hexora-game.com://match/128", "hexora-game.com_uri"},
        {"www.hexora-game.com:match/129", "www.hexora-game.com_uri"},
    };
    world.setGameSeconds(600);  // up for every launch; ended with the test
    auto game = startGameByHand(world);
    for (const auto& form : forms) {
        SCOPED_TRACE(form.url);
        auto launcher = world.startLauncher({form.url});
        const auto status = launcher.waitForExit(60s);
        ASSERT_TRUE(status.has_value()) << "the launcher did not quit\n" << world.road();
        EXPECT_EQ(describeStatus(*status), "exit 0");
        EXPECT_EQ(world.gamePreference(form.key), form.url);
        EXPECT_TRUE(world.waitForRunRecord("WorkerThread", "openUrls", "Info")) << world.road();
        EXPECT_TRUE(hasRecord(world.runRecords(), "GHandleOpenUrls", "handle by  procId", "Succeeded"))
            << world.road();
    }
    EXPECT_EQ(world.apiRequests(LauncherPlatform), 0) << "the hand-off takes no road";
    EXPECT_TRUE(game.running());
}

TEST_F(GameRunning, DesktopUrlOpenerReachesTheLauncherThroughTheInstalledEntry) {
    if (!world.display().available()) GTEST_SKIP() << "xdg-open opens scheme URLs only with a display";
    ASSERT_TRUE(std::filesystem::exists("/usr/bin/xdg-open")) << "xdg-utils missing: scripts/install-deps.sh";
    const auto environment = world.environment();
    ChildProcess install("/bin/bash", {HEXORA_DESKTOP_ENTRY_SCRIPT, world.launcherBundle().string()}, environment,
                         world.root(), world.logs() / "install-desktop-entry.log");
    const auto installed = install.waitForExit(60s);
    ASSERT_TRUE(installed.has_value());
    ASSERT_EQ(describeStatus(*installed), "exit 0") << test::readFile(install.logFile());

    auto game = startGameByHand(world);
    const std::string url = "hexoramac:join/321";
    ChildProcess opener("/usr/bin/xdg-open", {url}, environment, world.root(), world.logs() / "xdg-open.log");
    const auto opened = opener.waitForExit(60s);
    ASSERT_TRUE(opened.has_value()) << "xdg-open did not end\n" << world.road();
    EXPECT_EQ(describeStatus(*opened), "exit 0") << test::readFile(opener.logFile());
    EXPECT_EQ(world.gamePreference("hexoramac_uri"), url) << test::readFile(opener.logFile());
    EXPECT_TRUE(hasRecord(world.records(), "GHandleOpenUrls", "handle by  procId", "Succeeded")) << world.road();
    EXPECT_TRUE(world.waitForNoLauncher());
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
