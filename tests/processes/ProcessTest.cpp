// Starting executables and finding running applications.
#include "BundleFixture.hpp"
#include "services/internal/FileURL.hpp"
#include "services/internal/Process.hpp"
#include "support/FakeProcessLauncher.hpp"
#include "support/FakeProcessTable.hpp"
#include "support/LogCapture.hpp"
#include "support/TempDir.hpp"

#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <atomic>

namespace hexora {
namespace {

constexpr std::int32_t Own = 1000;
const std::string Launcher = "com.tarq.hexora.mac.launcher";
const std::string Game = "com.tarq.hexora.mac.game";

std::optional<std::int32_t> pidOf(const std::optional<RunningApplication>& application) {
    if (!application) return std::nullopt;
    return application->processIdentifier();
}

TEST(ProcessLookups, NeverReturnTheOwnProcess) {
    test::ScopedProcessTable scoped(Own);
    auto& table = *scoped;
    table.add(Own, Launcher, "/opt/Launcher.app/Contents/MacOS/Hexora");
    EXPECT_EQ(pidOf(Process::runningApplication(Own)), std::nullopt);
    EXPECT_EQ(pidOf(Process::runningApplications(Process::BundleIdentifier{Launcher})), std::nullopt);
    EXPECT_EQ(pidOf(Process::runningApplications(Process::ExecutableURL{"/opt/Launcher.app/Contents/MacOS/Hexora"})),
              std::nullopt);

    // A second instance of the same bundle, listed after the own one, is found.
    table.add(2000, Launcher, "/opt/Launcher.app/Contents/MacOS/Hexora");
    EXPECT_EQ(pidOf(Process::runningApplications(Process::BundleIdentifier{Launcher})), 2000);
    EXPECT_EQ(pidOf(Process::runningApplications(Process::ExecutableURL{"/opt/Launcher.app/Contents/MacOS/Hexora"})),
              2000);
    EXPECT_EQ(pidOf(Process::runningApplication(2000)), 2000);
    EXPECT_EQ(Process::ownProcessIdentifier(), Own);
}

TEST(ProcessLookups, FirstMatchInListOrderWins) {
    test::ScopedProcessTable scoped(Own);
    auto& table = *scoped;
    table.add(30, std::nullopt, std::nullopt);
    table.add(20, "com.tarq.hexora.mac.gamex", "/g/Other.app/Contents/MacOS/Other");
    table.add(12, Game, "/g/Hexora.app/Contents/MacOS/Hexora");
    table.add(11, Game, "/g/Hexora.app/Contents/MacOS/Hexora");
    EXPECT_EQ(pidOf(Process::runningApplications(Process::BundleIdentifier{Game})), 12);
    EXPECT_EQ(pidOf(Process::runningApplications(Process::ExecutableURL{"/g/Hexora.app/Contents/MacOS/Hexora"})), 12);
    EXPECT_EQ(pidOf(Process::runningApplications(Process::BundleIdentifier{"com.tarq.hexora.mac"})), std::nullopt);
    EXPECT_EQ(pidOf(Process::runningApplications(Process::BundleIdentifier{""})), std::nullopt);
    EXPECT_EQ(pidOf(Process::runningApplication(31)), std::nullopt);

    table.end(12);
    EXPECT_EQ(pidOf(Process::runningApplications(Process::BundleIdentifier{Game})), 11);
}

TEST(ProcessLookups, ExecutableIsMatchedAsAPath) {
    test::ScopedProcessTable scoped(Own);
    scoped->add(77, Game, "/home/p/My Games/storage/Hexora.app/Contents/MacOS/Hexora");
    struct Case {
        const char* given;
        bool found;
    };
    const Case cases[] = {
        {"/home/p/My Games/storage/Hexora.app/Contents/MacOS/Hexora", true},
        // Taken as it is: no second "file://" is put in front.
        {"file:///home/p/My Games/storage/Hexora.app/Contents/MacOS/Hexora", true},
        {"file:///home/p/My%20Games/storage/Hexora.app/Contents/MacOS/Hexora", true},
        {"/home/p/My Games/storage/./Hexora.app/Contents/MacOS/Hexora", true},
        {"/home/p/My Games/storage/temp/../Hexora.app/Contents/MacOS/Hexora", true},
        {"file://file:///home/p/My Games/storage/Hexora.app/Contents/MacOS/Hexora", false},
        {"/home/p/My Games/storage/Hexora.app/Contents/MacOS/hexora", false},
        {"/home/p/My Games/storage/Hexora.app", false},
        {"home/p/My Games/storage/Hexora.app/Contents/MacOS/Hexora", false},
        {"", false},
        {"file://", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Process::runningApplications(Process::ExecutableURL{c.given}).has_value(), c.found) << c.given;
    }
}

TEST(ProcessLookups, ExecutableReachedThroughASymbolicLinkIsFound) {
    test::TempDir dir;
    std::filesystem::create_directories(dir / "real/Hexora.app/Contents/MacOS");
    dir.write("real/Hexora.app/Contents/MacOS/Hexora", "");
    std::filesystem::create_directory_symlink(dir / "real", dir / "link");
    test::ScopedProcessTable scoped(Own);
    scoped->add(5, Game, std::filesystem::canonical(dir / "real/Hexora.app/Contents/MacOS/Hexora"));
    EXPECT_EQ(pidOf(Process::runningApplications(
                  Process::ExecutableURL{(dir / "link/Hexora.app/Contents/MacOS/Hexora").string()})),
              5);
}

TEST(ProcessLookups, ApplicationReportsUrlsAndLiveState) {
    test::ScopedProcessTable scoped(Own);
    scoped->add(9, Game, "/a b/storage/Hexora.app/Contents/MacOS/Hexora");
    scoped->add(10, std::nullopt, "/usr/bin/sleep");
    const auto game = Process::runningApplication(9);
    ASSERT_TRUE(game.has_value());
    EXPECT_EQ(game->executableURL(), "file:///a%20b/storage/Hexora.app/Contents/MacOS/Hexora");
    EXPECT_EQ(game->bundleURL(), "file:///a%20b/storage/Hexora.app/");
    EXPECT_EQ(game->bundleIdentifier(), Game);
    const auto plain = Process::runningApplication(10);
    ASSERT_TRUE(plain.has_value());
    EXPECT_FALSE(plain->bundleURL().has_value());
    EXPECT_FALSE(plain->bundleIdentifier().has_value());

    EXPECT_FALSE(game->isTerminated());
    scoped->end(9);
    EXPECT_TRUE(game->isTerminated());  // asked afresh, not remembered
}

TEST(ProcessLookups, FileUrlTextEscapesWhatUrlsEscape) {
    EXPECT_EQ(fileURLText("/a b/c%d/\xC3\xA9#?.app"), "file:///a%20b/c%25d/%C3%A9%23%3F.app");
    EXPECT_EQ(fileURLText("/x/Hexora.app", true), "file:///x/Hexora.app/");
    EXPECT_EQ(fileURLText("/x/y-_.~!$&'()*+,;=:@"), "file:///x/y-_.~!$&'()*+,;=:@");
}

TEST(ShowOnTop, ActivatesTheFirstMatchByBundleOrByProcessId) {
    struct Case {
        const char* name;
        std::string bundle;
        std::int32_t pid;
        std::optional<std::int32_t> activated;
    };
    const Case cases[] = {
        {"by bundle, other pid", Game, 999, 21},
        {"by pid, other bundle", "com.example.none", 22, 22},
        {"earlier bundle match beats later pid", Game, 23, 21},
        {"own process by bundle", Launcher, 0, Own},
        {"own process by pid", "com.example.none", Own, Own},
        {"nothing", "com.example.none", 999, std::nullopt},
    };
    for (const auto& c : cases) {
        test::ScopedProcessTable scoped(Own);
        auto& table = *scoped;
        table.add(Own, Launcher, "/l/Launcher.app/Contents/MacOS/Hexora");
        table.add(21, Game, "/g/Hexora.app/Contents/MacOS/Hexora");
        table.add(22, "com.example.other", "/o/Other.app/Contents/MacOS/Other");
        table.add(23, std::nullopt, "/usr/bin/sleep");
        EXPECT_EQ(Process::showOnTop(c.bundle, c.pid), c.activated.has_value()) << c.name;
        const auto activated = table.activated();
        if (c.activated) {
            EXPECT_EQ(activated, std::vector<std::int32_t>{*c.activated}) << c.name;
        } else {
            EXPECT_TRUE(activated.empty()) << c.name;
        }
    }
}

TEST(ProcessStart, ResultAndLogFollowTheLaunch) {
    struct Case {
        const char* name;
        platform::ProcessLauncher::Result answer;
        std::int32_t expected;
        const char* logged;  // nullptr: nothing logged
    };
    const Case cases[] = {
        {"started", {4242, true, ""}, 4242, "Process started: 4242"},
        {"failed", {0, false, "cannot start /x: No such file or directory"}, 0,
         "Process start failed: cannot start /x: No such file or directory"},
        {"ended at once", {4243, false, ""}, 0, nullptr},
    };
    for (const auto& c : cases) {
        test::ScopedProcessLauncher scoped;
        scoped->answer(c.answer);
        test::LogCapture log;
        EXPECT_EQ(Process::start("/x", {"1"}, "/w"), c.expected) << c.name;
        const auto lines = log.lines();
        if (c.logged) {
            ASSERT_EQ(lines.size(), 1u) << c.name;
            EXPECT_EQ(lines[0].text, c.logged);
            EXPECT_EQ(lines[0].level, c.expected ? "info" : "error");
        } else {
            EXPECT_TRUE(lines.empty()) << c.name;
        }
    }
}

TEST(ProcessStart, PassesTheRequestAndTheHandlerThrough) {
    test::ScopedProcessLauncher scoped;
    std::atomic<int> status{-100};
    EXPECT_EQ(Process::start("/g/Hexora", {"17"}, "/g", [&](const platform::ProcessExit& exit) { status = exit.status; }),
              4242);
    Process::start("/g/Hexora", {}, "/g");
    const auto launches = scoped->launches();
    ASSERT_EQ(launches.size(), 2u);
    EXPECT_EQ(launches[0].executable, "/g/Hexora");
    EXPECT_EQ(launches[0].arguments, std::vector<std::string>{"17"});
    EXPECT_EQ(launches[0].workingDirectory, "/g");
    EXPECT_TRUE(launches[0].hasExitHandler);
    EXPECT_FALSE(launches[1].hasExitHandler);
    scoped->finish(4242, 5);
    EXPECT_EQ(status.load(), 5);
}

TEST(ProcessStart, MissingExecutableReturnsZeroAndLogsTheFailure) {
    test::TempDir dir;
    test::LogCapture log;
    EXPECT_EQ(Process::start((dir / "Hexora.app/Contents/MacOS/Hexora").string(), {"1"}, dir.path().string()), 0);
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_EQ(log.lines()[0].level, "error");
    EXPECT_TRUE(log.lines()[0].text.starts_with("Process start failed: "));
    EXPECT_TRUE(log.contains("No such file or directory"));
}

// The real table and launcher together: a bundled child in a folder whose
// name holds a blank is found by each lookup and seen ending.
TEST(ProcessEndToEnd, StartedBundleIsFoundByEveryLookupUntilItEnds) {
    test::TempDir dir;
    const auto executable = test::layOutBundle(dir / "My Games", "Fixture", "com.example.fixture.e2e");
    std::atomic<int> exitSignal{0};
    const auto pid = Process::start(executable.string(), {"30"}, dir.path().string(),
                                    [&](const platform::ProcessExit& exit) { exitSignal = exit.signalled ? exit.status : -1; });
    ASSERT_GT(pid, 0);

    const auto byPid = Process::runningApplication(pid);
    const auto byBundle = Process::runningApplications(Process::BundleIdentifier{"com.example.fixture.e2e"});
    const auto byPath = Process::runningApplications(Process::ExecutableURL{executable.string()});
    ASSERT_TRUE(byPid && byBundle && byPath);
    EXPECT_EQ(byBundle->processIdentifier(), pid);
    EXPECT_EQ(byPath->processIdentifier(), pid);
    EXPECT_EQ(byPid->executableURL(), fileURLText(std::filesystem::canonical(executable)));
    EXPECT_NE(byPid->executableURL()->find("My%20Games"), std::string::npos);
    EXPECT_TRUE(Process::showOnTop("com.example.fixture.e2e", 0));
    EXPECT_FALSE(byPid->isTerminated());

    ::kill(pid, SIGTERM);
    EXPECT_TRUE(test::eventually([&] { return exitSignal.load() == SIGTERM; }));
    EXPECT_TRUE(byPid->isTerminated());
    EXPECT_FALSE(Process::runningApplication(pid).has_value());
}

}  // namespace
}  // namespace hexora
