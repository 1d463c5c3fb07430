#include "platform/PlistPreferenceStore.hpp"
#include "services/file/PlayerPrefsHelper.hpp"
#include "support/FakeFileSystem.hpp"
#include "support/ScopedEnv.hpp"
#include "support/TempDir.hpp"

#include <gtest/gtest.h>
#include <plist/plist.h>

#include <spawn.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

extern char** environ;

namespace hexora::platform {
namespace {
namespace fs = std::filesystem;

using test::ScopedEnv;

std::string toolPath() { return std::string(HEXORA_TOOLS_BIN_DIR) + "/hexora-prefs"; }

pid_t startTool(const std::vector<std::string>& arguments) {
    std::vector<std::string> all{toolPath()};
    all.insert(all.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& argument : all) argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
    return pid;
}

int waitTool(pid_t pid) {
    int status = 0;
    if (pid <= 0 || waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string toolOutput(const std::string& key) {
    std::string output;
    FILE* pipe = ::popen((toolPath() + " get '" + key + "'").c_str(), "r");
    if (!pipe) return "<no tool>";
    char buffer[256];
    while (std::size_t read = std::fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, read);
    ::pclose(pipe);
    return output;
}

// The text values of a suite file, read with libplist directly.
std::map<std::string, std::string> fileEntries(const fs::path& file) {
    const std::string bytes = test::readFile(file);
    plist_t root = nullptr;
    plist_from_memory(bytes.data(), static_cast<uint32_t>(bytes.size()), &root);
    std::map<std::string, std::string> entries;
    if (!root) return entries;
    plist_dict_iter iterator = nullptr;
    plist_dict_new_iter(root, &iterator);
    for (;;) {
        char* key = nullptr;
        plist_t value = nullptr;
        plist_dict_next_item(root, iterator, &key, &value);
        if (!key) break;
        char* text = nullptr;
        if (plist_get_node_type(value) == PLIST_STRING) plist_get_string_val(value, &text);
        entries[key] = text ? text : "<not text>";
        std::free(text);
        std::free(key);
    }
    std::free(iterator);
    plist_free(root);
    return entries;
}

TEST(PlistPreferenceStore, WritesThroughToOnePropertyListFilePerSuite) {
    test::TempDir dir;
    PlistPreferenceStore store(dir / "config");
    auto suite = store.open("com.example.one");
    ASSERT_TRUE(suite);
    EXPECT_EQ(suite->stringForKey("a"), std::nullopt);
    suite->setString("a", "1");
    suite->setString("b", "two words");
    suite->setString("a", "3");

    EXPECT_EQ(fileEntries(dir / "config" / "com.example.one.plist"),
              (std::map<std::string, std::string>{{"a", "3"}, {"b", "two words"}}));
    // A separate store sees the writes at once; another suite is separate.
    PlistPreferenceStore other(dir / "config");
    EXPECT_EQ(other.open("com.example.one")->stringForKey("b"), "two words");
    EXPECT_EQ(other.open("com.example.two")->stringForKey("b"), std::nullopt);
    // No temporary files are left behind.
    for (const auto& entry : fs::directory_iterator(dir / "config")) {
        const auto name = entry.path().filename().string();
        EXPECT_TRUE(name == "com.example.one.plist" || name == "com.example.one.plist.lock") << name;
    }
}

// A write lasts: the new file is flushed, renamed over the suite file and
// the folder flushed after the rename; the file is its owner's only. A write
// that fails at any step leaves the stored dictionary whole.
TEST(PlistPreferenceStore, AWriteIsFlushedWithItsFolderOrLeavesTheOldFile) {
    using Call = test::FakeFileSystem::Call;
    test::TempDir dir;
    const fs::path suiteFile = dir / "config" / "com.example.one.plist";
    PlistPreferenceStore store(dir / "config");
    store.open("com.example.one")->setString("a", "1");
    {
        test::ScopedFileSystem disk;
        store.open("com.example.one")->setString("b", "2");
        EXPECT_EQ(disk->calls(Call::Rename, suiteFile.string()), 1);
        EXPECT_EQ(disk->calls(Call::Sync, (dir / "config").string()), 1);
        EXPECT_EQ(fs::status(suiteFile).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
    }
    for (const auto& [call, error] : {std::pair{Call::Write, ENOSPC}, std::pair{Call::Sync, EIO},
                                      std::pair{Call::Rename, EACCES}}) {
        SCOPED_TRACE(std::strerror(error));
        test::ScopedFileSystem disk;
        disk->fail(call, (dir / "config/*").string(), error);
        store.open("com.example.one")->setString("a", "lost");
        EXPECT_EQ(fileEntries(suiteFile), (std::map<std::string, std::string>{{"a", "1"}, {"b", "2"}}));
    }
    for (const auto& entry : fs::directory_iterator(dir / "config")) {
        const auto name = entry.path().filename().string();
        EXPECT_TRUE(name == "com.example.one.plist" || name == "com.example.one.plist.lock") << name;
    }
}

TEST(PlistPreferenceStore, ReadsBinaryListsAndOnlyTextValues) {
    test::TempDir dir;
    plist_t root = plist_new_dict();
    plist_dict_set_item(root, "text", plist_new_string("hello"));
    plist_dict_set_item(root, "number", plist_new_uint(7));
    char* binary = nullptr;
    uint32_t length = 0;
    plist_to_bin(root, &binary, &length);
    dir.write("s.plist", std::string(binary, length));
    plist_to_bin_free(binary);
    plist_free(root);

    PlistPreferenceStore store(dir.path());
    auto suite = store.open("s");
    EXPECT_EQ(suite->stringForKey("text"), "hello");
    EXPECT_EQ(suite->stringForKey("number"), std::nullopt);
    // A write keeps the entries already there.
    suite->setString("more", "x");
    EXPECT_EQ(fileEntries(dir / "s.plist"),
              (std::map<std::string, std::string>{{"more", "x"}, {"number", "<not text>"}, {"text", "hello"}}));
}

TEST(PlistPreferenceStore, BrokenOrUnusableStorageReadsEmpty) {
    test::TempDir dir;
    dir.write("broken.plist", "<?xml version=\"1.0\"?><plist><dict><key>a</key>");
    dir.write("array.plist", "<?xml version=\"1.0\"?><plist version=\"1.0\"><array><string>a</string></array></plist>");
    fs::create_directories(dir / "folder.plist");
    PlistPreferenceStore store(dir.path());
    for (const char* name : {"broken", "array", "folder", "missing"}) {
        EXPECT_EQ(store.open(name)->stringForKey("a"), std::nullopt) << name;
    }
    // A broken file is replaced by a good one on the next write.
    store.open("broken")->setString("a", "fixed");
    EXPECT_EQ(store.open("broken")->stringForKey("a"), "fixed");
    // A write that cannot be stored is dropped without harm.
    store.open("folder")->setString("a", "lost");
    EXPECT_TRUE(fs::is_directory(dir / "folder.plist"));
    EXPECT_EQ(store.open("folder")->stringForKey("a"), std::nullopt);
}

// A suite file far larger than any suite is a broken one: it reads as empty
// without being read whole, and the next write replaces it.
TEST(PlistPreferenceStore, ASuiteFileLargerThanAnySuiteIsBroken) {
    test::TempDir dir;
    PlistPreferenceStore store(dir.path());
    store.open("s")->setString("a", "1");
    fs::resize_file(dir / "s.plist", PlistPreferenceStore::MaxSuiteBytes + 1);
    EXPECT_EQ(store.open("s")->stringForKey("a"), std::nullopt);
    store.open("s")->setString("b", "2");
    EXPECT_EQ(fileEntries(dir / "s.plist"), (std::map<std::string, std::string>{{"b", "2"}}));
}

// A killed writer leaves its temporary file; the next write, holding the
// suite's lock, removes the suite's own temporary files and nothing else.
TEST(PlistPreferenceStore, AWriteRemovesTheTemporaryFilesAKilledWriterLeft) {
    test::TempDir dir;
    const char* stale[] = {".s.plist.tmp-Ab12cD", ".s.plist.tmp-zzzzzz"};
    const char* kept[] = {".s.plist.tmp-Ab12c", ".s.plist.tmp-Ab12cDE", "s.plist.tmp-Ab12cD", ".t.plist.tmp-Ab12cD",
                          ".s.plist.tmp-Ab-2cD", "notes.txt"};
    for (const char* name : stale) dir.write(name, "<?xml");
    for (const char* name : kept) dir.write(name, "other");
    PlistPreferenceStore store(dir.path());
    store.open("s")->setString("a", "1");
    for (const char* name : stale) EXPECT_FALSE(fs::exists(dir / name)) << name;
    for (const char* name : kept) EXPECT_TRUE(fs::exists(dir / name)) << name;
    EXPECT_EQ(store.open("s")->stringForKey("a"), "1");
}

TEST(PlistPreferenceStore, FolderThatCannotBeCreatedDropsWrites) {
    test::TempDir dir;
    dir.write("occupied", "a file where the folder should be");
    PlistPreferenceStore store(dir / "occupied" / "config");
    auto suite = store.open("s");
    ASSERT_TRUE(suite);
    suite->setString("a", "1");
    EXPECT_EQ(suite->stringForKey("a"), std::nullopt);
}

TEST(PlistPreferenceStore, SuiteNamesThatAreNotPlainFileNamesCannotBeOpened) {
    test::TempDir dir;
    PlistPreferenceStore store(dir.path());
    for (const std::string& name : std::vector<std::string>{"", ".", "..", "../escape", "a/b", std::string("a\0b", 3)}) {
        EXPECT_EQ(store.open(name), nullptr) << name;
    }
    EXPECT_NE(store.open("com.tarq.hexora.mac.game"), nullptr);
}

TEST(PlistPreferenceStore, UserConfigurationFolder) {
    struct Case {
        std::optional<std::string> xdg;
        std::optional<std::string> home;
        std::string folder;
    };
    const Case cases[] = {
        {"/x/config", "/home/u", "/x/config"},
        {"relative/config", "/home/u", "/home/u/.config"},
        {"", "/home/u", "/home/u/.config"},
        {std::nullopt, "/home/u", "/home/u/.config"},
    };
    for (const auto& c : cases) {
        ScopedEnv xdg("XDG_CONFIG_HOME", c.xdg);
        ScopedEnv home("HOME", c.home);
        EXPECT_EQ(PlistPreferenceStore::userConfigurationFolder(), fs::path(c.folder));
    }
    test::TempDir dir;
    ScopedEnv xdg("XDG_CONFIG_HOME", (dir / "cfg").string());
    PlistPreferenceStore store;
    store.open("s")->setString("k", "v");
    EXPECT_TRUE(fs::exists(dir / "cfg" / "s.plist"));
}

// GCC 12 reports an overlapping copy inside std::string's inlined assignment
// here, a known false positive of -Wrestrict (GCC bug 105651).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wrestrict"
TEST(PlistPreferenceStore, ConcurrentWritersInOneProcessLoseNothing) {
    test::TempDir dir;
    PlistPreferenceStore store(dir.path());
    constexpr int threads = 6;
    constexpr int keys = 25;
    std::vector<std::thread> writers;
    for (int t = 0; t < threads; ++t) {
        writers.emplace_back([&store, t] {
            for (int k = 0; k < keys; ++k) {
                store.open("shared")->setString("t" + std::to_string(t) + "k" + std::to_string(k), std::to_string(k));
            }
        });
    }
    std::thread reader([&store] {
        // Readers never see a half-written file: every read is a whole dictionary.
        for (int i = 0; i < 200; ++i) (void)store.open("shared")->stringForKey("t0k0");
    });
    for (auto& writer : writers) writer.join();
    reader.join();
    EXPECT_EQ(fileEntries(dir / "shared.plist").size(), static_cast<std::size_t>(threads * keys));
}
#pragma GCC diagnostic pop

class GameSuiteAcrossProcesses : public ::testing::Test {
protected:
    test::TempDir dir;
    ScopedEnv xdg{"XDG_CONFIG_HOME", (dir / "config").string()};
    fs::path suiteFile = dir / "config" / "com.tarq.hexora.mac.game.plist";
};

TEST_F(GameSuiteAcrossProcesses, WrittenByOneProcessReadByTheOtherBase64BothWays) {
    using PlayerPrefsHelper::agent;
    using PlayerPrefsHelper::base64Encode;

    ASSERT_EQ(waitTool(startTool({"set", "CLIENT_PROC_ID", "31337"})), 0);
    EXPECT_EQ(agent().getString("CLIENT_PROC_ID"), "31337");
    EXPECT_EQ(fileEntries(suiteFile),
              (std::map<std::string, std::string>{{base64Encode("CLIENT_PROC_ID"), base64Encode("31337")}}));

    agent().setString("LAUNCHER_PROC_ID", "4242");
    EXPECT_EQ(toolOutput("LAUNCHER_PROC_ID"), "4242");
    EXPECT_EQ(toolOutput("CLIENT_PROC_ID"), "31337");
    EXPECT_EQ(toolOutput("NEVER"), "");
}

TEST_F(GameSuiteAcrossProcesses, ConcurrentProcessesLoseNoWrite) {
    constexpr int processes = 4;
    constexpr int keys = 40;
    std::vector<pid_t> started;
    for (int p = 0; p < processes; ++p) started.push_back(startTool({"set-many", "p" + std::to_string(p) + "-", std::to_string(keys)}));
    for (int k = 0; k < keys; ++k) PlayerPrefsHelper::agent().setString("self-" + std::to_string(k), "x");
    for (const pid_t pid : started) EXPECT_EQ(waitTool(pid), 0);

    const auto entries = fileEntries(suiteFile);
    EXPECT_EQ(entries.size(), static_cast<std::size_t>((processes + 1) * keys));
    for (int p = 0; p < processes; ++p) {
        EXPECT_EQ(PlayerPrefsHelper::agent().getString("p" + std::to_string(p) + "-" + std::to_string(keys - 1)),
                  std::to_string(keys - 1));
    }
}

}  // namespace
}  // namespace hexora::platform
