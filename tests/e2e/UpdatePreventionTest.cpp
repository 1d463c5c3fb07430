// Updates prevented by the developer hub: the stand-in developer-hub
// application records its process id in its preference suite, so the
// launcher asks the update API nothing and starts the installed game.
#include "e2e/LauncherWorld.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace hexora::e2e {
namespace {
using ::testing::Contains;

const std::filesystem::path DeveloperHub =
    std::filesystem::path(HEXORA_TOOLS_BIN_DIR) / "standin-app/DeveloperHub.app/Contents/MacOS/DeveloperHub";

TEST(UpdatePrevention, DeveloperHubSettingSkipsEveryUpdateRequest) {
    LauncherWorld world(currentTestName());
    world.setGameSeconds(1);
    world.installGame("1.0.1");
    world.offerCurrentLauncher();
    world.offerGame("1.0.2");  // would be an update, were updates not prevented
    const auto report = world.logs() / "developer-hub.txt";
    ChildProcess hub(DeveloperHub, {"--record-pid"}, world.environment({{"HEXORA_STANDIN_REPORT", report.string()}}),
                     world.root(), world.logs() / "developer-hub.log");
    ASSERT_TRUE(waitUntil([&] { return hexora::test::readFile(report).find("ready") != std::string::npos; }, 30s))
        << "the developer hub did not come up";

    ASSERT_EQ(world.runToGame(), "");
    EXPECT_EQ(world.apiRequests(LauncherPlatform), 0);
    EXPECT_EQ(world.apiRequests(GamePlatform), 0);
    EXPECT_EQ(world.installedGameVersion(), "1.0.1");
    EXPECT_TRUE(hasRecord(world.records(), "LBoot", "start", "Exception")) << world.road();
    EXPECT_TRUE(hub.running());
}

}  // namespace
}  // namespace hexora::e2e
