#include "workers/common/unpack/CGunzip.hpp"
#include "workers/common/unpack/CUnzip.hpp"

#include "engine/LauncherError.hpp"
#include "services/file/Schemes.hpp"
#include "services/rum/RumApi.hpp"
#include "support/EngineHarness.hpp"
#include "support/FakeFileSystem.hpp"
#include "support/Eventually.hpp"
#include "support/PendingRecords.hpp"
#include "support/RunState.hpp"
#include "support/SmallFileSystem.hpp"
#include "support/WorkerFailure.hpp"
#include "support/GzipBytes.hpp"
#include "support/TempDir.hpp"
#include "support/TestClock.hpp"
#include "support/ZipBuilder.hpp"
#include "workers/common/download/FileFetch.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

namespace hexora::Worker::Common {
namespace fs = std::filesystem;
using testing::HasSubstr;

namespace {

std::vector<std::string> names(const fs::path& folder) {
    std::vector<std::string> found;
    for (const auto& entry : fs::directory_iterator(folder)) found.push_back(entry.path().filename().string());
    std::sort(found.begin(), found.end());
    return found;
}

class UnpackTest : public test::RunStateFixture {
protected:
    test::ScopedTestClock clock;
    test::EngineHarness harness;
    test::TempDir dir;
};

TEST_F(UnpackTest, GunzipReplacesExistingTargetAndLeavesNoBackup) {
    const fs::path source = dir.write("storage/launcherScheme.json.gz", test::deflateBytes("{\"version\":\"2\"}"));
    const fs::path second = dir.write("storage/gameScheme.json.gz", test::deflateBytes("{\"version\":\"3\"}"));
    dir.write("storage/launcherScheme.json", "{\"version\":\"1\"}");
    CGunzip worker(harness.thread, {source.string(), second.string()},
                   {(dir / "storage/launcherScheme.json").string(), (dir / "storage/gameScheme.json").string()});

    worker.work();

    EXPECT_EQ(test::readFile(dir / "storage/launcherScheme.json"), "{\"version\":\"2\"}");
    EXPECT_EQ(test::readFile(dir / "storage/gameScheme.json"), "{\"version\":\"3\"}");
    EXPECT_EQ(names(dir / "storage"), (std::vector<std::string>{"gameScheme.json", "gameScheme.json.gz",
                                                                "launcherScheme.json", "launcherScheme.json.gz"}));
    const auto records = Rum::Api::takePendingRecords();
    ASSERT_EQ(test::withEvent(records, "completed").size(), 1u);
    EXPECT_EQ(test::withEvent(records, "completed")[0].MinorType, "CGunzip");
    const auto events = harness.takeEvents();
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.front().state, LauncherState::DecompressFiles);
    EXPECT_EQ(test::progressValues(events).back(), 100.0);
}

TEST_F(UnpackTest, GunzipOfPlainTextFailsSilentlyAndKeepsTarget) {
    const fs::path source = dir.write("storage/scheme.json.gz", "{\"version\":\"plain, not gzip\"}");
    dir.write("storage/scheme.json", "previous");
    CGunzip worker(harness.thread, {source.string()}, {(dir / "storage/scheme.json").string()});

    const auto error = test::failureOf([&] { worker.work(); });

    ASSERT_TRUE(error);
    EXPECT_EQ(error->message, "some files failed to gunzip 0.0/1.0");
    EXPECT_EQ(error->type, "CGunzip");
    EXPECT_EQ(error->state, LauncherState::Failed_DecompressFiles);
    EXPECT_FALSE(error->rum);
    EXPECT_TRUE(Rum::Api::takePendingRecords().empty());
    EXPECT_EQ(test::readFile(dir / "storage/scheme.json"), "previous");
}

// The gunzip's renames (the previous file aside, the new one into place, the
// previous one back after a failure) go through the file-system layer: a
// refused one fails the unit with its record, the previous scheme stays and
// neither the inflated file nor the backup is left.
TEST_F(UnpackTest, ARefusedRenameFailsTheGunzipAndKeepsThePreviousTarget) {
    struct Case {
        const char* name;
        int succeedFirst;  // renames on the target that go through before the refusal
    };
    for (const Case& c : {Case{"previous file aside", 0}, Case{"new file into place", 1}}) {
        SCOPED_TRACE(c.name);
        fs::remove_all(dir / "storage");
        const fs::path source = dir.write("storage/scheme.json.gz", test::deflateBytes("{\"version\":\"2\"}"));
        const fs::path target = dir.write("storage/scheme.json", "previous");
        Rum::Api::takePendingRecords();
        test::ScopedFileSystem disk;
        disk->fail(test::FakeFileSystem::Call::Rename, target.string(), EIO, c.succeedFirst, 1);
        CGunzip worker(harness.thread, {source.string()}, {target.string()});

        const auto error = test::failureOf([&] { worker.work(); });

        ASSERT_TRUE(error);
        EXPECT_EQ(error->message, "some files failed to gunzip 0.0/1.0");
        EXPECT_EQ(test::readFile(target), "previous");
        EXPECT_EQ(names(dir / "storage"), (std::vector<std::string>{"scheme.json", "scheme.json.gz"}));
        EXPECT_EQ(test::withEvent(Rum::Api::takePendingRecords(), "failed").size(), 1u);
    }
}

TEST_F(UnpackTest, BrokenGzipKeepsPreviousTargetAndRecordsTheReason) {
    const std::string whole = test::deflateBytes(std::string(200000, 'q') + "end");
    const fs::path source = dir.write("storage/scheme.json.gz", whole.substr(0, whole.size() - 20));
    dir.write("storage/scheme.json", "previous");
    const fs::path missing = dir / "storage/missing.gz";
    CGunzip worker(harness.thread, {source.string(), missing.string()},
                   {(dir / "storage/scheme.json").string(), (dir / "storage/other.json").string()});

    const auto error = test::failureOf([&] { worker.work(); });

    ASSERT_TRUE(error);
    EXPECT_EQ(error->message, "some files failed to gunzip 0.0/2.0");
    EXPECT_EQ(test::readFile(dir / "storage/scheme.json"), "previous");
    EXPECT_EQ(names(dir / "storage"), (std::vector<std::string>{"scheme.json", "scheme.json.gz"}));
    const auto failed = test::withEvent(Rum::Api::takePendingRecords(), "failed");
    ASSERT_EQ(failed.size(), 2u);
    for (const auto& record : failed) {
        EXPECT_EQ(record.MinorType, "CGunzip");
        EXPECT_EQ(record.LogLevel, "ERROR");
        EXPECT_FALSE(record.dataValue("Message").value_or("").empty());
    }
}

// A gzip of a few KiB that inflates past the scheme cap: the unit fails with
// its record, the previous scheme stays and no partial output is left.
TEST_F(UnpackTest, GunzipOfASchemeBeyondTheCapFailsAndKeepsThePreviousScheme) {
    const fs::path source = dir.write("storage/gameScheme.json.gz", test::deflateBytes(std::string(Schemes::MaxFileBytes + 1, ' ')));
    dir.write("storage/gameScheme.json", "previous");
    CGunzip worker(harness.thread, {source.string()}, {(dir / "storage/gameScheme.json").string()});

    const auto error = test::failureOf([&] { worker.work(); });

    ASSERT_TRUE(error);
    EXPECT_EQ(error->message, "some files failed to gunzip 0.0/1.0");
    EXPECT_EQ(test::readFile(dir / "storage/gameScheme.json"), "previous");
    EXPECT_EQ(names(dir / "storage"), (std::vector<std::string>{"gameScheme.json", "gameScheme.json.gz"}));
    const auto failed = test::withEvent(Rum::Api::takePendingRecords(), "failed");
    ASSERT_EQ(failed.size(), 1u);
    EXPECT_THAT(failed[0].dataValue("Message").value_or(""), HasSubstr("inflates to more than 33554432 bytes"));
}

TEST_F(UnpackTest, CountMismatchFailsBothWorkersBeforeAnyUnit) {
    using Lists = std::pair<std::vector<std::string>, std::vector<std::string>>;
    const Lists cases[] = {{{}, {}}, {{"a.gz"}, {}}, {{"a.gz"}, {"a", "b"}}};
    for (const auto& [sources, targets] : cases) {
        for (const std::string name : {"CGunzip", "CUnzip"}) {
            const auto error = test::failureOf([&, &sources = sources, &targets = targets] {
                if (name == "CGunzip") CGunzip(harness.thread, sources, targets).work();
                else CUnzip(harness.thread, sources, targets).work();
            });
            ASSERT_TRUE(error) << name;
            EXPECT_EQ(error->message, "sourcePaths and targetPaths count mismatches");
            EXPECT_EQ(error->type, name);
            EXPECT_EQ(error->state, LauncherState::Failed_DecompressFiles);
            ASSERT_TRUE(error->rum);
            EXPECT_EQ(error->rum->Event, "count mismatches");
            EXPECT_EQ(error->rum->MinorType, name);
            EXPECT_TRUE(harness.takeEvents().empty());
        }
    }
}

// GCC 12 reports an overlapping copy inside std::string's inlined assignment
// here, a known false positive of -Wrestrict (GCC bug 105651).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wrestrict"
TEST_F(UnpackTest, UnzippedGameBinaryStillRuns) {
    const fs::path zip = dir / "temp/1.0.1.zip";
    fs::create_directories(zip.parent_path());
    test::ZipBuilder builder(zip);
    builder.file("1.0.1/scheme.json", "{}")
        .file("1.0.1/Hexora.app/Contents/MacOS/Hexora", "#!/bin/sh\nexit 7\n", 0755)
        .file("1.0.1/Hexora.app/Contents/Resources/data.bin", std::string(100000, 'r'), 0644);
    builder.close();
    CUnzip worker(harness.thread, {zip.string()}, {(dir / "temp").string()});

    worker.work();

    const fs::path binary = dir / "temp/1.0.1/Hexora.app/Contents/MacOS/Hexora";
    EXPECT_EQ(WEXITSTATUS(std::system(("'" + binary.string() + "'").c_str())), 7);
    EXPECT_EQ(test::withEvent(Rum::Api::takePendingRecords(), "completed").size(), 1u);
    const auto values = test::progressValues(harness.takeEvents());
    EXPECT_TRUE(std::is_sorted(values.begin(), values.end()));
    EXPECT_EQ(values.back(), 100.0);
}
#pragma GCC diagnostic pop

TEST_F(UnpackTest, CorruptedOrHostileZipGivesTheUnzipFailedRecord) {
    const std::string stored = "STORED-ENTRY-CONTENT-STORED-ENTRY-CONTENT";
    const fs::path corrupt = dir / "corrupt.zip";
    {
        test::ZipBuilder builder(corrupt);
        builder.file("big.bin", std::string(50000, 'b')).file("z.txt", stored, std::nullopt, true);
        builder.close();
        std::string bytes = test::readFile(corrupt);
        bytes[bytes.find(stored) + 3] = '#';
        std::ofstream(corrupt, std::ios::binary | std::ios::trunc) << bytes;
    }
    const fs::path hostile = dir / "hostile.zip";
    {
        test::ZipBuilder builder(hostile);
        builder.file("ok.txt", "ok").file("../../escaped.txt", "x");
        builder.close();
    }
    struct Case {
        fs::path zip;
        const char* description;
    };
    for (const Case& c : {Case{corrupt, "CRC"}, Case{hostile, "unsafe entry path in archive: ../../escaped.txt"}}) {
        const fs::path target = dir / "out" / c.zip.stem();
        CUnzip worker(harness.thread, {c.zip.string()}, {target.string()});

        const auto error = test::failureOf([&] { worker.work(); });

        ASSERT_TRUE(error) << c.zip;
        EXPECT_THAT(error->message, testing::StartsWith("unzip failed : "));
        EXPECT_THAT(error->message, testing::EndsWith("/1.0"));
        EXPECT_EQ(error->state, LauncherState::Failed_DecompressFiles);
        const auto failed = test::withEvent(Rum::Api::takePendingRecords(), "unzip failed");
        ASSERT_EQ(failed.size(), 1u) << c.zip;
        EXPECT_EQ(failed[0].MinorType, "CUnzip");
        EXPECT_EQ(failed[0].dataValue("SourcePath"), c.zip.string());
        EXPECT_EQ(failed[0].dataValue("TargetPath"), target.string());
        EXPECT_THAT(failed[0].dataValue("ErrorDescription").value_or(""), HasSubstr(c.description));
    }
    EXPECT_FALSE(fs::exists(dir / "escaped.txt"));
    EXPECT_FALSE(fs::exists(dir.path().parent_path() / "escaped.txt"));
}

// A package of 1 GiB: 128 entries of 8 MiB of zeros (or `parts` of them),
// each copied compressed from one small archive, so making it takes no time;
// extracting it takes long enough to be cancelled midway.
fs::path makeLargePackage(const test::TempDir& dir, int parts = 128) {
    const fs::path small = dir / "small.zip";
    {
        test::ZipBuilder builder(small);
        builder.file("zeros", std::string(8 << 20, '\0'));
        builder.close();
    }
    const fs::path large = dir / "large.zip";
    int error = 0;
    zip_t* from = zip_open(small.c_str(), ZIP_RDONLY, &error);
    zip_t* to = zip_open(large.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    for (int i = 0; i < parts; ++i) {
        zip_source_t* source = zip_source_zip(to, from, 0, 0, 0, -1);
        zip_file_add(to, ("part-" + std::to_string(i)).c_str(), source, 0);
    }
    zip_close(to);
    zip_discard(from);
    return large;
}

// A zip bomb of 2.5 GiB of zeros on a disk of 64 MiB: the unzip keeps the
// downloads' free-space reserve, so the package is refused by its declared
// sizes with the usual unzip failure, and the disk keeps its free space.
TEST_F(UnpackTest, AZipBombIsRefusedBeforeItTakesTheDisksReserve) {
    const test::SmallFileSystem disk(dir / "disk", 64 << 20);
    if (!disk.available()) GTEST_SKIP() << disk.reason();
    setFileFetchBounds({.keepFreeBytes = 8 << 20});
    const fs::path bomb = makeLargePackage(dir, 320);
    const fs::path target = dir / "disk/temp";
    const std::uint64_t freeBefore = disk.freeBytes();
    CUnzip worker(harness.thread, {bomb.string()}, {target.string()});

    const auto error = test::failureOf([&] { worker.work(); });

    ASSERT_TRUE(error);
    EXPECT_EQ(error->message, "unzip failed : 0.0/1.0");
    EXPECT_EQ(error->state, LauncherState::Failed_DecompressFiles);
    const auto failed = test::withEvent(Rum::Api::takePendingRecords(), "unzip failed");
    ASSERT_EQ(failed.size(), 1u);
    EXPECT_THAT(failed[0].dataValue("ErrorDescription").value_or(""),
                HasSubstr("the package holds 2684354560 bytes"));
    EXPECT_FALSE(fs::exists(target));
    EXPECT_EQ(disk.freeBytes(), freeBefore);
}

TEST_F(UnpackTest, CancelDuringLargeExtractionEndsQuietly) {
    const fs::path package = makeLargePackage(dir);
    const fs::path target = dir / "out";
    auto worker = std::make_shared<CUnzip>(harness.thread, std::vector<std::string>{package.string()},
                                           std::vector<std::string>{target.string()});
    harness.thread->workers().append(worker);
    harness.thread->start();
    EXPECT_TRUE(test::eventually([&] { return fs::exists(target / "part-1"); }, 60));
    harness.thread->cancel();
    harness.thread->join();

    EXPECT_FALSE(fs::exists(target / "part-127"));
    const auto records = Rum::Api::takePendingRecords();
    EXPECT_TRUE(test::withEvent(records, "unzip failed").empty());
    EXPECT_TRUE(test::withEvent(records, "completed").empty());
    const auto events = harness.takeEvents();
    for (const auto& event : events) EXPECT_NE(event.state, LauncherState::Failed_DecompressFiles);
    const auto values = test::progressValues(events);
    EXPECT_TRUE(std::find(values.begin(), values.end(), 100.0) == values.end());
    EXPECT_TRUE(std::is_sorted(values.begin(), values.end()));
}

}  // namespace
}  // namespace hexora::Worker::Common
