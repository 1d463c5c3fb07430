#include "platform/FileOps.hpp"

#include "support/FakeFileSystem.hpp"
#include "support/OtherFileSystemDir.hpp"
#include "support/TempDir.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

namespace hexora {
namespace fs = std::filesystem;

TEST(FileOpsExchange, SwapsTwoFoldersOrSaysWhyNot) {
    test::TempDir dir;
    dir.write("Hexora.app/Contents/a.txt", "old");
    dir.write("temp/Contents/a.txt", "new");

    const auto result = FileOps::exchange(dir / "temp/Contents", dir / "Hexora.app/Contents");
    if (result == FileOps::ExchangeResult::NotSupported) GTEST_SKIP() << "this file system cannot swap";

    EXPECT_EQ(test::readFile(dir / "Hexora.app/Contents/a.txt"), "new");
    EXPECT_EQ(test::readFile(dir / "temp/Contents/a.txt"), "old");

    EXPECT_THROW(FileOps::exchange(dir / "missing", dir / "Hexora.app/Contents"), fs::filesystem_error);
    EXPECT_EQ(test::readFile(dir / "Hexora.app/Contents/a.txt"), "new");

    test::OtherFileSystemDir other;
    if (other.path().empty()) return;
    fs::create_directories(other.path() / "Contents");
    EXPECT_EQ(FileOps::exchange(other.path() / "Contents", dir / "Hexora.app/Contents"),
              FileOps::ExchangeResult::NotSupported);
    EXPECT_EQ(test::readFile(dir / "Hexora.app/Contents/a.txt"), "new");
}

// What the system answers decides, on any machine: a kernel or file system
// without the swap, or two file systems, is NotSupported; any other failure
// is thrown with its reason. Either way nothing has moved.
TEST(FileOpsExchange, TellsNotSupportedFromAFailure) {
    const struct {
        int error;
        bool notSupported;
    } cases[] = {
        {ENOSYS, true}, {EINVAL, true}, {EOPNOTSUPP, true}, {EXDEV, true},
        {EACCES, false}, {EPERM, false}, {EIO, false}, {ENOENT, false},
    };
    test::TempDir dir;
    dir.write("Hexora.app/Contents/a.txt", "old");
    dir.write("temp/Contents/a.txt", "new");
    for (const auto& c : cases) {
        SCOPED_TRACE(std::strerror(c.error));
        test::ScopedFileSystem disk;
        disk->fail(test::FakeFileSystem::Call::Exchange, (dir / "*").string(), c.error);
        if (c.notSupported) {
            EXPECT_EQ(FileOps::exchange(dir / "temp/Contents", dir / "Hexora.app/Contents"),
                      FileOps::ExchangeResult::NotSupported);
        } else {
            try {
                FileOps::exchange(dir / "temp/Contents", dir / "Hexora.app/Contents");
                ADD_FAILURE() << "the exchange succeeded";
            } catch (const fs::filesystem_error& failure) {
                EXPECT_EQ(failure.code(), std::error_code(c.error, std::generic_category()));
            }
        }
        EXPECT_EQ(test::readFile(dir / "Hexora.app/Contents/a.txt"), "old");
        EXPECT_EQ(test::readFile(dir / "temp/Contents/a.txt"), "new");
    }
}

}  // namespace hexora
