// The package builder of the tests and the demo: the scheme it writes, the
// zip's layout, modes and links, smart packages, and its command line. The
// checks go through the launcher's own unzip and validation code, so a
// package that passes here is one the pipelines accept.
#include "engine/WorkerThread.hpp"
#include "package/PackageBuilder.hpp"
#include "services/archive/GzipInflate.hpp"
#include "services/archive/ZipExtract.hpp"
#include "services/file/SchemeFormat.hpp"
#include "services/file/Schemes.hpp"
#include "services/internal/SHA1.hpp"
#include "support/EngineHarness.hpp"
#include "support/TempDir.hpp"
#include "support/TestClock.hpp"
#include "workers/common/validate/CValidation.hpp"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>

namespace hexora {
namespace {

namespace fs = std::filesystem;
using tools::buildPackage;
using tools::PackageOptions;

mode_t modeOf(const fs::path& path) {
    struct stat info {};
    ::lstat(path.c_str(), &info);
    return info.st_mode & 07777;
}

class PackageBuilderTest : public ::testing::Test {
protected:
    PackageBuilderTest() {
        write(bundle, "Contents/MacOS/Hexora", "#!/bin/sh\necho new\n", 0755);
        write(bundle, "Contents/Info.plist", "<plist>2.0.2</plist>", 0644);
        write(bundle, "Contents/Resources/data.bin", "data one", 0600);
        write(bundle, "Contents/Frameworks/Lib.framework/Versions/A/Lib", "library", 0755);
        fs::create_directory_symlink("Versions/A", bundle / "Contents/Frameworks/Lib.framework/Current");
        fs::create_symlink("data.bin", bundle / "Contents/Resources/alias.bin");
    }

    static void write(const fs::path& root, const std::string& relative, const std::string& content, mode_t mode) {
        const fs::path path = root / relative;
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
        ::chmod(path.c_str(), mode);
    }

    PackageOptions options(const std::string& version = "2.0.2") const {
        PackageOptions o;
        o.bundle = bundle;
        o.version = version;
        o.hash = "HASH1";
        o.out = dir / "root";
        return o;
    }

    test::TempDir dir;
    fs::path bundle = dir / "src/Hexora.app";
};

TEST_F(PackageBuilderTest, SchemeListsEveryFileWithItsUpperCaseHashBelowTheBundlePrefix) {
    const auto package = buildPackage(options());

    EXPECT_EQ(package.scheme, dir / "root/update/HASH1/scheme.json");
    EXPECT_EQ(package.zip, dir / "root/update/HASH1/2.0.2.zip");
    const auto scheme = SchemeFormat::decode(test::readFile(package.scheme));
    ASSERT_TRUE(scheme);
    EXPECT_EQ(scheme->version, "2.0.2");
    const auto hashOf = [&](const std::string& relative) { return *SHA1::sha1HexOfPath(bundle / relative); };
    const std::vector<SchemeFileInfo> expected = {
        {"Lib", "Hexora.app/Contents/Frameworks/Lib.framework/Versions/A", hashOf("Contents/Frameworks/Lib.framework/Versions/A/Lib")},
        {"Info.plist", "Hexora.app/Contents", hashOf("Contents/Info.plist")},
        {"Hexora", "Hexora.app/Contents/MacOS", hashOf("Contents/MacOS/Hexora")},
        {"alias.bin", "Hexora.app/Contents/Resources", hashOf("Contents/Resources/data.bin")},
        {"data.bin", "Hexora.app/Contents/Resources", hashOf("Contents/Resources/data.bin")},
    };
    EXPECT_EQ(scheme->files, expected);
    for (const auto& file : scheme->files) EXPECT_EQ(file.hash.find_first_of("abcdef"), std::string::npos);

    const fs::path inflated =
        Archive::GzipInflate::inflateNextTo(package.schemeArchive, dir / "inflated.json", Schemes::MaxFileBytes);
    EXPECT_EQ(test::readFile(inflated), test::readFile(package.scheme));
}

// Unpacked by the launcher's own extraction, the package holds NAME/scheme.json
// and NAME/Hexora.app with the modes and links of the bundle, and the
// launcher's validation passes it.
TEST_F(PackageBuilderTest, ZipUnpacksToAValidBundleWithModesAndLinks) {
    auto o = options();
    o.name = "full-2.0.2";
    const auto package = buildPackage(o);
    EXPECT_EQ(package.zip.filename(), "full-2.0.2.zip");
    const fs::path out = dir / "out";

    Archive::ZipExtract::extract(package.zip, out);

    const fs::path unpacked = out / "full-2.0.2/Hexora.app";
    EXPECT_EQ(test::readFile(out / "full-2.0.2/scheme.json"), test::readFile(package.scheme));
    EXPECT_EQ(modeOf(unpacked / "Contents/MacOS/Hexora"), 0755);
    EXPECT_EQ(modeOf(unpacked / "Contents/Resources/data.bin"), 0600);
    EXPECT_TRUE(fs::is_symlink(unpacked / "Contents/Frameworks/Lib.framework/Current"));
    EXPECT_EQ(fs::read_symlink(unpacked / "Contents/Frameworks/Lib.framework/Current"), "Versions/A");
    EXPECT_EQ(fs::read_symlink(unpacked / "Contents/Resources/alias.bin"), "data.bin");
    EXPECT_EQ(test::readFile(unpacked / "Contents/Frameworks/Lib.framework/Current/Lib"), "library");

    test::ScopedTestClock clock;
    test::EngineHarness harness;
    Worker::Common::CValidation validation(harness.thread, (out / "full-2.0.2/scheme.json").string(), unpacked,
                                           dir / "broken.json");
    validation.work();
    EXPECT_FALSE(fs::exists(dir / "broken.json"));
    EXPECT_TRUE(fs::is_symlink(unpacked / "Contents/Resources/alias.bin")) << "a listed link survives the clean-up";
}

// A smart package brings only what changed (content, link target or mode)
// while its scheme still lists the whole new bundle.
TEST_F(PackageBuilderTest, SmartPackageHoldsOnlyWhatDiffersFromTheBase) {
    const fs::path base = dir / "old/Hexora.app";
    fs::create_directories(base.parent_path());
    fs::copy(bundle, base, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
    write(bundle, "Contents/Info.plist", "<plist>2.0.2 changed</plist>", 0644);
    ::chmod((bundle / "Contents/Resources/data.bin").c_str(), 0644);
    write(bundle, "Contents/Resources/new.txt", "new file", 0644);
    fs::remove(bundle / "Contents/Resources/alias.bin");
    fs::create_symlink("new.txt", bundle / "Contents/Resources/alias.bin");

    auto o = options();
    o.name = "2.0.2_2.0.1";
    o.smartBase = base;
    const auto package = buildPackage(o);

    EXPECT_EQ(package.packed, (std::vector<std::string>{"Contents/Info.plist", "Contents/Resources/alias.bin",
                                                        "Contents/Resources/data.bin", "Contents/Resources/new.txt"}));
    EXPECT_EQ(SchemeFormat::decode(test::readFile(package.scheme))->files.size(), 6u);
    const fs::path out = dir / "out";
    Archive::ZipExtract::extract(package.zip, out);
    EXPECT_FALSE(fs::exists(out / "2.0.2_2.0.1/Hexora.app/Contents/MacOS/Hexora"));
    EXPECT_EQ(test::readFile(out / "2.0.2_2.0.1/Hexora.app/Contents/Info.plist"), "<plist>2.0.2 changed</plist>");
}

TEST_F(PackageBuilderTest, RefusesNamesThatLeaveTheFolderAndMissingBundles) {
    auto badHash = options();
    badHash.hash = "../x";
    EXPECT_THROW(buildPackage(badHash), std::runtime_error);
    auto badName = options();
    badName.name = "a/b";
    EXPECT_THROW(buildPackage(badName), std::runtime_error);
    auto noBundle = options();
    noBundle.bundle = dir / "missing.app";
    EXPECT_THROW(buildPackage(noBundle), std::runtime_error);
    EXPECT_FALSE(fs::exists(dir / "x"));
}

int runTool(const std::string& arguments) {
    const std::string command = std::string(HEXORA_TOOLS_BIN_DIR) + "/hexora-package " + arguments + " >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(PackageBuilderTest, CommandLine) {
    const std::string root = (dir / "cli").string();
    EXPECT_EQ(runTool("--bundle " + bundle.string() + " --version 2.0.2 --out " + root), 2);  // no --hash
    EXPECT_EQ(runTool("--bundle " + bundle.string() + " --version 2.0.2 --hash H --out " + root + " --bogus x"), 2);
    EXPECT_EQ(runTool("--bundle " + (dir / "none.app").string() + " --version 2.0.2 --hash H --out " + root), 1);
    EXPECT_EQ(runTool("--bundle " + bundle.string() + " --version 2.0.2 --hash H --out " + root), 0);
    EXPECT_TRUE(fs::is_regular_file(dir / "cli/update/H/2.0.2.zip"));
    EXPECT_TRUE(fs::is_regular_file(dir / "cli/update/H/scheme.json.gz"));
    const std::string base = (dir / "old.app").string();
    fs::copy(bundle, base, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
    EXPECT_EQ(runTool("--bundle " + bundle.string() + " --version 2.0.3 --hash S --out " + root +
                      " --name 2.0.3_2.0.2 --smart-base " + base),
              0);
    EXPECT_TRUE(fs::is_regular_file(dir / "cli/update/S/2.0.3_2.0.2.zip"));
}

}  // namespace
}  // namespace hexora
