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
#include <iterator>

namespace hexora {
namespace {

std::optional<platform::ProcessEntry> find(platform::ProcessTable& table, std::int32_t pid) {
    for (auto& entry : table.runningProcesses()) {
        if (entry.processIdentifier == pid) return entry;
    }
    return std::nullopt;
}

// The process's arguments as /proc shows them; empty for a moment after the
// start, while the new program is still being set up.
std::string commandLineOf(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/cmdline", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
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

// A running bundled process whose Contents are then moved aside (and maybe
// deleted, maybe replaced by new Contents), as a self-update does to the old
// launcher: it keeps the facts it was started with.
TEST(ProcProcessTable, KeepsTheFactsOfAProcessWhoseBundleWasMovedOrDeleted) {
    struct Case {
        const char* name;
        bool seenBeforeTheMove;   // the same table saw it while in place
        bool backupDeleted;       // the moved Contents are deleted afterwards
        bool newContents;         // new Contents with the same identifier are laid out
        bool identifierExpected;  // an Info.plist is left to read, or was read before
    };
    const Case cases[] = {
        {"seen before, then moved and deleted", true, true, false, true},
        {"seen before, then moved", true, false, false, true},
        {"first seen after the move, new Contents in place", false, false, true, true},
        {"first seen after the move and deletion, new Contents in place", false, true, true, true},
        {"first seen after the move and deletion, nothing in place", false, true, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        const auto executable = test::layOutBundle(dir / "Apps", "Fixture", "com.example.fixture");
        const auto bundle = std::filesystem::canonical(dir / "Apps" / "Fixture.app");
        const auto startedAt = std::filesystem::canonical(executable);
        platform::PosixProcessLauncher launcher;
        const auto started = launcher.launch(executable, {"30"}, dir.path(), {});
        ASSERT_GT(started.processIdentifier, 0) << started.error;
        const auto pid = started.processIdentifier;
        ASSERT_TRUE(test::eventually([&] { return !commandLineOf(pid).empty(); }));

        platform::ProcProcessTable table;
        if (c.seenBeforeTheMove) {
            ASSERT_TRUE(table.runningProcess(pid).has_value());
        }
        std::filesystem::rename(bundle / "Contents", dir / "Fixture.old.app");
        if (c.backupDeleted) std::filesystem::remove_all(dir / "Fixture.old.app");
        if (c.newContents) test::layOutBundle(dir / "Apps", "Fixture", "com.example.fixture");

        const auto single = table.runningProcess(pid);
        const auto listed = find(table, pid);
        for (const auto& entry : {single, listed}) {
            ASSERT_TRUE(entry.has_value());
            EXPECT_EQ(entry->executablePath, startedAt);
            EXPECT_EQ(entry->bundlePath, bundle);
            EXPECT_EQ(entry->bundleIdentifier,
                      c.identifierExpected ? std::optional<std::string>("com.example.fixture") : std::nullopt);
        }
        ::kill(pid, SIGKILL);
        EXPECT_TRUE(test::eventually([&] { return table.isTerminated(*single); }));
    }
}

// A process running outside any bundle is taken at the path it was started
// from only when its first argument is an absolute bundle path to a file of
// the name it runs.
TEST(ProcProcessTable, FirstArgumentCountsWhenAbsoluteAndOfTheSameName) {
    test::TempDir dir;
    const auto executable = test::layOutBundle(dir / "Apps", "sleep", "com.example.fixture");
    const auto loose = dir / "loose" / "sleep";
    std::filesystem::create_directories(loose.parent_path());
    std::filesystem::copy_file("/bin/sleep", loose);
    struct Case {
        const char* name;
        std::string firstArgument;
        bool takenForTheBundle;
    };
    const Case cases[] = {
        {"absolute bundle path, same file name", executable.string(), true},
        {"relative bundle path", "Apps/sleep.app/Contents/MacOS/sleep", false},
        {"another file name", (dir / "Apps/sleep.app/Contents/MacOS/other").string(), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::chdir(dir.path().c_str());
            ::execl(loose.c_str(), c.firstArgument.c_str(), "30", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        platform::ProcProcessTable table;
        ASSERT_TRUE(test::eventually([&] {
            const auto entry = table.runningProcess(child);
            return entry && entry->executablePath && entry->executablePath->filename() == "sleep" &&
                   std::filesystem::equivalent(*entry->executablePath, c.takenForTheBundle ? executable : loose);
        }));
        const auto entry = table.runningProcess(child);
        EXPECT_EQ(entry->bundleIdentifier.has_value(), c.takenForTheBundle);
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
    }
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
