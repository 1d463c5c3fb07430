#include "services/archive/ZipExtract.hpp"

#include "services/archive/ThreadBudget.hpp"

#include "support/FakeFileSystem.hpp"
#include "support/SmallFileSystem.hpp"
#include "support/TempDir.hpp"
#include "support/TreeSnapshot.hpp"
#include "support/ZipBuilder.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <zlib.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <random>
#include <thread>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <vector>

namespace hexora {
namespace fs = std::filesystem;
using Archive::ZipExtract::Error;
using Archive::ZipExtract::extract;
using Archive::ZipExtract::safeRelativePath;
using Archive::ThreadBudget;

namespace {

// Every path below `root`, relative, sorted.
std::vector<std::string> listTree(const fs::path& root) { return test::pathsOf(test::snapshotTree(root)); }

// The names directly in `folder`, sorted.
std::vector<std::string> listFolder(const fs::path& folder) {
    std::vector<std::string> found;
    for (const auto& entry : fs::directory_iterator(folder)) found.push_back(entry.path().filename().string());
    std::sort(found.begin(), found.end());
    return found;
}

std::string extractError(const fs::path& zip, const fs::path& target, const Archive::ZipExtract::Callbacks& callbacks = {},
                         ThreadBudget* budget = nullptr) {
    try {
        extract(zip, target, callbacks, budget);
    } catch (const Error& error) {
        return error.what();
    }
    return "";
}

}  // namespace

TEST(ZipEntryPath, AcceptsOrdinaryNamesAndRefusesEveryEscape) {
    struct Case {
        const char* name;
        const char* expected;  // nullptr: refused
    };
    const Case cases[] = {
        {"Hexora.app/Contents/MacOS/Hexora", "Hexora.app/Contents/MacOS/Hexora"},
        {"dir/", "dir"},
        {"./a//b.txt", "a/b.txt"},
        {"a/./b", "a/b"},
        {"names with spaces/\xc3\xa9t\xc3\xa9.txt", "names with spaces/\xc3\xa9t\xc3\xa9.txt"},
        {"..", nullptr},
        {"../evil", nullptr},
        {"a/../../evil", nullptr},
        {"a/..", nullptr},
        {"/etc/passwd", nullptr},
        {"..\\evil", nullptr},
        {"a\\b", nullptr},
        {"C:/Windows/evil", nullptr},
        {"c:evil", nullptr},
        {"a/D:/evil", nullptr},
        {"", nullptr},
        {"./", nullptr},
    };
    for (const auto& c : cases) {
        const auto result = safeRelativePath(c.name);
        if (c.expected) {
            ASSERT_TRUE(result) << c.name;
            EXPECT_EQ(result->string(), c.expected) << c.name;
        } else {
            EXPECT_FALSE(result) << c.name << " -> " << result.value_or("").string();
        }
    }
}

// Each archive holds a harmless file first and then one hostile entry; the
// archive is refused and nothing is written at all. The folder around the
// target ("box") is where every escape would land.
TEST(ZipExtract, ZipSlipCorpusWritesNothingOutsideTheTarget) {
    struct Case {
        const char* label;
        void (*add)(test::ZipBuilder&);
    };
    const Case cases[] = {
        {"dot-dot", [](test::ZipBuilder& z) { z.file("../outside.txt", "x"); }},
        {"nested dot-dot", [](test::ZipBuilder& z) { z.file("a/b/../../../outside.txt", "x"); }},
        {"absolute", [](test::ZipBuilder& z) { z.file("/tmp/hexora-zip-slip-absolute.txt", "x"); }},
        {"backslash", [](test::ZipBuilder& z) { z.file("..\\outside.txt", "x"); }},
        {"drive letter", [](test::ZipBuilder& z) { z.file("C:/outside.txt", "x"); }},
        {"absolute link", [](test::ZipBuilder& z) { z.link("etc", "/etc"); }},
        {"link up", [](test::ZipBuilder& z) { z.link("up", "../"); }},
        {"link up through folder", [](test::ZipBuilder& z) { z.link("a/b/up", "../../.."); }},
        {"link through a link to the root", [](test::ZipBuilder& z) {
             z.link("here", ".");
             z.link("here/up", "..");
         }},
        {"link then file through it", [](test::ZipBuilder& z) {
             z.link("out", "..");
             z.file("out/outside.txt", "x");
         }},
    };
    for (const auto& c : cases) {
        test::TempDir dir;
        const fs::path zip = dir / "package.zip";
        test::ZipBuilder builder(zip);
        builder.file("good.txt", "fine");
        c.add(builder);
        builder.close();
        const fs::path target = dir / "box" / "target";

        const std::string error = extractError(zip, target);

        EXPECT_THAT(error, testing::AnyOf(testing::HasSubstr("unsafe entry path"),
                                          testing::HasSubstr("outside the target folder")))
            << c.label;
        // Not even the target folder, which the extraction would have made.
        EXPECT_EQ(listFolder(dir.path()), (std::vector<std::string>{"package.zip"})) << c.label;
        EXPECT_FALSE(fs::exists("/tmp/hexora-zip-slip-absolute.txt")) << c.label;
    }
}

// Each link alone stays inside; together they lead out. The package fails
// and takes away all it made, while what the target held before stays.
TEST(ZipExtract, LinksThatEscapeOnlyTogetherAreRefusedAndLeaveNothingBehind) {
    struct Case {
        const char* label;
        std::vector<std::pair<std::string, std::string>> links;  // made in this order
    };
    const Case cases[] = {
        {"a link through a link made earlier", {{"q", "."}, {"Game.app/p", "../q/.."}}},
        {"a link redirected by a later one", {{"Game.app/p", "../q/.."}, {"q", "."}}},
        {"a chain of links", {{"x", "a/b/../.."}, {"a", "c"}, {"c", "."}}},
    };
    for (const auto& c : cases) {
        test::TempDir dir;
        const fs::path target = dir / "box" / "target";
        dir.write("box/target/installed.txt", "kept");
        const fs::path zip = dir / "package.zip";
        test::ZipBuilder builder(zip);
        builder.folder("Game.app/").file("Game.app/Contents/data.txt", "data");
        for (const auto& [name, to] : c.links) builder.link(name, to);
        builder.close();

        EXPECT_THAT(extractError(zip, target), testing::HasSubstr("outside the target folder")) << c.label;
        EXPECT_EQ(listTree(target), (std::vector<std::string>{"installed.txt"})) << c.label;
        EXPECT_EQ(listFolder(dir / "box"), (std::vector<std::string>{"target"})) << c.label;
    }
}

TEST(ZipExtract, LinksThatStayInsideTheBundleKeepWorking) {
    test::TempDir dir;
    const fs::path zip = dir / "package.zip";
    test::ZipBuilder builder(zip);
    builder.file("Fw.framework/Versions/A/Resources/info.txt", "info")
        .file("Fw.framework/Versions/A/Fw", "binary")
        .link("Fw.framework/Versions/Current", "A")
        .link("Fw.framework/Resources", "Versions/Current/Resources")
        .link("Fw.framework/Fw", "Versions/Current/Fw")
        .link("Fw.framework/Versions/A/Self", "../../../Fw.framework");
    builder.close();

    extract(zip, dir / "out");

    EXPECT_EQ(test::readFile(dir / "out/Fw.framework/Resources/info.txt"), "info");
    EXPECT_EQ(test::readFile(dir / "out/Fw.framework/Fw"), "binary");
    EXPECT_EQ(fs::read_symlink(dir / "out/Fw.framework/Versions/Current"), "A");
}

TEST(ZipExtract, LinkFoundInTheTargetFolderIsNotFollowedOutside) {
    test::TempDir dir;
    fs::create_directories(dir / "outside");
    fs::create_directories(dir / "target");
    fs::create_directory_symlink(dir / "outside", dir / "target" / "planted");
    const fs::path zip = dir / "package.zip";
    test::ZipBuilder builder(zip);
    builder.file("planted/evil.txt", "x");
    builder.close();

    EXPECT_THAT(extractError(zip, dir / "target"), testing::HasSubstr("leaves the target folder"));
    EXPECT_TRUE(fs::is_empty(dir / "outside"));
}

TEST(ZipExtract, ExtractsTreeWithLinksModesAndExactTimes) {
    test::TempDir dir;
    const fs::path zip = dir / "package.zip";
    const std::time_t oddSecond = 1700000001;  // a DOS time cannot hold odd seconds
    test::ZipBuilder builder(zip);
    builder.folder("Hexora.app/")
        .file("Hexora.app/Contents/MacOS/Hexora", "#!/bin/sh\necho game\n", 0755, false, oddSecond)
        .file("Hexora.app/Contents/Resources/data.bin", std::string(300000, 'd'), 0644)
        .file("Hexora.app/Contents/Info.plist", "<plist/>")
        .link("Hexora.app/Contents/Current", "Resources")
        .link("Hexora.app/Contents/MacOS/game", "Hexora");
    builder.close();
    const fs::path target = dir / "out";

    std::vector<double> reports;
    extract(zip, target, {[&](double fraction) { reports.push_back(fraction); }, {}});

    const fs::path binary = target / "Hexora.app/Contents/MacOS/Hexora";
    EXPECT_EQ(test::readFile(binary), "#!/bin/sh\necho game\n");
    EXPECT_EQ(fs::status(binary).permissions() & fs::perms::all, static_cast<fs::perms>(0755));
    struct stat info {};
    ASSERT_EQ(::stat(binary.c_str(), &info), 0);
    EXPECT_EQ(info.st_mtime, oddSecond);
    EXPECT_EQ(test::readFile(target / "Hexora.app/Contents/Resources/data.bin").size(), 300000u);
    EXPECT_EQ(fs::status(target / "Hexora.app/Contents/Resources/data.bin").permissions() & fs::perms::all,
              static_cast<fs::perms>(0644));
    EXPECT_EQ(fs::read_symlink(target / "Hexora.app/Contents/Current"), "Resources");
    EXPECT_EQ(test::readFile(target / "Hexora.app/Contents/MacOS/game"), "#!/bin/sh\necho game\n");

    ASSERT_FALSE(reports.empty());
    EXPECT_TRUE(std::is_sorted(reports.begin(), reports.end()));
    EXPECT_DOUBLE_EQ(reports.back(), 1.0);
}

// The same through the standard tool, which writes its own attributes and
// extended timestamps: the package format the file server really serves.
TEST(ZipExtract, KeepsExecutableBitAndTimesOfAnArchiveMadeByTheZipTool) {
    test::TempDir dir;
    const fs::path binary = dir.write("src/Hexora.app/Contents/MacOS/Hexora", "binary");
    fs::permissions(binary, static_cast<fs::perms>(0755));
    const timespec times[2] = {{1600000003, 0}, {1600000003, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, binary.c_str(), times, 0), 0);
    fs::create_symlink("MacOS/Hexora", dir / "src/Hexora.app/Contents/start");
    const std::string command = "cd '" + (dir / "src").string() + "' && zip -qry '" + (dir / "p.zip").string() + "' Hexora.app";
    ASSERT_EQ(std::system(command.c_str()), 0);

    extract(dir / "p.zip", dir / "out");

    const fs::path extracted = dir / "out/Hexora.app/Contents/MacOS/Hexora";
    EXPECT_EQ(fs::status(extracted).permissions() & fs::perms::all, static_cast<fs::perms>(0755));
    struct stat info {};
    ASSERT_EQ(::stat(extracted.c_str(), &info), 0);
    EXPECT_EQ(info.st_mtime, 1600000003);
    EXPECT_EQ(fs::read_symlink(dir / "out/Hexora.app/Contents/start"), "MacOS/Hexora");
}

TEST(ZipExtract, ReplacesFilesAlreadyInTheTarget) {
    test::TempDir dir;
    dir.write("out/a.txt", "old content that is longer");
    const fs::path zip = dir / "p.zip";
    test::ZipBuilder builder(zip);
    builder.file("a.txt", "new");
    builder.close();

    extract(zip, dir / "out");

    EXPECT_EQ(test::readFile(dir / "out/a.txt"), "new");
}

// A stored entry with changed bytes, and a deflated entry whose recorded
// CRC-32 (local header and directory) no longer matches its data.
TEST(ZipExtract, CorruptedEntriesFailWithCrcError) {
    const std::string content = "THIS-IS-THE-STORED-CONTENT-OF-THE-ENTRY";
    struct Case {
        const char* label;
        zip_int32_t method;
    };
    for (const Case c : {Case{"stored", ZIP_CM_STORE}, Case{"deflated", ZIP_CM_DEFLATE}}) {
        test::TempDir dir;
        const fs::path zip = dir / "p.zip";
        test::ZipBuilder builder(zip);
        builder.file("ok.txt", "fine").fileWith("bad.txt", content, c.method);
        builder.close();
        std::string bytes = test::readFile(zip);
        if (c.method == ZIP_CM_STORE) {
            const auto at = bytes.find(content);
            ASSERT_NE(at, std::string::npos);
            bytes[at + 5] = 'X';
        } else {
            const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(content.data()), static_cast<uInt>(content.size()));
            const std::string field = {static_cast<char>(crc), static_cast<char>(crc >> 8), static_cast<char>(crc >> 16),
                                       static_cast<char>(crc >> 24)};
            int changed = 0;
            for (auto at = bytes.find(field); at != std::string::npos; at = bytes.find(field, at + 4), ++changed)
                bytes[at] ^= 0x01;
            ASSERT_EQ(changed, 2) << c.label;
        }
        std::ofstream(zip, std::ios::binary | std::ios::trunc) << bytes;

        EXPECT_THAT(extractError(zip, dir / "out"), testing::AllOf(testing::HasSubstr("bad.txt"), testing::HasSubstr("CRC")))
            << c.label;
    }
}

// Many entries of every kind the package writers produce, written by several
// threads: each file holds exactly its bytes, and progress only goes up.
TEST(ZipExtract, ManyEntriesOfMixedKindsAreWrittenExactlyBySeveralThreads) {
    test::TempDir dir;
    const fs::path zip = dir / "p.zip";
    std::mt19937_64 random(7);
    auto noise = [&](std::size_t size) {
        std::string bytes(size, '\0');
        for (auto& byte : bytes) byte = static_cast<char>(random());
        return bytes;
    };
    auto text = [&](std::size_t size) {
        std::string bytes;
        while (bytes.size() < size) bytes += "sprite " + std::to_string(random() % 1000) + ",\n";
        return bytes.substr(0, size);
    };
    std::vector<std::pair<std::string, std::string>> expected;
    test::ZipBuilder builder(zip);
    for (int i = 0; i < 60; ++i) {
        const std::size_t size = i == 0 ? 0 : (i % 7 == 0 ? 700000 + i : 1000 * i);
        const std::string name = "Game.app/Contents/R" + std::to_string(i % 5) + "/f" + std::to_string(i);
        const std::string content = i % 2 ? noise(size) : text(size);
        const zip_int32_t method = i % 3 == 0 ? ZIP_CM_STORE : ZIP_CM_DEFLATE;
        builder.fileWith(name, content, method);
        expected.emplace_back(name, content);
    }
    if (zip_compression_method_supported(ZIP_CM_BZIP2, 1)) {  // inflated by libzip itself
        const std::string content = text(50000);
        builder.fileWith("Game.app/bzip2.txt", content, ZIP_CM_BZIP2);
        expected.emplace_back("Game.app/bzip2.txt", content);
    }
    builder.close();

    std::vector<double> reports;
    ThreadBudget budget(4);
    extract(zip, dir / "out", {[&](double fraction) { reports.push_back(fraction); }, {}}, &budget);

    for (const auto& [name, content] : expected) {
        EXPECT_EQ(test::readFile(dir / "out" / name), content) << name;
    }
    ASSERT_FALSE(reports.empty());
    EXPECT_TRUE(std::is_sorted(reports.begin(), reports.end()));
    EXPECT_DOUBLE_EQ(reports.back(), 1.0);
}

// The thread that extracts holds a slot of the shared budget first: while
// every slot is taken it writes nothing and can still be cancelled.
TEST(ZipExtract, ExtractionWaitsForASlotOfTheSharedBudget) {
    test::TempDir dir;
    const fs::path zip = dir / "p.zip";
    test::ZipBuilder builder(zip);
    builder.file("a.txt", "a");
    builder.close();
    ThreadBudget budget(1);
    ASSERT_TRUE(budget.tryAcquire());
    int looks = 0;

    std::string error;
    try {
        extract(zip, dir / "out", {{}, [&] { return ++looks > 2; }}, &budget);
    } catch (const Error& e) {
        error = e.what();
    }

    EXPECT_EQ(error, "extraction cancelled");
    EXPECT_FALSE(fs::exists(dir / "out"));
    budget.release();
    extract(zip, dir / "out", {}, &budget);
    EXPECT_EQ(test::readFile(dir / "out/a.txt"), "a");
    EXPECT_TRUE(budget.tryAcquire());  // every slot was given back
}

TEST(ZipExtract, UnreadableArchivesFailWithDescription) {
    test::TempDir dir;
    dir.write("plain.zip", "this is no zip archive at all");
    EXPECT_THAT(extractError(dir / "plain.zip", dir / "out"), testing::HasSubstr("cannot open archive"));
    EXPECT_THAT(extractError(dir / "missing.zip", dir / "out"), testing::HasSubstr("cannot open archive"));
}

TEST(ZipExtract, CancellationStopsBetweenChunks) {
    test::TempDir dir;
    const fs::path zip = dir / "p.zip";
    test::ZipBuilder builder(zip);
    for (int i = 0; i < 8; ++i) builder.file("f" + std::to_string(i), std::string(1 << 20, static_cast<char>('a' + i)));
    builder.close();
    std::atomic<bool> cancelled{false};

    std::string error;
    try {
        extract(zip, dir / "out", {[&](double fraction) { if (fraction > 0.2) cancelled = true; }, [&] { return cancelled.load(); }});
    } catch (const Error& e) {
        error = e.what();
    }

    EXPECT_EQ(error, "extraction cancelled");
    EXPECT_FALSE(fs::exists(dir / "out")) << "a cancelled extraction takes away what it wrote";
}

namespace {

// A package of 3 MiB that does not compress (random bytes), with a link.
void writeLargePackage(const fs::path& zip) {
    test::ZipBuilder builder(zip);
    std::mt19937_64 random(3);
    builder.file("1.0.2/scheme.json", "{}");
    for (int i = 0; i < 6; ++i) {
        std::string noise(512 * 1024, '\0');
        for (auto& byte : noise) byte = static_cast<char>(random());
        builder.file("1.0.2/Hexora.app/Contents/Resources/part" + std::to_string(i), noise);
    }
    builder.link("1.0.2/Hexora.app/Contents/Current", "Resources");
    builder.close();
}

}  // namespace

// The package does not fit: the extraction fails with the system's reason
// and leaves the disk as it found it: no partial file, no folder it made, and
// what was there before untouched.
TEST(ZipExtract, FullDiskFailsAndTakesAwayEverythingWritten) {
    test::TempDir dir;
    test::SmallFileSystem disk(dir / "disk", 1 << 20);
    if (!disk.available()) GTEST_SKIP() << disk.reason();
    std::ofstream(dir / "disk/before.txt") << "was here";
    fs::create_directories(dir / "disk/temp");
    const fs::path zip = dir / "package.zip";
    writeLargePackage(zip);
    for (const fs::path& target : {dir / "disk/temp", dir / "disk/new/target"}) {
        SCOPED_TRACE(target);
        const std::uint64_t freeBefore = disk.freeBytes();

        EXPECT_THAT(extractError(zip, target), testing::HasSubstr(std::strerror(ENOSPC)));

        EXPECT_EQ(listTree(dir / "disk"), (std::vector<std::string>{"before.txt", "temp"}));
        EXPECT_EQ(test::readFile(dir / "disk/before.txt"), "was here");
        EXPECT_EQ(disk.freeBytes(), freeBefore);
    }
}

// The same on any machine, for a disk that runs out of room and for writes
// the system refuses part way (quota, disk error): the extraction fails with
// the system's reason and takes away everything it wrote.
TEST(ZipExtract, AFailingWriteOfAnyKindTakesAwayEverythingWritten) {
    test::TempDir dir;
    const fs::path zip = dir / "package.zip";
    writeLargePackage(zip);
    const struct {
        const char* label;
        int error;
        bool smallDisk;
    } cases[] = {{"a disk of 1 MiB", ENOSPC, true}, {"quota", EDQUOT, false}, {"disk error", EIO, false}};
    for (const auto& c : cases) {
        for (const char* target : {"disk/temp", "disk/new/target"}) {
            SCOPED_TRACE(std::string(c.label) + ", " + target);
            fs::remove_all(dir / "disk");
            dir.write("disk/before.txt", "was here");
            fs::create_directories(dir / "disk/temp");
            test::ScopedFileSystem disk;
            const std::string below = (dir / "disk/*").string();
            if (c.smallDisk) disk->limitSpace(below, 1 << 20);
            else disk->fail(test::FakeFileSystem::Call::Write, below, c.error, 3);

            EXPECT_THAT(extractError(zip, dir / target), testing::HasSubstr(std::strerror(c.error)));

            EXPECT_EQ(listTree(dir / "disk"), (std::vector<std::string>{"before.txt", "temp"}));
            EXPECT_EQ(test::readFile(dir / "disk/before.txt"), "was here");
        }
    }
}

}  // namespace hexora

namespace hexora {

// The free-space reserve of the downloads holds for the unzip too, on a disk
// of 8 MiB with a reserve of 2 MiB:
// - a zip bomb (32 MiB of zeros in a package of some 32 KiB) and a package
//   of 3 MiB that would leave less than the reserve are refused by their
//   declared sizes before anything is written;
// - a package whose sizes fit but whose 3,000 tiny files take a block each
//   (12 MiB) stops at the reserve while writing (one thread, so no other
//   thread's share of a look's slack counts);
// each leaves the disk as it found it; the 3 MiB package fits beside a
// reserve of 1 MiB.
TEST(ZipExtract, APackageKeepsTheDisksReserve) {
    test::TempDir dir;
    test::SmallFileSystem disk(dir / "disk", 8 << 20);
    if (!disk.available()) GTEST_SKIP() << disk.reason();
    std::ofstream(dir / "disk/before.txt") << "was here";
    const fs::path bomb = dir / "bomb.zip";
    {
        test::ZipBuilder builder(bomb);
        builder.file("1.0.2/Hexora.app/Contents/Resources/zeros", std::string(32 << 20, '\0'));
        builder.close();
    }
    const fs::path large = dir / "large.zip";
    writeLargePackage(large);
    const fs::path tiny = dir / "tiny.zip";
    {
        test::ZipBuilder builder(tiny);
        for (int i = 0; i < 3000; ++i) builder.file("1.0.2/f" + std::to_string(i), "x");
        builder.close();
    }
    constexpr std::uint64_t Reserve = 2 << 20;
    const struct {
        const fs::path& zip;
        std::uint64_t reserve;
        const char* failure;
    } cases[] = {
        {bomb, Reserve, "not enough free space to unzip"},
        {large, 6 << 20, "not enough free space to unzip"},
        {tiny, Reserve, "the unzip would leave less than 2097152 bytes free on its disk"},
        {large, 1 << 20, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.zip.filename().string() + " beside " + std::to_string(c.reserve));
        const std::uint64_t freeBefore = disk.freeBytes();
        ThreadBudget oneThread(1);
        Archive::ZipExtract::Callbacks callbacks;
        callbacks.keepFreeBytes = c.reserve;

        const std::string failure = extractError(c.zip, dir / "disk/temp", callbacks, &oneThread);

        if (*c.failure == '\0') {
            EXPECT_EQ(failure, "");
            EXPECT_GE(disk.freeBytes(), c.reserve);
            fs::remove_all(dir / "disk/temp");
            continue;
        }
        EXPECT_THAT(failure, testing::HasSubstr(c.failure));
        EXPECT_EQ(listTree(dir / "disk"), std::vector<std::string>{"before.txt"});
        EXPECT_EQ(disk.freeBytes(), freeBefore);
    }
}

}  // namespace hexora
