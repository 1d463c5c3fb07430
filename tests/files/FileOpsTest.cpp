#include "platform/FileOps.hpp"

#include "support/FakeFileSystem.hpp"
#include "support/TempDir.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace hexora {
namespace {
namespace fs = std::filesystem;

std::vector<std::string> namesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(FileOpsTest, ExistenceAndRegularFileTestsNeverFollowALink) {
    test::TempDir dir;
    const fs::path file = dir.write("file.txt", "x");
    fs::create_symlink(file, dir / "link-to-file");
    fs::create_symlink(dir / "missing", dir / "dangling");
    fs::create_directories(dir / "folder");
    const struct {
        const char* label;
        fs::path path;
        bool exists;
        bool regular;
    } cases[] = {
        {"file", file, true, true},
        {"link to a file", dir / "link-to-file", true, false},
        {"dangling link", dir / "dangling", true, false},
        {"folder", dir / "folder", true, false},
        {"missing", dir / "missing", false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(FileOps::itemExists(c.path), c.exists);
        EXPECT_EQ(FileOps::isRegularFile(c.path), c.regular);
    }
}

TEST(FileOpsTest, AtomicReplaceKeepsModeReplacesALinkAndLeavesNoTemporaryFile) {
    test::TempDir dir;
    const fs::path file = dir.write("data/file.json", "old");
    ::chmod(file.c_str(), 0600);
    ASSERT_TRUE(FileOps::replaceAtomically(file, "new content"));
    EXPECT_EQ(test::readFile(file), "new content");
    EXPECT_EQ(fs::status(file).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);

    // A link at the path is replaced by the file; what it pointed at is untouched.
    const fs::path elsewhere = dir.write("elsewhere.txt", "keep");
    fs::create_symlink(elsewhere, dir / "data/linked.json");
    ASSERT_TRUE(FileOps::replaceAtomically(dir / "data/linked.json", "written"));
    EXPECT_EQ(test::readFile(elsewhere), "keep");
    EXPECT_TRUE(FileOps::isRegularFile(dir / "data/linked.json"));

    // A folder in the way: the rename fails and nothing is left behind.
    fs::create_directories(dir / "data/folder.json/inner");
    EXPECT_FALSE(FileOps::replaceAtomically(dir / "data/folder.json", "x"));
    EXPECT_FALSE(FileOps::replaceAtomically(dir / "no-folder/file.json", "x"));
    EXPECT_EQ(namesIn(dir / "data"), (std::vector<std::string>{"file.json", "folder.json", "linked.json"}));
}

// The new content reaches the disk before the rename, and the rename before
// the call returns: the file is synced, then its folder.
TEST(FileOpsTest, AtomicReplaceSyncsTheFileThenItsFolder) {
    test::TempDir dir;
    const fs::path file = dir.write("data/file.json", "old");
    test::ScopedFileSystem disk;
    using Call = test::FakeFileSystem::Call;

    ASSERT_TRUE(FileOps::replaceAtomically(file, "new"));

    EXPECT_EQ(test::readFile(file), "new");
    EXPECT_EQ(disk->calls(Call::Sync, (dir / "data/.file.json.tmp-*").string()), 1);
    EXPECT_EQ(disk->calls(Call::Sync, (dir / "data").string()), 1);
    EXPECT_EQ(disk->calls(Call::Rename, file.string()), 1);
}

// Whichever step fails (no room, no right, a disk error), the old content
// stays whole and no temporary file is left.
TEST(FileOpsTest, AtomicReplaceThatFailsAtAnyStepKeepsTheOldFile) {
    using Call = test::FakeFileSystem::Call;
    const struct {
        const char* label;
        Call call;
        int error;
    } cases[] = {
        {"no right to create", Call::Open, EACCES}, {"full disk", Call::Write, ENOSPC},
        {"quota", Call::Write, EDQUOT},             {"flush fails", Call::Sync, EIO},
        {"rename refused", Call::Rename, EPERM},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        test::TempDir dir;
        const fs::path file = dir.write("data/file.json", "old");
        test::ScopedFileSystem disk;
        disk->fail(c.call, (dir / "data/*").string(), c.error);

        EXPECT_FALSE(FileOps::replaceAtomically(file, "new"));

        EXPECT_EQ(test::readFile(file), "old");
        EXPECT_EQ(namesIn(dir / "data"), std::vector<std::string>{"file.json"});
    }
}

// A tree is deleted item by item; the first item that cannot go stops it
// with the system's reason, and what was not reached stays.
TEST(FileOpsTest, RemoveAllStopsAtTheFirstItemThatCannotGo) {
    test::TempDir dir;
    dir.write("tree/a.txt", "a");
    dir.write("tree/locked/b.txt", "b");
    const fs::path outside = dir.write("outside/keep.txt", "keep");
    fs::create_symlink(dir / "outside", dir / "tree/link");
    test::ScopedFileSystem disk;
    disk->fail(test::FakeFileSystem::Call::Remove, (dir / "tree/locked/b.txt").string(), EPERM);

    std::error_code error;
    EXPECT_FALSE(FileOps::removeAll(dir / "tree", error));
    EXPECT_EQ(error, std::error_code(EPERM, std::generic_category()));
    EXPECT_EQ(test::readFile(dir / "tree/locked/b.txt"), "b");
    EXPECT_THROW(FileOps::removeAll(dir / "tree"), fs::filesystem_error);

    test::ScopedFileSystem unlocked;
    EXPECT_TRUE(FileOps::removeAll(dir / "tree", error)) << error.message();
    EXPECT_FALSE(FileOps::itemExists(dir / "tree"));
    EXPECT_EQ(test::readFile(outside), "keep") << "a link is removed, never followed";
    EXPECT_TRUE(FileOps::removeAll(dir / "tree", error)) << "nothing there is no error";
}

TEST(FileOpsTest, TemporarySiblingsAreNewAndDistinct) {
    test::TempDir dir;
    std::error_code error;
    auto first = FileOps::createTemporarySibling(dir / "target.bin", error);
    auto second = FileOps::createTemporarySibling(dir / "target.bin", error);
    ASSERT_TRUE(first && second);
    EXPECT_NE(first->path, second->path);
    EXPECT_EQ(first->path.parent_path(), dir.path());
    EXPECT_TRUE(FileOps::writeAll(first->descriptor.get(), "abc"));
    EXPECT_EQ(test::readFile(first->path), "abc");
    EXPECT_FALSE(FileOps::createTemporarySibling(dir / "missing/target.bin", error));
    EXPECT_EQ(error, std::make_error_code(std::errc::no_such_file_or_directory));
}

TEST(FileOpsTest, OnlyRegularFilesOpenAndTheOpenNeverWaits) {
    test::TempDir dir;
    const fs::path file = dir.write("file.txt", "x");
    fs::create_symlink(file, dir / "link");
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0644), 0);
    fs::create_directories(dir / "folder");
    std::error_code error;
    EXPECT_TRUE(FileOps::openRegularFile(file, error));
    EXPECT_TRUE(FileOps::openRegularFile(dir / "link", error));
    const struct {
        const char* label;
        fs::path path;
        std::errc reason;
    } refused[] = {
        {"pipe without a writer", dir / "pipe", std::errc::invalid_argument},
        {"device", "/dev/zero", std::errc::invalid_argument},
        {"folder", dir / "folder", std::errc::is_a_directory},
        {"missing", dir / "missing", std::errc::no_such_file_or_directory},
    };
    for (const auto& c : refused) {
        SCOPED_TRACE(c.label);
        EXPECT_FALSE(FileOps::openRegularFile(c.path, error));
        EXPECT_EQ(error, std::make_error_code(c.reason));
    }
}

TEST(FileOpsTest, ContainmentIsJudgedByNameAndAfterResolvingLinks) {
    const struct {
        const char* relative;
        bool inside;
    } names[] = {
        {"a/b.txt", true}, {"a/./b", true},     {"", false},           {"..", false},
        {"a/../b", false}, {"/etc/x", false},   {"a/../../x", false},  {"a..b/c", true},
    };
    for (const auto& c : names) EXPECT_EQ(FileOps::staysInside(c.relative), c.inside) << c.relative;

    test::TempDir dir;
    const fs::path root = dir / "root";
    const fs::path inside = dir.write("root/sub/file.txt", "in");
    const fs::path outside = dir.write("outside/file.txt", "out");
    fs::create_symlink("sub", root / "current");  // a link that stays inside
    fs::create_symlink(outside.parent_path(), root / "out");
    EXPECT_EQ(FileOps::resolveInside(root, root / "current/file.txt"), fs::canonical(inside));
    EXPECT_EQ(FileOps::resolveInside(root, root / "out/file.txt"), std::nullopt);
    EXPECT_EQ(FileOps::resolveInside(root, root / "missing"), std::nullopt);
    // "root-other" shares the text prefix of "root" but is not below it.
    const fs::path sibling = dir.write("root-other/file.txt", "x");
    EXPECT_EQ(FileOps::resolveInside(root, sibling), std::nullopt);
}

}  // namespace
}  // namespace hexora
