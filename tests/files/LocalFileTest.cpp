#include "services/file/LocalFile.hpp"

#include "support/TempDir.hpp"

#include <gtest/gtest.h>

namespace hexora {
namespace {
namespace fs = std::filesystem;

TEST(LocalFileTest, ReadAllReturnsTheWholeFileOrTheReason) {
    test::TempDir dir;
    std::string large(200 * 1024 + 3, '\0');
    for (std::size_t i = 0; i < large.size(); ++i) large[i] = static_cast<char>(i % 251);
    std::error_code error;
    EXPECT_EQ(LocalFile::readAll(dir.write("large.bin", large), error), large);
    EXPECT_FALSE(error);

    fs::create_directories(dir / "folder");
    const struct {
        const char* label;
        fs::path path;
        std::errc reason;
    } failures[] = {
        {"missing", dir / "missing.json", std::errc::no_such_file_or_directory},
        {"folder", dir / "folder", std::errc::is_a_directory},
        {"read error after opening", "/proc/self/mem", std::errc::io_error},
    };
    for (const auto& c : failures) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(LocalFile::readAll(c.path, error), std::nullopt);
        EXPECT_EQ(error, std::make_error_code(c.reason));
    }
}

TEST(LocalFileTest, OnlyNonEmptyRegularFilesAreRead) {
    test::TempDir dir;
    fs::create_directories(dir / "folder");
    fs::create_symlink(dir.write("data.json", "{}"), dir / "link.json");
    fs::create_symlink(dir / "folder", dir / "folder-link");
    const struct {
        const char* label;
        fs::path path;
        bool expected;
    } cases[] = {
        {"file", dir / "data.json", true},
        {"link to a file", dir / "link.json", true},
        {"empty file", dir.write("empty.json", ""), false},
        {"folder", dir / "folder", false},
        {"link to a folder", dir / "folder-link", false},
        {"missing", dir / "missing.json", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(LocalFile::isNonEmptyRegularFile(c.path), c.expected);
    }
}

// Clearing a link removes the link, never what it points at.
TEST(LocalFileTest, DiscardRemovesALinkButNotItsTarget) {
    test::TempDir dir;
    dir.write("real/keep.txt", "keep");
    fs::create_directories(dir / "storage");
    fs::create_directory_symlink(dir / "real", dir / "storage/.launcher.json");
    EXPECT_TRUE(LocalFile::discardAndMakeParent(dir / "storage/.launcher.json"));
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir / "storage/.launcher.json")));
    EXPECT_EQ(test::readFile(dir / "real/keep.txt"), "keep");
}

}  // namespace
}  // namespace hexora
