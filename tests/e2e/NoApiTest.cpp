// No update API answers on either domain. Inside an announced maintenance
// window the launcher validates what is installed against the schemes kept
// from an earlier run and starts the game; outside it shows Failed_Api and
// stays open.
#include "e2e/LauncherWorld.hpp"

#include <gtest/gtest.h>
#include <signal.h>

namespace hexora::e2e {
namespace {

// A first run that leaves the installed game and both schemes behind, then
// both API domains failing.
void previousRunThenApiDown(LauncherWorld& world) {
    world.setGameSeconds(1);
    world.installGame("1.0.1");
    world.offerCurrentLauncher();
    world.offerGame("1.0.1");
    ASSERT_EQ(world.runToGame(), "");
    world.stopGames();
    world.service().setMode("api-0", "error", true);
    world.service().setMode("api-1", "error", true);
}

TEST(NoApi, InsideMaintenanceTheIntactGameStarts) {
    LauncherWorld world(currentTestName());
    ASSERT_NO_FATAL_FAILURE(previousRunThenApiDown(world));
    world.setMaintenance(true);

    ASSERT_EQ(world.runToGame(), "");
    const auto records = world.runRecords();
    EXPECT_TRUE(hasRecord(records, "POST", "22", "Failed")) << world.road();
    EXPECT_TRUE(hasRecord(records, "CCheckMaintenance", "download", "Succeeded")) << world.road();
    EXPECT_TRUE(hasRecord(records, "GStart", "succeeded", "Succeeded")) << world.road();
}

TEST(NoApi, OutsideMaintenanceFailedApiIsShownAndTheLauncherStaysOpen) {
    LauncherWorld world(currentTestName());
    ASSERT_NO_FATAL_FAILURE(previousRunThenApiDown(world));
    world.setMaintenance(false);

    auto launcher = world.startLauncher();
    ASSERT_EQ(world.runToFailure(launcher), "");
    world.screenshot("failed-api");
    EXPECT_TRUE(world.waitForShown("Connection failed.")) << world.road();
    EXPECT_TRUE(hasRecord(world.runRecords(), "CCheckMaintenance", "no maintenance period", "Failed")) << world.road();
    EXPECT_EQ(world.gameStartsReady(), 1) << "only the earlier run started the game";
    EXPECT_TRUE(launcher.running());
}

}  // namespace
}  // namespace hexora::e2e
