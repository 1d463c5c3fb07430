// The /proc process table: what it reports about real processes.
#include "BundleFixture.hpp"
#include "platform/InfoPlist.hpp"
#include "platform/PosixProcessLauncher.hpp"
#include "platform/ProcProcessTable.hpp"
#include "platform/X11WindowRaiser.hpp"
#include "support/TempDir.hpp"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

namespace hexora {
namespace {

std::optional<platform::ProcessEntry> find(platform::ProcessTable& table, std::int32_t pid) {
    for (auto& entry : table.runningProcesses()) {
        if (entry.processIdentifier == pid) return entry;
    }
    return std::nullopt;
}

char stateOf(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(in, line);
    const auto close = line.rfind(')');
    return close == std::string::npos || close + 2 >= line.size() ? '?' : line[close + 2];
}

TEST(ProcProcessTable, ReportsExecutableBundleAndIdentifierOfABundledChild) {
    test::TempDir dir;
    const auto executable = test::layOutBundle(dir / "Games Folder", "Fixture", "com.example.fixture");
    platform::PosixProcessLauncher launcher;
    const auto started = launcher.launch(executable, {"30"}, dir.path(), {});
    ASSERT_GT(started.processIdentifier, 0) << started.error;

    platform::ProcProcessTable table;
    const auto entry = find(table, started.processIdentifier);
    ASSERT_TRUE(entry.has_value());
    EXPECT_EQ(entry->executablePath, std::filesystem::canonical(executable));
    EXPECT_EQ(entry->bundlePath, std::filesystem::canonical(dir / "Games Folder" / "Fixture.app"));
    EXPECT_EQ(entry->bundleIdentifier, "com.example.fixture");
    EXPECT_NE(entry->startTime, 0u);
    EXPECT_FALSE(table.isTerminated(*entry));
    const auto single = table.runningProcess(started.processIdentifier);
    ASSERT_TRUE(single.has_value());
    EXPECT_EQ(single->executablePath, entry->executablePath);
    EXPECT_EQ(single->bundleIdentifier, entry->bundleIdentifier);
    EXPECT_EQ(single->startTime, entry->startTime);

    ::kill(started.processIdentifier, SIGTERM);
    EXPECT_TRUE(test::eventually([&] { return table.isTerminated(*entry); }));
    EXPECT_FALSE(find(table, started.processIdentifier).has_value());
    EXPECT_FALSE(table.runningProcess(started.processIdentifier).has_value());
}

TEST(ProcProcessTable, OwnProcessIsListedWithoutBundle) {
    platform::ProcProcessTable table;
    EXPECT_EQ(table.ownProcessIdentifier(), ::getpid());
    const auto own = find(table, ::getpid());
    ASSERT_TRUE(own.has_value());
    EXPECT_EQ(own->executablePath, std::filesystem::canonical("/proc/self/exe"));
    EXPECT_FALSE(own->bundlePath.has_value());
    EXPECT_FALSE(own->bundleIdentifier.has_value());
}

TEST(ProcProcessTable, ZombieCountsAsEndedAndIsNotListed) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) ::_exit(0);
    ASSERT_TRUE(test::eventually([&] { return stateOf(child) == 'Z'; }));

    platform::ProcProcessTable table;
    EXPECT_FALSE(find(table, child).has_value());
    EXPECT_FALSE(table.runningProcess(child).has_value());
    platform::ProcessEntry entry;
    entry.processIdentifier = child;
    EXPECT_TRUE(table.isTerminated(entry));
    ::waitpid(child, nullptr, 0);
}

TEST(ProcProcessTable, ReusedIdCountsAsEnded) {
    platform::ProcProcessTable table;
    auto own = find(table, ::getpid());
    ASSERT_TRUE(own.has_value());
    EXPECT_FALSE(table.isTerminated(*own));
    own->startTime += 1;  // the entry saw an earlier process under this id
    EXPECT_TRUE(table.isTerminated(*own));
    platform::ProcessEntry gone;
    gone.processIdentifier = 0;
    EXPECT_TRUE(table.isTerminated(gone));
}

TEST(ProcProcessTable, ReadsAProcTreeWithOddEntries) {
    // A hand-made process file system: a command name with blanks and
    // parentheses, a zombie, a non-numeric folder and an unreadable entry.
    test::TempDir proc;
    const std::string tail = " 1 1 1 0 -1 4194560 100 0 0 0 1 1 0 0 20 0 1 0 777 1000 100";
    proc.write("41/stat", "41 (a (b) c) S" + tail + "\n");
    proc.write("42/stat", "42 (zomb) Z" + tail + "\n");
    proc.write("self/stat", "43 (self) S" + tail + "\n");
    proc.write("44/stat", "garbage\n");
    platform::ProcProcessTable table(proc.path());
    const auto entries = table.runningProcesses();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].processIdentifier, 41);
    EXPECT_EQ(entries[0].startTime, 777u);
    EXPECT_FALSE(entries[0].executablePath.has_value());
}

TEST(ProcProcessTable, BundleOfExecutableNeedsTheBundleLayout) {
    struct Case {
        const char* executable;
        const char* bundle;  // nullptr: none
    };
    const Case cases[] = {
        {"/opt/Games/Hexora.app/Contents/MacOS/Hexora", "/opt/Games/Hexora.app"},
        {"/a b/My Game.app/Contents/MacOS/Other", "/a b/My Game.app"},
        {"/opt/Hexora.app/Contents/Hexora", nullptr},
        {"/opt/Hexora/Contents/MacOS/Hexora", nullptr},
        {"/opt/Hexora.app/MacOS/Hexora", nullptr},
        {"/usr/bin/sleep", nullptr},
        {"/.app/Contents/MacOS/x", nullptr},
    };
    for (const auto& c : cases) {
        const auto bundle = platform::ProcProcessTable::bundleOfExecutable(c.executable);
        if (c.bundle) {
            EXPECT_EQ(bundle, std::filesystem::path(c.bundle)) << c.executable;
        } else {
            EXPECT_FALSE(bundle.has_value()) << c.executable;
        }
    }
}

TEST(InfoPlist, ReadsTextEntriesOfXmlAndBinaryLists) {
    test::TempDir dir;
    test::writePlist(dir / "xml.plist", {{"CFBundleIdentifier", "com.example.x"}, {"CFBundleVersion", "1.2.3"}});
    test::writePlist(dir / "bin.plist", {{"CFBundleIdentifier", "com.example.b"}}, true);
    dir.write("garbage.plist", "not a property list at all");
    dir.write("empty.plist", "");
    dir.write("array.plist",
              "<?xml version=\"1.0\"?><plist version=\"1.0\"><array><string>x</string></array></plist>");
    dir.write("number.plist",
              "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>CFBundleIdentifier</key>"
              "<integer>5</integer></dict></plist>");
    struct Case {
        const char* file;
        const char* key;
        std::optional<std::string> expected;
    };
    const Case cases[] = {
        {"xml.plist", "CFBundleIdentifier", "com.example.x"},
        {"xml.plist", "CFBundleVersion", "1.2.3"},
        {"xml.plist", "CFBundleName", std::nullopt},
        {"bin.plist", "CFBundleIdentifier", "com.example.b"},
        {"garbage.plist", "CFBundleIdentifier", std::nullopt},
        {"empty.plist", "CFBundleIdentifier", std::nullopt},
        {"array.plist", "CFBundleIdentifier", std::nullopt},
        {"number.plist", "CFBundleIdentifier", std::nullopt},
        {"missing.plist", "CFBundleIdentifier", std::nullopt},
        {".", "CFBundleIdentifier", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(platform::InfoPlist::readString(dir / c.file, c.key), c.expected) << c.file << " " << c.key;
    }
}

}  // namespace
}  // namespace hexora

namespace hexora {
namespace {

// Without a reachable X server there is nothing to raise: the answer is false
// and nothing fails.
TEST(X11WindowRaiser, ReportsFalseWithoutADisplay) {
    const char* saved = std::getenv("DISPLAY");
    const std::string previous = saved ? saved : "";
    for (const char* display : {"", ":987"}) {
        ::setenv("DISPLAY", display, 1);
        EXPECT_FALSE(platform::X11WindowRaiser::raiseWindowsOf(::getpid())) << display;
    }
    ::unsetenv("DISPLAY");
    EXPECT_FALSE(platform::X11WindowRaiser::raiseWindowsOf(::getpid()));
    if (saved) ::setenv("DISPLAY", previous.c_str(), 1);
}

}  // namespace
}  // namespace hexora
