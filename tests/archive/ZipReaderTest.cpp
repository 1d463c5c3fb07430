#include "services/archive/ZipReader.hpp"

#include "services/archive/ThreadBudget.hpp"
#include "services/archive/ZipExtract.hpp"
#include "services/archive/ZipExtraction.hpp"

#include "support/TempDir.hpp"
#include "support/ZipBuilder.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

namespace hexora {
namespace fs = std::filesystem;
using Archive::ZipEntry;
using Archive::ZipReader;

namespace {

// The content of entry `i`: distinct, and long enough to take several reads.
std::string contentOf(int i) {
    std::string content;
    char line[64];
    for (int n = 0; n < 200; ++n) content.append(line, static_cast<std::size_t>(std::snprintf(line, sizeof line, "entry %d line %d\n", i, n)));
    return content;
}

// The name of entry `i`.
std::string nameOf(std::size_t i) {
    char name[32];
    std::snprintf(name, sizeof name, "f%zu", i);
    return name;
}

}  // namespace

// One reader shared by eight threads, each with two streams open at once and
// reading them in turns: every entry comes out whole (libzip checks each
// inflated entry's CRC when it is closed), stored, deflated or bzip2.
TEST(ZipReader, SharedByThreadsWithSeveralStreamsOpenEveryEntryReadsWhole) {
    test::TempDir dir;
    constexpr int Entries = 64;
    {
        test::ZipBuilder zip(dir / "p.zip");
        const zip_int32_t methods[] = {ZIP_CM_STORE, ZIP_CM_DEFLATE, ZIP_CM_BZIP2};
        for (int i = 0; i < Entries; ++i) zip.fileWith(nameOf(static_cast<std::size_t>(i)), contentOf(i), methods[i % 3]);
        zip.close();
    }
    const ZipReader reader(dir / "p.zip", true);
    std::vector<ZipEntry> entries;
    for (zip_uint64_t i = 0; i < reader.count(); ++i) entries.push_back(reader.describe(i));

    std::vector<std::string> read(Entries);
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            // Entries i and i + 8, both open, read a chunk of each in turn.
            for (std::size_t i = static_cast<std::size_t>(t); i < Entries; i += 16) {
                ZipReader::EntryStream streams[] = {reader.open(entries[i], false), reader.open(entries[i + 8], false)};
                std::string* into[] = {&read[i], &read[i + 8]};
                char buffer[97];
                for (bool more = true; more;) {
                    more = false;
                    for (int s = 0; s < 2; ++s) {
                        const std::size_t got = streams[s].read(buffer, sizeof buffer);
                        into[s]->append(buffer, got);
                        more = more || got > 0;
                    }
                }
                for (auto& stream : streams) stream.close();
            }
        });
    }
    for (auto& thread : threads) thread.join();
    for (int i = 0; i < Entries; ++i) EXPECT_EQ(read[static_cast<std::size_t>(i)], contentOf(i)) << "entry " << i;
}

// What a handle holds for an entry grows with its name and the extra fields
// of its directory record, so a package padded with them counts as large.
TEST(ZipReader, DirectoryBytesCountTheNameAndTheExtraFields) {
    test::TempDir dir;
    {
        test::ZipBuilder zip(dir / "p.zip");
        zip.file("a", "x");
        zip.file(std::string(300, 'n'), "x");
        zip.file("b", "x").directoryPadding(60000);
        zip.close();
    }
    const ZipReader reader(dir / "p.zip", false);
    const auto plain = reader.describe(0).directoryBytes;
    EXPECT_GE(reader.describe(1).directoryBytes, plain + 299);
    EXPECT_GE(reader.describe(2).directoryBytes, plain + 60000);
    EXPECT_LT(reader.describe(2).directoryBytes, plain + 61000);
}

// A package whose directory is too large for a copy per thread (records
// padded to 60 KB, beyond the helpers' share of the budget) is extracted by
// several threads through the one handle, every file whole.
TEST(ZipReader, APackageWithALargeDirectoryIsExtractedByThreadsSharingOneHandle) {
    test::TempDir dir;
    const std::size_t entries = Archive::ZipExtraction::OwnHandlesBytes / 7 / 60000 + 16;
    {
        test::ZipBuilder zip(dir / "p.zip");
        for (std::size_t i = 0; i < entries; ++i)
            zip.file("d/" + nameOf(i), contentOf(static_cast<int>(i))).directoryPadding(60000);
        zip.close();
    }
    Archive::ThreadBudget budget(8);

    Archive::ZipExtract::extract(dir / "p.zip", dir / "out", {}, &budget);

    for (std::size_t i = 0; i < entries; ++i)
        ASSERT_EQ(test::readFile(dir / "out/d" / nameOf(i)), contentOf(static_cast<int>(i))) << i;
}

}  // namespace hexora
