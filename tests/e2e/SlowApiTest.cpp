// An update API that answers slowly: each reply arrives in pieces over 8 s,
// longer in all than the web timeout but never idle for it. The update check
// goes on as with a quick API, and the game is started.
#include "e2e/LauncherWorld.hpp"

#include <gtest/gtest.h>

namespace hexora::e2e {
namespace {

TEST(SlowApi, AReplyInPiecesOverEightSecondsStillStartsTheGame) {
    LauncherWorld world(currentTestName());
    world.setGameSeconds(1);
    world.installGame("1.0.1");
    world.offerCurrentLauncher();
    world.offerGame("1.0.1");
    world.setWebTimeout(5);  // each reply takes longer than this in all
    world.service().setMode("api-0", "trickle", true);
    world.service().setMode("api-1", "trickle", true);

    ASSERT_EQ(world.runToGame(), "");
    const auto records = world.runRecords();
    EXPECT_TRUE(hasRecord(records, "POST", "22", "Succeeded")) << world.road();
    EXPECT_FALSE(hasRecord(records, "POST", "22", "Failed")) << world.road();
    EXPECT_EQ(world.apiRequests(LauncherPlatform), 1) << world.road();
    EXPECT_EQ(world.apiRequests(GamePlatform), 1) << world.road();
    EXPECT_TRUE(hasRecord(records, "GStart", "succeeded", "Succeeded")) << world.road();
}

}  // namespace
}  // namespace hexora::e2e
