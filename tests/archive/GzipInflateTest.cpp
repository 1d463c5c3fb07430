#include "services/archive/GzipInflate.hpp"

#include "support/GzipBytes.hpp"
#include "support/TempDir.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <limits>

namespace hexora {
namespace fs = std::filesystem;
namespace Gzip = Archive::GzipInflate;
using test::deflateBytes;

namespace {

constexpr std::uintmax_t NoBound = std::numeric_limits<std::uintmax_t>::max();

std::string inflateError(const fs::path& source, const fs::path& target, std::uintmax_t bound = NoBound) {
    try {
        Gzip::inflateNextTo(source, target, bound);
    } catch (const Gzip::Error& error) {
        return error.what();
    }
    return "";
}

std::size_t entriesIn(const fs::path& folder) {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

}  // namespace

TEST(GzipInflate, MagicTestTellsGzipFromOtherContent) {
    test::TempDir dir;
    EXPECT_TRUE(Gzip::hasGzipMagic(dir.write("a.gz", deflateBytes("hello"))));
    EXPECT_FALSE(Gzip::hasGzipMagic(dir.write("plain.txt", "{\"version\":\"1\"}")));
    EXPECT_FALSE(Gzip::hasGzipMagic(dir.write("zlib.z", deflateBytes("hello", 15))));
    EXPECT_FALSE(Gzip::hasGzipMagic(dir.write("one.bin", "\x1f")));
    EXPECT_FALSE(Gzip::hasGzipMagic(dir.write("empty", "")));
    EXPECT_THROW(Gzip::hasGzipMagic(dir / "missing.gz"), Gzip::Error);
    EXPECT_THROW(Gzip::hasGzipMagic(dir.path()), Gzip::Error);
}

TEST(GzipInflate, StreamsLargeAndMultiMemberDataIntoTarget) {
    test::TempDir dir;
    std::string large;
    for (int i = 0; i < 200000; ++i) large += std::to_string(i * 7919 % 10007) + ",";
    struct Case {
        const char* label;
        std::string compressed;
        std::string expected;
    };
    const Case cases[] = {
        {"large gzip", deflateBytes(large), large},
        {"two members", deflateBytes("first,") + deflateBytes("second"), "first,second"},
        {"zlib stream", deflateBytes("zlib body", 15), "zlib body"},
        {"padding after member", deflateBytes("padded") + std::string(16, '\0'), "padded"},
        {"empty content", deflateBytes(""), ""},
    };
    for (const auto& c : cases) {
        const fs::path source = dir.write(std::string(c.label) + ".gz", c.compressed);
        const fs::path target = dir / (std::string(c.label) + ".out");
        const fs::path inflated = Gzip::inflateNextTo(source, target, NoBound);
        EXPECT_EQ(inflated.parent_path(), dir.path()) << c.label;
        EXPECT_EQ(test::readFile(inflated), c.expected) << c.label;
        EXPECT_FALSE(fs::exists(target)) << c.label;
    }
}

TEST(GzipInflate, BrokenDataFailsAndLeavesNoFileBehind) {
    test::TempDir dir;
    const std::string good = deflateBytes(std::string(100000, 'x') + "tail");
    std::string corrupt = good;
    corrupt[corrupt.size() / 2] ^= 0x55;
    corrupt[corrupt.size() / 2 + 1] ^= 0x55;
    struct Case {
        const char* label;
        std::string bytes;
        const char* message;
    };
    const Case cases[] = {
        {"truncated", good.substr(0, good.size() / 2), "truncated gzip data"},
        {"header only", good.substr(0, 10), "truncated gzip data"},
        {"corrupt", corrupt, "corrupt gzip data"},
    };
    for (const auto& c : cases) {
        const fs::path source = dir.write(std::string(c.label) + ".gz", c.bytes);
        const fs::path target = dir / (std::string(c.label) + ".out");
        const std::size_t before = entriesIn(dir.path());
        EXPECT_THAT(inflateError(source, target), testing::HasSubstr(c.message)) << c.label;
        EXPECT_EQ(entriesIn(dir.path()), before) << c.label;
    }
}

TEST(GzipInflate, LeavesAnExistingTargetToTheCaller) {
    test::TempDir dir;
    const fs::path source = dir.write("a.gz", deflateBytes("new"));
    const fs::path target = dir.write("a", "existing");
    const fs::path inflated = Gzip::inflateNextTo(source, target, NoBound);
    EXPECT_NE(inflated, target);
    EXPECT_EQ(test::readFile(inflated), "new");
    EXPECT_EQ(test::readFile(target), "existing");
}

TEST(GzipInflate, RefusesASourceThatIsNoRegularFileAndAMissingFolder) {
    test::TempDir dir;
    const fs::path source = dir.write("a.gz", deflateBytes("new"));
    EXPECT_THAT(inflateError(dir.path(), dir / "out"), testing::HasSubstr("cannot open"));
    EXPECT_THAT(inflateError(source, dir / "missing" / "out"), testing::HasSubstr("cannot create"));
}

// Output is counted across members, and the bound is checked before a chunk
// is written: one byte past it fails with nothing left on disk.
TEST(GzipInflate, OutputBeyondTheBoundFailsAndLeavesNoTarget) {
    test::TempDir dir;
    const std::string content = std::string(300000, 'z') + "end";
    const fs::path source = dir.write("bomb.gz", deflateBytes(content.substr(0, 1000)) + deflateBytes(content.substr(1000)));
    struct Case {
        std::uintmax_t bound;
        bool passes;
    };
    for (const Case c : {Case{content.size(), true}, Case{content.size() - 1, false}, Case{0, false}}) {
        const fs::path target = dir / ("out-" + std::to_string(c.bound));
        const std::size_t before = entriesIn(dir.path());
        if (c.passes) {
            EXPECT_EQ(test::readFile(Gzip::inflateNextTo(source, target, c.bound)), content);
        } else {
            EXPECT_THAT(inflateError(source, target, c.bound),
                        testing::HasSubstr("inflates to more than " + std::to_string(c.bound) + " bytes"));
            EXPECT_EQ(entriesIn(dir.path()), before) << c.bound;
        }
    }
}

}  // namespace hexora
