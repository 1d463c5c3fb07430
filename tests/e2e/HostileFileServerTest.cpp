// A hostile file server: first a captive portal's HTML page with status 200
// in place of the package, then the package cut short. Each road fails with
// the unzip step's state and leaves the installed game as it was; once the
// service is good again the next start updates and starts the game.
#include "e2e/LauncherWorld.hpp"

#include "support/TempDir.hpp"

#include <gtest/gtest.h>
#include <signal.h>

#include <fstream>

namespace hexora::e2e {
namespace {
using hexora::test::readFile;

const char* const CaptivePortal =
    "<!DOCTYPE html><html><head><title>Sign in to the network</title></head>"
    "<body><form action=\"/login\"><p>Welcome! Please accept the terms to continue.</p>"
    "<button>Accept</button></form></body></html>";

TEST(HostileFileServer, BadPackagesFailTheRoadAndTheGameStillStartsLater) {
    LauncherWorld world(currentTestName());
    world.setGameSeconds(1);
    world.installGame("1.0.1");
    world.offerCurrentLauncher();
    world.offerGame("1.0.2");
    const auto package = world.service().layout().files / "update/game-1.0.2/1.0.2.zip";
    const auto good = readFile(package);
    const auto installed = world.makeGame("1.0.1");

    for (const auto& [name, served] : std::vector<std::pair<std::string, std::string>>{
             {"captive-portal", CaptivePortal}, {"cut-short", good.substr(0, good.size() / 2)}}) {
        SCOPED_TRACE(name);
        std::ofstream(package, std::ios::binary | std::ios::trunc) << served;
        auto launcher = world.startLauncher();
        ASSERT_EQ(world.runToFailure(launcher), "");
        world.screenshot(name);
        EXPECT_TRUE(hasRecord(world.runRecords(), "CUnzip", "unzip failed", "Failed")) << world.road();
        EXPECT_TRUE(world.waitForShown("The process has failed.")) << "Failed_DecompressFiles\n" << world.road();
        EXPECT_EQ(world.gameStartsReady(), 0);
        EXPECT_EQ(world.installedGameVersion(), "1.0.1");
        EXPECT_EQ(readFile(world.gameExecutable()), readFile(installed / "Contents/MacOS/Hexora"));
        launcher.signal(SIGTERM);
        ASSERT_TRUE(launcher.waitForExit(10s).has_value());
    }

    std::ofstream(package, std::ios::binary | std::ios::trunc) << good;
    ASSERT_EQ(world.runToGame(), "");
    EXPECT_EQ(world.installedGameVersion(), "1.0.2");
}

}  // namespace
}  // namespace hexora::e2e
