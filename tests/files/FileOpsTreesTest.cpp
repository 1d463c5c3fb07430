#include "platform/FileOps.hpp"

#include "support/FakeFileSystem.hpp"
#include "support/OtherFileSystemDir.hpp"
#include "support/TempDir.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

namespace hexora {
namespace fs = std::filesystem;

namespace {

// A small installed bundle: nested files, an executable with a known time, a link.
void makeBundle(const fs::path& root) {
    fs::create_directories(root / "Contents/MacOS");
    fs::create_directories(root / "Contents/Resources/empty");
    std::FILE* file = std::fopen((root / "Contents/MacOS/Hexora").c_str(), "w");
    std::fputs("game", file);
    std::fclose(file);
    fs::permissions(root / "Contents/MacOS/Hexora", static_cast<fs::perms>(0755));
    const timespec times[2] = {{1500000001, 0}, {1500000001, 0}};
    ::utimensat(AT_FDCWD, (root / "Contents/MacOS/Hexora").c_str(), times, 0);
    file = std::fopen((root / "Contents/Resources/data.txt").c_str(), "w");
    std::fputs("data", file);
    std::fclose(file);
    fs::create_symlink("MacOS/Hexora", root / "Contents/start");
}

void expectBundle(const fs::path& root) {
    EXPECT_EQ(test::readFile(root / "Contents/MacOS/Hexora"), "game");
    EXPECT_EQ(fs::status(root / "Contents/MacOS/Hexora").permissions() & fs::perms::all, static_cast<fs::perms>(0755));
    struct stat info {};
    ASSERT_EQ(::stat((root / "Contents/MacOS/Hexora").c_str(), &info), 0);
    EXPECT_EQ(info.st_mtime, 1500000001);
    EXPECT_EQ(test::readFile(root / "Contents/Resources/data.txt"), "data");
    EXPECT_TRUE(fs::is_directory(root / "Contents/Resources/empty"));
    EXPECT_EQ(fs::read_symlink(root / "Contents/start"), "MacOS/Hexora");
}

}  // namespace

TEST(FileOpsTrees, MovesABundleWithinOneFileSystemAndAcrossFileSystems) {
    test::TempDir dir;
    test::OtherFileSystemDir other;
    makeBundle(dir / "Hexora.app");

    FileOps::moveItem(dir / "Hexora.app", dir / "moved.app");
    EXPECT_FALSE(fs::exists(dir / "Hexora.app"));
    expectBundle(dir / "moved.app");

    if (other.path().empty() || test::sameFileSystem(other.path(), dir.path()))
        GTEST_SKIP() << "no second file system for the cross-device move";
    FileOps::moveItem(dir / "moved.app", other.path() / "Hexora.old.app");
    EXPECT_FALSE(fs::exists(dir / "moved.app"));
    expectBundle(other.path() / "Hexora.old.app");

    FileOps::moveItem(other.path() / "Hexora.old.app", dir / "back.app");
    EXPECT_FALSE(fs::exists(other.path() / "Hexora.old.app"));
    expectBundle(dir / "back.app");
}

// The same move when the rename says the two paths lie on two file systems
// (as it does on any machine here): the bundle is copied with its links,
// modes and times, and the source goes.
TEST(FileOpsTrees, MovesABundleByCopyWhenTheRenameCrossesFileSystems) {
    test::TempDir dir;
    makeBundle(dir / "Hexora.app");
    test::ScopedFileSystem disk;
    disk->fail(test::FakeFileSystem::Call::Rename, (dir / "*").string(), EXDEV);

    FileOps::moveItem(dir / "Hexora.app", dir / "Hexora.old.app");

    EXPECT_FALSE(fs::exists(dir / "Hexora.app"));
    expectBundle(dir / "Hexora.old.app");
    EXPECT_EQ(disk->calls(test::FakeFileSystem::Call::Rename), 1);
}

TEST(FileOpsTrees, RefusesMissingSourceAndExistingDestination) {
    test::TempDir dir;
    dir.write("a.txt", "a");
    dir.write("b.txt", "b");
    EXPECT_THROW(FileOps::moveItem(dir / "missing", dir / "x"), fs::filesystem_error);
    EXPECT_THROW(FileOps::moveItem(dir / "a.txt", dir / "b.txt"), fs::filesystem_error);
    EXPECT_THROW(FileOps::copyThenDelete(dir / "a.txt", dir / "b.txt"), fs::filesystem_error);
    EXPECT_EQ(test::readFile(dir / "a.txt"), "a");
    EXPECT_EQ(test::readFile(dir / "b.txt"), "b");
    EXPECT_FALSE(fs::exists(dir / "x"));
}

// A copy that fails part way (an item that cannot be copied, here a pipe,
// deep in the tree) leaves the source as it was and no partial copy behind.
TEST(FileOpsTrees, CopyFailingMidwayLeavesSourceIntactAndNoCopy) {
    test::TempDir dir;
    makeBundle(dir / "Hexora.app");
    ASSERT_EQ(::mkfifo((dir / "Hexora.app/Contents/Resources/zz-pipe").c_str(), 0644), 0);

    EXPECT_THROW(FileOps::copyThenDelete(dir / "Hexora.app", dir / "copy.app"), fs::filesystem_error);

    expectBundle(dir / "Hexora.app");
    EXPECT_TRUE(fs::is_fifo(dir / "Hexora.app/Contents/Resources/zz-pipe"));
    EXPECT_FALSE(fs::exists(dir / "copy.app"));
}

// After a complete copy the source cannot be deleted completely (an immutable
// file stops the delete part way): what was deleted is put back from the copy.
TEST(FileOpsTrees, SourceThatCannotBeDeletedIsRestoredFromTheCopy) {
    test::TempDir dir;
    makeBundle(dir / "Hexora.app");
    const fs::path locked = dir / "Hexora.app/Contents/Resources/locked.txt";
    dir.write("Hexora.app/Contents/Resources/locked.txt", "locked");
    const std::string lock = "chattr +i '" + locked.string() + "' 2>/dev/null";
    if (std::system(lock.c_str()) != 0) GTEST_SKIP() << "no immutable files on this file system";

    EXPECT_THROW(FileOps::copyThenDelete(dir / "Hexora.app", dir / "copy.app"), fs::filesystem_error);
    std::system(("chattr -i '" + locked.string() + "'").c_str());

    expectBundle(dir / "Hexora.app");
    EXPECT_EQ(test::readFile(locked), "locked");
    EXPECT_FALSE(fs::exists(dir / "copy.app"));
}

// After a complete copy the source cannot be deleted completely, whichever
// item stops the delete (a file, a folder, the bundle itself) and for
// whichever reason: what was deleted is put back from the copy.
TEST(FileOpsTrees, SourceThatCannotBeDeletedAnywhereIsRestoredFromTheCopy) {
    const struct {
        const char* item;
        int error;
    } cases[] = {
        {"Contents/Resources/data.txt", EPERM},
        {"Contents/Resources", EACCES},
        {"Contents/start", EIO},
        {"", EBUSY},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.item);
        test::TempDir dir;
        makeBundle(dir / "Hexora.app");
        test::ScopedFileSystem disk;
        const fs::path stuck = c.item[0] ? dir / "Hexora.app" / c.item : dir / "Hexora.app";
        disk->fail(test::FakeFileSystem::Call::Remove, stuck.string(), c.error);

        try {
            FileOps::copyThenDelete(dir / "Hexora.app", dir / "copy.app");
            ADD_FAILURE() << "the move succeeded";
        } catch (const fs::filesystem_error& failure) {
            EXPECT_EQ(failure.code(), std::error_code(c.error, std::generic_category()));
        }

        expectBundle(dir / "Hexora.app");
        EXPECT_FALSE(fs::exists(dir / "copy.app"));
    }
}

}  // namespace hexora

namespace hexora {
namespace {

// A file with a known content, mode and modification time.
fs::path writeStamped(const fs::path& path, const std::string& content, time_t time) {
    fs::create_directories(path.parent_path());
    std::FILE* file = std::fopen(path.c_str(), "w");
    std::fputs(content.c_str(), file);
    std::fclose(file);
    fs::permissions(path, static_cast<fs::perms>(0755));
    const timespec times[2] = {{time, 0}, {time, 0}};
    ::utimensat(AT_FDCWD, path.c_str(), times, 0);
    return path;
}

time_t modificationTime(const fs::path& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 ? info.st_mtime : 0;
}

}  // namespace

// Whichever way the new file comes (a rename, or a copy beside the target
// renamed over it), the target is replaced whole, keeps the new file's mode
// and time, the source is gone and no temporary sibling stays behind.
TEST(FileOpsTrees, ReplaceFilePutsTheWholeNewFileInPlace) {
    test::OtherFileSystemDir other;
    struct Case {
        const char* name;
        void (*replace)(const fs::path&, const fs::path&);
        bool fromOtherFileSystem;
    };
    const Case cases[] = {
        {"rename", FileOps::replaceFile, false},
        {"copy beside, then rename", FileOps::replaceFileByCopy, false},
        {"across file systems", FileOps::replaceFile, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.fromOtherFileSystem && other.path().empty()) continue;
        test::TempDir dir;
        const fs::path target = dir.write("Contents/a.txt", "old");
        const fs::path source = writeStamped((c.fromOtherFileSystem ? other.path() : dir.path()) / "pkg/a.txt",
                                             "new", 1500000002);

        c.replace(source, target);

        EXPECT_EQ(test::readFile(target), "new");
        EXPECT_EQ(fs::status(target).permissions() & fs::perms::all, static_cast<fs::perms>(0755));
        EXPECT_EQ(modificationTime(target), 1500000002);
        EXPECT_FALSE(fs::exists(source));
        EXPECT_EQ(std::distance(fs::directory_iterator(dir / "Contents"), fs::directory_iterator()), 1);
    }
}

TEST(FileOpsTrees, ReplaceFileCarriesALinkAsALink) {
    for (const auto replace : {FileOps::replaceFile, FileOps::replaceFileByCopy}) {
        test::TempDir dir;
        const fs::path target = dir.write("Contents/start", "old");
        fs::create_directories(dir / "pkg");
        fs::create_symlink("MacOS/Hexora", dir / "pkg/start");

        replace(dir / "pkg/start", target);

        EXPECT_EQ(fs::read_symlink(target), "MacOS/Hexora");
        EXPECT_FALSE(fs::exists(fs::symlink_status(dir / "pkg/start")));
    }
}

// A folder cannot be replaced by a file: both stay as they were and nothing
// is left beside the folder.
TEST(FileOpsTrees, ReplaceFileOntoAFolderFailsAndChangesNothing) {
    for (const auto replace : {FileOps::replaceFile, FileOps::replaceFileByCopy}) {
        test::TempDir dir;
        dir.write("Contents/a/inner.txt", "inner");
        const fs::path source = dir.write("pkg/a", "new");

        EXPECT_THROW(replace(source, dir / "Contents/a"), fs::filesystem_error);

        EXPECT_EQ(test::readFile(dir / "Contents/a/inner.txt"), "inner");
        EXPECT_EQ(test::readFile(source), "new");
        EXPECT_EQ(std::distance(fs::directory_iterator(dir / "Contents"), fs::directory_iterator()), 1);
    }
}

}  // namespace hexora
