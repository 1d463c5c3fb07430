#include "platform/RenameExchange.hpp"

#include "support/OtherFileSystemDir.hpp"
#include "support/TempDir.hpp"

#include <gtest/gtest.h>

namespace hexora::platform {
namespace fs = std::filesystem;

TEST(RenameExchange, SwapsTwoFoldersOrSaysWhyNot) {
    test::TempDir dir;
    dir.write("Hexora.app/Contents/a.txt", "old");
    dir.write("temp/Contents/a.txt", "new");
    RenameExchange exchange;

    const auto result = exchange.exchange(dir / "temp/Contents", dir / "Hexora.app/Contents");
    if (result == PathExchange::Result::NotSupported) GTEST_SKIP() << "this file system cannot swap";

    EXPECT_EQ(test::readFile(dir / "Hexora.app/Contents/a.txt"), "new");
    EXPECT_EQ(test::readFile(dir / "temp/Contents/a.txt"), "old");

    EXPECT_THROW(exchange.exchange(dir / "missing", dir / "Hexora.app/Contents"), fs::filesystem_error);
    EXPECT_EQ(test::readFile(dir / "Hexora.app/Contents/a.txt"), "new");

    test::OtherFileSystemDir other;
    if (other.path().empty()) return;
    fs::create_directories(other.path() / "Contents");
    EXPECT_EQ(exchange.exchange(other.path() / "Contents", dir / "Hexora.app/Contents"),
              PathExchange::Result::NotSupported);
    EXPECT_EQ(test::readFile(dir / "Hexora.app/Contents/a.txt"), "new");
}

}  // namespace hexora::platform
