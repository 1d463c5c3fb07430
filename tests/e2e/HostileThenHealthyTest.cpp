// What a road that failed against a hostile file server leaves behind must
// not spoil the next start against a healthy service: the package cut
// mid-body, an HTML page with status 200, a 404, connections closed without
// a reply, and a download the user kills while the server crawls. Every
// failed road keeps the installed game; the healthy start then updates it
// and starts it.
#include "e2e/LauncherWorld.hpp"

#include "support/TempDir.hpp"

#include <gtest/gtest.h>
#include <signal.h>

#include <fstream>

namespace hexora::e2e {
namespace {
using hexora::test::readFile;

const char* const ErrorPage = "<!DOCTYPE html><html><body><h1>Welcome</h1><p>Page moved.</p></body></html>";

void setFileModes(LauncherWorld& world, const std::string& mode, bool on) {
    world.service().setMode("files-0", mode, on);
    world.service().setMode("files-1", mode, on);
}

TEST(HostileThenHealthy, FailedRoadsLeaveNothingThatSpoilsTheNextStart) {
    LauncherWorld world(currentTestName());
    world.setGameSeconds(1);
    world.installGame("1.0.1");
    world.offerCurrentLauncher();
    world.offerGame("1.0.2", 8 * 1024 * 1024);
    const auto package = world.service().layout().files / "update/game-1.0.2-large/1.0.2.zip";
    const auto good = readFile(package);

    struct Road {
        std::string name;
        std::optional<std::string> served;  // nullopt: no package (404)
        std::string mode;                   // a switch of both file domains, or ""
    };
    const std::vector<Road> roads = {
        {"cut mid-body", good.substr(0, good.size() / 2), ""},
        {"HTML page with status 200", std::string(ErrorPage), ""},
        {"404", std::nullopt, ""},
        {"closed without a reply", good, "close"},
    };
    for (const auto& road : roads) {
        SCOPED_TRACE(road.name);
        std::filesystem::remove(package);
        if (road.served) std::ofstream(package, std::ios::binary) << *road.served;
        if (!road.mode.empty()) setFileModes(world, road.mode, true);
        auto launcher = world.startLauncher();
        ASSERT_EQ(world.runToFailure(launcher), "");
        EXPECT_EQ(world.gameStartsReady(), 0);
        EXPECT_EQ(world.installedGameVersion(), "1.0.1");
        launcher.signal(SIGTERM);
        ASSERT_TRUE(launcher.waitForExit(30s).has_value());
        if (!road.mode.empty()) setFileModes(world, road.mode, false);
    }

    // A crawling server; the user kills the launcher in the middle of it.
    std::ofstream(package, std::ios::binary | std::ios::trunc) << good;
    setFileModes(world, "slow", true);
    {
        auto launcher = world.startLauncher();
        const bool reached = waitUntil([&] { return world.downloadUnderWay(); }, 60s);
        launcher.kill();
        ASSERT_TRUE(reached) << world.road();
    }
    setFileModes(world, "slow", false);

    ASSERT_EQ(world.runToGame(), "");
    EXPECT_FALSE(world.shown("Connection failed.")) << world.road();
    EXPECT_EQ(world.installedGameVersion(), "1.0.2");
}

}  // namespace
}  // namespace hexora::e2e
