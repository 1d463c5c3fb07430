// An update API that answers slowly: each reply arrives in pieces over 8 s
// (or 17 s), longer in all than the web timeout but never idle for it. The
// update check goes on as with a quick API, and the game is started. One that
// drips its reply a byte a second is given up at the bound on the whole
// reply (four web timeouts): the road goes on as without an answer.
#include "e2e/LauncherWorld.hpp"

#include <gtest/gtest.h>

namespace hexora::e2e {
namespace {

// Each reply in pieces over `trickleMs`, longer in all than the web timeout.
struct TrickleCase {
    const char* name;
    const char* trickleMs;
    /// The remote configuration's web timeout; 0 keeps the production 15 s.
    int webTimeoutSec;
};

TEST(SlowApi, AReplyInPiecesLongerThanTheWebTimeoutStillStartsTheGame) {
    const TrickleCase cases[] = {{"over 8 s, web timeout 5 s", "8000", 5}, {"over 17 s, web timeout 15 s", "17000", 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LauncherWorld world(currentTestName() + "-" + c.trickleMs);
        world.setGameSeconds(1);
        world.installGame("1.0.1");
        world.offerCurrentLauncher();
        world.offerGame("1.0.1");
        if (c.webTimeoutSec > 0) world.setWebTimeout(c.webTimeoutSec);
        world.service().setMode("api-0", "trickle", true, c.trickleMs);
        world.service().setMode("api-1", "trickle", true, c.trickleMs);

        ASSERT_EQ(world.runToGame(), "");
        const auto records = world.runRecords();
        EXPECT_TRUE(hasRecord(records, "POST", "22", "Succeeded")) << world.road();
        EXPECT_FALSE(hasRecord(records, "POST", "22", "Failed")) << world.road();
        EXPECT_EQ(world.apiRequests(LauncherPlatform), 1) << world.road();
        EXPECT_EQ(world.apiRequests(GamePlatform), 1) << world.road();
        EXPECT_TRUE(hasRecord(records, "GStart", "succeeded", "Succeeded")) << world.road();
    }
}

// A byte a second never lets the idle timeout fire; the bound on the whole
// reply (4 x 2 s here) ends each post, and without an answer the road takes
// the maintenance check, which finds no notice: "Connection failed.".
TEST(SlowApi, AReplyDrippingAByteASecondEndsAtTheBoundAndTheRoadGoesOnWithoutAnAnswer) {
    LauncherWorld world(currentTestName());
    world.installGame("1.0.1");
    world.offerCurrentLauncher();
    world.offerGame("1.0.1");
    world.setWebTimeout(2);
    world.service().setMode("api-0", "drip", true);
    world.service().setMode("api-1", "drip", true);

    auto launcher = world.startLauncher();
    ASSERT_EQ(world.runToFailure(launcher), "");
    EXPECT_TRUE(world.waitForShown("Connection failed.")) << world.road();
    const auto records = world.runRecords();
    int bounded = 0;
    for (const auto& record : records) {
        if (!matches(record, "POST", "22", "Failed")) continue;
        const std::string description = record["Data"].value("ErrorDescription", "");
        bounded += description.find("took longer than 8 s") != std::string::npos;
    }
    EXPECT_EQ(bounded, 2) << "one post to each API domain, each ended by the bound\n" << world.road();
    EXPECT_TRUE(hasRecord(records, "CCheckMaintenance", "download", "Failed")) << world.road();
    EXPECT_EQ(world.gameStartsReady(), 0);
}

}  // namespace
}  // namespace hexora::e2e
