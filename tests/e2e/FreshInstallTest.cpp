// A user's first start: no game installed. The launcher finds itself current,
// downloads the game's package, unzips, validates and installs it, starts it
// with its own process id and quits.
#include "e2e/LauncherWorld.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace hexora::e2e {
namespace {
using ::testing::Contains;

TEST(FreshInstall, DownloadsValidatesInstallsAndStartsTheGame) {
    LauncherWorld world(currentTestName());
    world.offerCurrentLauncher();
    world.offerGame("1.0.1");

    auto launcher = world.startLauncher();
    if (world.display().available()) {
        waitUntil([&] { return world.display().hasWindow("Hexora") || !launcher.running(); }, 30s);
        world.screenshot("1-window");
        // The decompression and validation steps each hold their state for a second.
        if (world.waitForShown("Decompressing files", 30s)) world.screenshot("2-decompressing");
        if (world.waitForShown("Validating files", 30s)) world.screenshot("3-validating");
    }
    ASSERT_TRUE(world.waitForGameStarts(1)) << world.road();
    const auto status = launcher.waitForExit(60s);
    ASSERT_TRUE(status.has_value()) << "the launcher did not quit after starting the game\n" << world.road();
    EXPECT_EQ(describeStatus(*status), "exit 0");

    EXPECT_TRUE(world.shown("Initializing")) << world.road();
    EXPECT_TRUE(world.shown("Downloading update file")) << world.road();
    const auto game = world.lastGameReport();
    EXPECT_THAT(game, Contains("arg=" + std::to_string(launcher.pid()))) << "the game got the launcher's process id";
    EXPECT_THAT(game, Contains("cwd=" + world.storage().string()));
    EXPECT_EQ(world.installedGameVersion(), "1.0.1");
    EXPECT_EQ(world.fileRequests("/update/game-1.0.1/1.0.1.zip"), 1);
    EXPECT_FALSE(std::filesystem::exists(world.storage() / "temp" / "1.0.1.zip")) << "the package was cleaned up";

    const auto records = world.records();
    for (const auto& [minorType, event, state] : std::vector<std::tuple<std::string, std::string, std::string>>{
             {"ViewController", "didLoad", "Start"},
             {"POST", "22", "Succeeded"},
             {"CPatch", "completed", "Succeeded"},
             {"GStart", "start", "Start"},
             {"GStart", "succeeded", "Succeeded"},
             {"WorkerThread", "terminated with terminating app", "Succeeded"}}) {
        EXPECT_TRUE(hasRecord(records, minorType, event, state))
            << minorType << " " << event << " " << state << " missing; road:\n" << world.road();
    }
    EXPECT_TRUE(foreignUris(records).empty()) << "a request left 127.0.0.1:\n" << world.road();
    EXPECT_EQ(world.apiRequests(LauncherPlatform), 1);
    EXPECT_EQ(world.apiRequests(GamePlatform), 1);
}

}  // namespace
}  // namespace hexora::e2e
