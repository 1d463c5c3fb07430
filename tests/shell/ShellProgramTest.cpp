// The built launcher program on a virtual X server, with every endpoint on a
// local port that refuses connections and the user's folders in a temporary
// folder. Each test runs its own copy of the built bundle, so the storage
// folder the program makes stays in the test's folder.
#include "LauncherProcess.hpp"
#include "platform/InfoPlist.hpp"
#include "support/Eventually.hpp"
#include "support/TempDir.hpp"
#include "support/XvfbServer.hpp"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace hexora {
namespace {

namespace fs = std::filesystem;

const fs::path builtBundle = HEXORA_LAUNCHER_BUNDLE;

// The trace line of a text the window shows (line breaks written as \r, \n).
std::string shown(const std::string& text) { return "ViewController.setMessage: " + text; }

// True when the fragments appear in the log in this order.
::testing::AssertionResult inOrder(const std::string& log, const std::vector<std::string>& fragments) {
    std::size_t from = 0;
    for (const auto& fragment : fragments) {
        const auto at = log.find(fragment, from);
        if (at == std::string::npos)
            return ::testing::AssertionFailure() << "\"" << fragment << "\" missing or out of order in:\n" << log;
        from = at + fragment.size();
    }
    return ::testing::AssertionSuccess();
}

class ShellProgramTest : public ::testing::Test {
protected:
    ShellProgramTest() {
        fs::copy(builtBundle, bundle(), fs::copy_options::recursive);
        fs::remove_all(bundle() / "Contents" / "storage");
        for (const char* folder : {"config", "data", "home", "runtime"}) fs::create_directories(dir / folder);
        fs::permissions(dir / "runtime", fs::perms::owner_all);
    }
    void SetUp() override { ASSERT_TRUE(xvfb.available()) << "Xvfb did not come up"; }

    fs::path bundle() const { return dir / "Hexora.app"; }
    fs::path executable() const { return bundle() / "Contents" / "MacOS" / "Hexora"; }

    /// Replaces the bundle's program by the one that holds the road until cancelled.
    void useHoldingProgram() {
        fs::copy_file(HEXORA_HOLDING_LAUNCHER, executable(), fs::copy_options::overwrite_existing);
    }

    std::unique_ptr<test::LauncherProcess> start(const std::vector<std::string>& arguments = {}) {
        const std::map<std::string, std::string> environment{
            {"DISPLAY", xvfb.display()},
            {"QT_QPA_PLATFORM", "xcb"},
            {"HEXORA_SHELL_TRACE", "1"},
            {"HEXORA_API_URLS", api1.url() + "," + api2.url()},
            {"HEXORA_FILE_URLS", files1.url() + "," + files2.url()},
            {"HEXORA_RUM_URL", collector.url() + "/"},
            {"HEXORA_CA_FILE", ""},
            {"XDG_CONFIG_HOME", (dir / "config").string()},
            {"XDG_DATA_HOME", (dir / "data").string()},
            {"XDG_RUNTIME_DIR", (dir / "runtime").string()},
            {"HOME", (dir / "home").string()},
            {"LSAN_OPTIONS", std::string("suppressions=") + HEXORA_LSAN_SUPPRESSIONS},
        };
        return std::make_unique<test::LauncherProcess>(executable(), arguments, environment, dir / "launcher.log");
    }

    test::TempDir dir;
    test::XvfbServer xvfb;
    test::RefusingPort api1, api2, files1, files2, collector;
};

TEST_F(ShellProgramTest, WindowAppearsWithTheInitializingText) {
    auto launcher = start();
    ASSERT_TRUE(launcher->waitForLog(shown("Initializing"))) << launcher->log();
    EXPECT_TRUE(inOrder(launcher->log(), {"Launcher View did appear.", "AppDelegate.applicationDidFinishLaunching"}));

    // The window is drawn some time after it is shown: look until the screen
    // holds more than the X server's empty black.
    const fs::path screenshot = dir / "screen.png";
    int colours = 0;
    test::eventually(
        [&] {
            if (xvfb.screenshot(screenshot)) colours = test::XvfbServer::colourCount(screenshot);
            return colours >= 100;
        },
        30.0);
    EXPECT_GE(colours, 100) << "the screenshot " << screenshot << " is blank";

    launcher->sendSignal(SIGTERM);
    EXPECT_TRUE(launcher->waitForExit().has_value());
}

// The numbers after "=" in an xprop line such as
// "_MOTIF_WM_HINTS(_MOTIF_WM_HINTS) = 0x3, 0x2e, 0x3e, 0x0, 0x0".
std::vector<unsigned long> propertyNumbers(const std::string& properties, const std::string& name) {
    std::vector<unsigned long> numbers;
    const auto at = properties.find(name + "(");
    if (at == std::string::npos) return numbers;
    const auto end = properties.find('\n', at);
    std::istringstream values(properties.substr(properties.find('=', at) + 1, end - properties.find('=', at) - 1));
    for (std::string value; std::getline(values, value, ',');) numbers.push_back(std::stoul(value, nullptr, 0));
    return numbers;
}

// What the window manager reads from the window: the product's icon, a size
// that cannot change and no maximise function, a place in the middle of the
// 1024x768 screen.
TEST_F(ShellProgramTest, WindowTellsTheDesktopItsIconFixedSizeAndCentredPlace) {
    useHoldingProgram();
    auto launcher = start();
    ASSERT_TRUE(launcher->waitForLog("HoldTheRoad: holding the worker thread")) << launcher->log();

    // xprop shows the icon's width and height (the first two numbers).
    const std::string printed = "-f _NET_WM_ICON 32c ' = $0, $1\\n' _NET_WM_ICON WM_NORMAL_HINTS _MOTIF_WM_HINTS";
    std::string properties;
    ASSERT_TRUE(test::eventually(
        [&] {
            properties = xvfb.describeWindow("xprop", "Hexora", printed).value_or("");
            return properties.find("_NET_WM_ICON(CARDINAL) =") != std::string::npos;
        },
        30.0))
        << properties;
    EXPECT_EQ(propertyNumbers(properties, "_NET_WM_ICON"), (std::vector<unsigned long>{256, 256}))
        << "the bundle's icon.png\n"
        << properties;
    EXPECT_NE(properties.find("program specified minimum size: 640 by 400"), std::string::npos) << properties;
    EXPECT_NE(properties.find("program specified maximum size: 640 by 400"), std::string::npos) << properties;

    // Motif hints: flags (1: functions given, 2: decorations given), functions, decorations.
    constexpr unsigned long FunctionsGiven = 0x1, DecorationsGiven = 0x2;
    constexpr unsigned long MaximiseFunction = 0x10, MaximiseButton = 0x40;
    const auto motif = propertyNumbers(properties, "_MOTIF_WM_HINTS");
    ASSERT_GE(motif.size(), 3u) << properties;
    EXPECT_TRUE(motif[0] & FunctionsGiven);
    EXPECT_FALSE(motif[1] & MaximiseFunction);
    EXPECT_TRUE(motif[0] & DecorationsGiven);
    EXPECT_FALSE(motif[2] & MaximiseButton);

    const auto info = xvfb.describeWindow("xwininfo", "Hexora").value_or("");
    EXPECT_NE(info.find("Absolute upper-left X:  192\n"), std::string::npos) << info;
    EXPECT_NE(info.find("Absolute upper-left Y:  184\n"), std::string::npos) << info;

    launcher->sendSignal(SIGTERM);
    EXPECT_TRUE(launcher->waitForExit().has_value()) << launcher->log();
}

TEST_F(ShellProgramTest, QuitWhileTheWorkerThreadRunsWaitsForTheRunToEnd) {
    useHoldingProgram();
    auto launcher = start();
    ASSERT_TRUE(launcher->waitForLog("HoldTheRoad: holding the worker thread")) << launcher->log();

    launcher->sendSignal(SIGTERM);
    ASSERT_TRUE(launcher->waitForLog(shown("Hexora Launcher will be terminated.\\r\\nPlease wait.")))
        << launcher->log();
    const auto status = launcher->waitForExit();
    ASSERT_TRUE(status.has_value()) << launcher->log();
    EXPECT_EQ(*status, 0);
    EXPECT_TRUE(inOrder(launcher->log(), {"AppDelegate.applicationShouldTerminate: updater is running",
                                          "HoldTheRoad: run cancelled", "WorkerThread: cancelled",
                                          "WorkerThread: terminated with terminating app",
                                          "AppDelegate.applicationShouldTerminate: terminate now",
                                          "AppDelegate.applicationWillTerminate"}));
}

TEST_F(ShellProgramTest, QuitAfterTheRoadEndedExitsAtOnce) {
    auto launcher = start();
    ASSERT_TRUE(launcher->waitForLog("WorkerThread: terminated")) << launcher->log();
    launcher->sendSignal(SIGTERM);
    const auto status = launcher->waitForExit();
    ASSERT_TRUE(status.has_value()) << launcher->log();
    EXPECT_EQ(*status, 0);
    const auto log = launcher->log();
    EXPECT_TRUE(inOrder(log, {"AppDelegate.applicationShouldTerminate: terminate now",
                              "AppDelegate.applicationWillTerminate"}));
    EXPECT_EQ(log.find("updater is running"), std::string::npos);
    EXPECT_EQ(log.find(shown("Hexora Launcher will be terminated.")), std::string::npos);
}

TEST_F(ShellProgramTest, CommandLineUrlsAreHandedOverBeforeTheStartAndAProcessIdIsIgnored) {
    useHoldingProgram();
    auto launcher = start({"4242", "hexoramac://join?room=7", "join/123"});
    ASSERT_TRUE(launcher->waitForLog("AppDelegate.applicationDidFinishLaunching")) << launcher->log();
    const auto log = launcher->log();
    EXPECT_TRUE(inOrder(log, {"Launcher View did appear.", "handleOpenUrls: hexoramac://join?room=7",
                              "handleOpenUrls: enqueue to worker", "AppDelegate.applicationDidFinishLaunching"}));
    EXPECT_EQ(log.find("handleOpenUrls: 4242"), std::string::npos);
    EXPECT_EQ(log.find("handleOpenUrls: join/123"), std::string::npos);
    EXPECT_NE(log.find("CommandLine: \"join/123\" is no URL (no scheme and \":\"), not opened"), std::string::npos)
        << log;
    launcher->sendSignal(SIGINT);
    EXPECT_TRUE(launcher->waitForExit().has_value()) << launcher->log();
}

TEST(LauncherBundleTest, BuildLaysOutTheBundle) {
    const auto contents = builtBundle / "Contents";
    const auto info = platform::InfoPlist::read(contents / "Info.plist");
    ASSERT_TRUE(info);
    EXPECT_EQ(info->text("CFBundleIdentifier"), "com.tarq.hexora.mac.launcher");
    EXPECT_EQ(info->text("CFBundleShortVersionString"), HEXORA_PROJECT_VERSION);
    EXPECT_EQ(info->text("CFBundleExecutable"), "Hexora");
    EXPECT_TRUE(fs::is_regular_file(contents / "MacOS" / "Hexora"));
    EXPECT_TRUE(fs::is_regular_file(contents / "Resources" / "background.png"));
    EXPECT_TRUE(fs::is_regular_file(contents / "Resources" / "icon.png"));
    EXPECT_NE(test::readFile(contents / "Resources" / "Localizable.strings")
                  .find("\"msg_mac_install\" = \"Please move the Hexora.app icon to the Applications folder.\";"),
              std::string::npos);
}

}  // namespace
}  // namespace hexora
