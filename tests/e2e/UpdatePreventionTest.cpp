// Updates prevented by the developer hub: its preference suite names the
// process id of the running developer-hub application, so the launcher asks
// the update API nothing and starts the installed game.
#include "e2e/LauncherWorld.hpp"

#include <gtest/gtest.h>

#include <fstream>

namespace hexora::e2e {
namespace {

const char* const HubSuite = "com.tarq.hexora.mac.developerhub";

// A stand-in developer hub: a bundle with the hub's identifier whose
// executable stays up until told to quit (the sample game's program, told to
// leave the game's suite alone).
ChildProcess startDeveloperHub(LauncherWorld& world) {
    const auto bundle = world.root() / "Applications" / "Developer Hub.app";
    std::filesystem::create_directories(bundle / "Contents/MacOS");
    std::filesystem::copy_file(world.makeGame("1.0.1") / "Contents/MacOS/Hexora", bundle / "Contents/MacOS/DeveloperHub");
    std::ofstream(bundle / "Contents/Info.plist")
        << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n"
           "<key>CFBundleExecutable</key><string>DeveloperHub</string>\n"
           "<key>CFBundleIdentifier</key><string>com.tarq.hexora.mac.developerhub</string>\n"
           "<key>CFBundleShortVersionString</key><string>1.0.0</string>\n</dict>\n</plist>\n";
    return ChildProcess(bundle / "Contents/MacOS/DeveloperHub", {},
                        world.environment({{"HEXORA_SAMPLE_GAME_PID_TEXT", "none"},
                                           {"HEXORA_SAMPLE_GAME_SECONDS", "600"},
                                           {"HEXORA_SAMPLE_GAME_REPORT", (world.logs() / "hub.txt").string()}}),
                        world.root(), world.logs() / "developer-hub.log");
}

TEST(UpdatePrevention, DeveloperHubSettingSkipsEveryUpdateRequest) {
    LauncherWorld world(currentTestName());
    world.setGameSeconds(1);
    world.installGame("1.0.1");
    world.offerCurrentLauncher();
    world.offerGame("1.0.2");  // would be an update, were updates not prevented
    auto hub = startDeveloperHub(world);
    world.setPreference(HubSuite, ".pu", std::to_string(hub.pid()));

    ASSERT_EQ(world.runToGame(), "");
    EXPECT_EQ(world.apiRequests(LauncherPlatform), 0);
    EXPECT_EQ(world.apiRequests(GamePlatform), 0);
    EXPECT_EQ(world.installedGameVersion(), "1.0.1");
    EXPECT_TRUE(hasRecord(world.records(), "LBoot", "start", "Exception")) << world.road();
}

}  // namespace
}  // namespace hexora::e2e
