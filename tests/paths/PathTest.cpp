#include "services/internal/Path.hpp"
#include "services/internal/ServiceError.hpp"
#include "support/FakeFileSystem.hpp"
#include "support/TempDir.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace hexora {
namespace fs = std::filesystem;

TEST(PathClear, RegularFileFailsAndStays) {
    test::TempDir dir;
    const auto file = dir.write("settings.json", "{}");
    try {
        Path::clear(file);
        FAIL() << "clear of a regular file succeeded";
    } catch (const ServiceError& error) {
        EXPECT_EQ(error.domain(), "Path.clear");
        EXPECT_EQ(error.code(), 0);
        EXPECT_EQ(error.reason(), "path is not a Directory : " + file.string());
    }
    EXPECT_EQ(test::readFile(file), "{}");
}

TEST(PathClear, FolderIsEmptiedAndMissingPathMade) {
    test::TempDir dir;
    dir.write("temp/a.bin", "a");
    dir.write("temp/sub/deeper/b.bin", "b");
    Path::clear(dir / "temp");
    ASSERT_TRUE(fs::is_directory(dir / "temp"));
    EXPECT_TRUE(fs::is_empty(dir / "temp"));

    Path::clear(dir / "missing/one/two");
    EXPECT_TRUE(fs::is_directory(dir / "missing/one/two"));
}

TEST(PathClear, LinkToAFolderIsReplacedAndItsTargetKept) {
    test::TempDir dir;
    dir.write("elsewhere/keep.txt", "precious");
    fs::create_directory_symlink(dir / "elsewhere", dir / "temp");
    Path::clear(dir / "temp");
    EXPECT_FALSE(fs::is_symlink(dir / "temp"));
    EXPECT_TRUE(fs::is_empty(dir / "temp"));
    EXPECT_EQ(test::readFile(dir / "elsewhere/keep.txt"), "precious");
}

TEST(PathClear, CreationBelowAFileFails) {
    test::TempDir dir;
    dir.write("storage", "not a folder");
    EXPECT_THROW(Path::clear(dir / "storage/temp"), fs::filesystem_error);
    EXPECT_EQ(test::readFile(dir / "storage"), "not a folder");
}

TEST(PathClear, DeletionFailureIsPassedOn) {
    if (geteuid() == 0) GTEST_SKIP() << "permissions do not stop root";
    test::TempDir dir;
    dir.write("locked/inner/x", "x");
    fs::permissions(dir / "locked", fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_THROW(Path::clear(dir / "locked/inner"), fs::filesystem_error);
    EXPECT_TRUE(fs::exists(dir / "locked/inner/x"));
}

// The same failure on any machine and for any user: an item below that
// cannot be deleted (no right, a busy or failing disk) stops the clear with
// the system's reason, and the item stays.
TEST(PathClear, DeletionFailureOfAnyKindIsPassedOn) {
    for (const int error : {EACCES, EPERM, EBUSY, EIO}) {
        SCOPED_TRACE(std::strerror(error));
        test::TempDir dir;
        dir.write("locked/inner/x", "x");
        test::ScopedFileSystem disk;
        disk->fail(test::FakeFileSystem::Call::Remove, (dir / "locked/inner/x").string(), error);
        try {
            Path::clear(dir / "locked/inner");
            ADD_FAILURE() << "the clear succeeded";
        } catch (const fs::filesystem_error& failure) {
            EXPECT_EQ(failure.code(), std::error_code(error, std::generic_category()));
        }
        EXPECT_EQ(test::readFile(dir / "locked/inner/x"), "x");
    }
}

TEST(FileSize, OnlyRegularFilesHaveASize) {
    test::TempDir dir;
    dir.write("empty", "");
    dir.write("five", "12345");
    fs::create_directory(dir / "folder");
    fs::create_symlink(dir / "five", dir / "link");
    struct Case {
        const char* name;
        std::int64_t size;
    };
    const Case cases[] = {{"missing", 0}, {"folder", 0}, {"empty", 0}, {"five", 5}, {"link", 5}};
    for (const auto& c : cases) EXPECT_EQ(fileSize(dir / c.name), c.size) << c.name;
}

}  // namespace hexora
