// Game updates: a new version as a full package, then the next one as a smart
// package holding only what changed since the installed version.
#include "e2e/LauncherWorld.hpp"

#include "support/TempDir.hpp"

#include <gtest/gtest.h>

namespace hexora::e2e {
namespace {
using hexora::test::readFile;

TEST(GameUpdate, FullThenSmartPackage) {
    LauncherWorld world(currentTestName());
    world.setGameSeconds(1);
    world.offerCurrentLauncher();
    world.installGame("1.0.1");

    world.offerGame("1.0.2");
    ASSERT_EQ(world.runToGame(), "");
    world.stopGames();
    EXPECT_EQ(world.installedGameVersion(), "1.0.2");
    EXPECT_TRUE(hasRecord(world.runRecords(), "CPatch", "completed", "Succeeded")) << world.road();

    const auto next = world.makeGame("1.0.3");
    world.publish(next, "1.0.3", "game-1.0.3", "1.0.3_1.0.2", world.makeGame("1.0.2"));
    world.answer(GamePlatform, {{"result", 1}, {"version", "1.0.3"}, {"hash", "game-1.0.3"}, {"file", "1.0.3_1.0.2"}});
    ASSERT_EQ(world.runToGame(), "");
    EXPECT_EQ(world.installedGameVersion(), "1.0.3");
    EXPECT_TRUE(hasRecord(world.runRecords(), "CSmartPatch", "completed", "Succeeded")) << world.road();
    EXPECT_EQ(world.fileRequests("/update/game-1.0.3/1.0.3_1.0.2.zip"), 1);
    EXPECT_EQ(readFile(world.gameBundle() / "Contents/Resources/readme.txt"),
              readFile(next / "Contents/Resources/readme.txt"));
}

}  // namespace
}  // namespace hexora::e2e
