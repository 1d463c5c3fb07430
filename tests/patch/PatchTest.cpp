#include "workers/common/CCleanUp.hpp"
#include "workers/common/CPatch.hpp"
#include "workers/common/CSmartPatch.hpp"

#include "engine/LauncherError.hpp"
#include "services/rum/RumApi.hpp"
#include "support/EngineHarness.hpp"
#include "support/TempDir.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>

namespace hexora::Worker::Common {
namespace fs = std::filesystem;

namespace {

// Every regular file below `root` with its content, by relative path.
std::map<std::string, std::string> filesBelow(const fs::path& root) {
    std::map<std::string, std::string> found;
    for (const auto& entry : fs::recursive_directory_iterator(root))
        if (entry.is_regular_file()) found[fs::relative(entry.path(), root).string()] = test::readFile(entry.path());
    return found;
}

std::vector<Rum::LogData> withEvent(const std::vector<Rum::LogData>& records, const std::string& event) {
    std::vector<Rum::LogData> found;
    for (const auto& record : records)
        if (record.Event == event) found.push_back(record);
    return found;
}

template <class Work>
std::optional<LauncherError> failureOf(Work&& work) {
    try {
        work();
    } catch (const LauncherError& error) {
        return error;
    }
    return std::nullopt;
}

class PatchTest : public ::testing::Test {
protected:
    void SetUp() override {
        Rum::Api::takePendingRecords();
        installed = {{"MacOS/Hexora", "old binary"}, {"Resources/keep.txt", "kept"}, {"a/b.txt", "old b"}};
        for (const auto& [path, content] : installed) dir.write("Hexora.app/Contents/" + path, content);
    }

    test::EngineHarness harness;
    test::TempDir dir;
    std::map<std::string, std::string> installed;
    fs::path dest = dir / "Hexora.app/Contents";
    fs::path temp = dir / "support/Hexora.old.app";
};

TEST_F(PatchTest, FullPatchOntoMissingDestinationCreatesItsParents) {
    dir.write("temp/1.0.1/Hexora.app/Contents/MacOS/Hexora", "new binary");
    const fs::path target = dir / "fresh/install/Hexora.app/Contents";

    CPatch(harness.thread, dir / "temp/1.0.1/Hexora.app/Contents", target, temp).work();

    EXPECT_EQ(filesBelow(target), (std::map<std::string, std::string>{{"MacOS/Hexora", "new binary"}}));
    EXPECT_FALSE(fs::exists(dir / "temp/1.0.1/Hexora.app/Contents"));
    EXPECT_FALSE(fs::exists(temp));
    const auto completed = withEvent(Rum::Api::takePendingRecords(), "completed");
    ASSERT_EQ(completed.size(), 1u);
    EXPECT_EQ(completed[0].MinorType, "CPatch");
    EXPECT_EQ(completed[0].EventState, "Succeeded");
}

TEST_F(PatchTest, FullPatchDeletesLeftoverBackupFirstAndReplacesEverything) {
    dir.write("support/Hexora.old.app/Contents/leftover.txt", "from an earlier run");
    dir.write("temp/new/Contents/MacOS/Hexora", "new binary");

    CPatch(harness.thread, dir / "temp/new/Contents", dest, temp).work();

    EXPECT_EQ(filesBelow(dest), (std::map<std::string, std::string>{{"MacOS/Hexora", "new binary"}}));
    EXPECT_FALSE(fs::exists(temp));
}

// The final move cannot succeed (the new folder would go into itself): the
// installed folder, already moved to the backup, comes back.
TEST_F(PatchTest, FailingFinalMoveRestoresTheInstalledFolder) {
    const fs::path src = dir / "Hexora.app";

    const auto error = failureOf([&] { CPatch(harness.thread, src, dest, temp).work(); });

    ASSERT_TRUE(error);
    EXPECT_EQ(error->message, "failed to replace file");
    EXPECT_EQ(error->type, "CPatch");
    EXPECT_EQ(error->state, LauncherState::Failed_ReplaceFile);
    ASSERT_TRUE(error->rum);
    EXPECT_EQ(error->rum->Event, "failed to replace");
    EXPECT_FALSE(error->rum->dataValue("ErrorDescription").value_or("").empty());
    EXPECT_TRUE(error->errorDescription());
    EXPECT_EQ(filesBelow(dest), installed);
    EXPECT_FALSE(fs::exists(temp));
}

TEST_F(PatchTest, MissingSourceTouchesNothing) {
    for (const std::string name : {"CPatch", "CSmartPatch"}) {
        const fs::path src = dir / "temp/none/Contents";
        const auto error = failureOf([&] {
            if (name == "CPatch") CPatch(harness.thread, src, dest, temp).work();
            else CSmartPatch(harness.thread, src, dest, temp).work();
        });
        ASSERT_TRUE(error) << name;
        EXPECT_EQ(error->message, "source path not found (" + src.string() + ")");
        EXPECT_EQ(error->type, name);
        EXPECT_EQ(error->state, LauncherState::Failed_ReplaceFile);
        ASSERT_TRUE(error->rum);
        EXPECT_EQ(error->rum->Event, "source not found");
        EXPECT_EQ(error->rum->dataValue("path"), src.string());
        EXPECT_EQ(filesBelow(dest), installed);
    }
}

TEST_F(PatchTest, SmartPatchMovesFilesOnlyAndKeepsOtherInstalledFiles) {
    dir.write("temp/pkg/Contents/a/b.txt", "new b");
    dir.write("temp/pkg/Contents/d/e/f.txt", "new f");
    fs::create_directories(dir / "temp/pkg/Contents/c");
    fs::create_symlink("a/b.txt", dir / "temp/pkg/Contents/link");

    CSmartPatch(harness.thread, dir / "temp/pkg/Contents", dest, temp).work();

    auto expected = installed;
    expected["a/b.txt"] = "new b";
    expected["d/e/f.txt"] = "new f";
    EXPECT_EQ(filesBelow(dest), expected);
    EXPECT_FALSE(fs::exists(dest / "c"));
    EXPECT_EQ(fs::read_symlink(dest / "link"), "a/b.txt");
    EXPECT_FALSE(fs::exists(temp));
    EXPECT_EQ(withEvent(Rum::Api::takePendingRecords(), "completed").size(), 1u);
}

TEST_F(PatchTest, SmartPatchOntoMissingDestinationFails) {
    dir.write("temp/pkg/Contents/a/b.txt", "new b");
    const fs::path missing = dir / "nothing/Hexora.app/Contents";

    const auto error = failureOf([&] { CSmartPatch(harness.thread, dir / "temp/pkg/Contents", missing, temp).work(); });

    ASSERT_TRUE(error);
    EXPECT_EQ(error->message, "failed to replace file");
    EXPECT_EQ(error->type, "CSmartPatch");
    EXPECT_FALSE(fs::exists(missing));
}

// "a/b.txt" is moved first; "z/file" cannot go in, because a file stands where
// its folder must be. The installation comes back untouched.
TEST_F(PatchTest, SmartPatchFailingMidwayPutsTheUntouchedCopyBack) {
    dir.write("Hexora.app/Contents/z", "a file where the package has a folder");
    installed["z"] = "a file where the package has a folder";
    dir.write("temp/pkg/Contents/a/b.txt", "new b");
    dir.write("temp/pkg/Contents/z/file", "cannot land");

    const auto error = failureOf([&] { CSmartPatch(harness.thread, dir / "temp/pkg/Contents", dest, temp).work(); });

    ASSERT_TRUE(error);
    EXPECT_EQ(error->message, "failed to replace file");
    EXPECT_FALSE(fs::exists(dir / "temp/pkg/Contents/a/b.txt"));  // it had been moved
    EXPECT_EQ(filesBelow(dest), installed);
    EXPECT_FALSE(fs::exists(temp));
}

class CleanUpTest : public PatchTest {};

TEST_F(CleanUpTest, UndeletableMiddlePathReportsFalseWithOneFailedRecord) {
    const fs::path first = dir.write("storage/temp/x.zip", "x").parent_path();
    const fs::path middle = dir / "storage/locked";
    const fs::path locked = dir.write("storage/locked/inner.txt", "stays");
    const fs::path third = dir.write("storage/launcherScheme.json.gz", "gz");
    if (std::system(("chattr +i '" + locked.string() + "' 2>/dev/null").c_str()) != 0) {
        fs::permissions(middle, static_cast<fs::perms>(0555));  // without root this is enough
    }
    std::optional<bool> outcome;

    CCleanUp(harness.thread, {first, middle, third}, [&](bool passed) { outcome = passed; }).work();

    std::system(("chattr -i '" + locked.string() + "' 2>/dev/null").c_str());
    fs::permissions(middle, fs::perms::owner_all, fs::perm_options::add);
    EXPECT_EQ(outcome, false);
    EXPECT_FALSE(fs::exists(first));
    EXPECT_TRUE(fs::exists(locked));
    EXPECT_FALSE(fs::exists(third));
    const auto records = Rum::Api::takePendingRecords();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].EventState, "Failed");
    EXPECT_EQ(records[0].Event, "delete");
    EXPECT_EQ(records[0].dataValue("path"), middle.string());
    EXPECT_FALSE(records[0].dataValue("ErrorDescription").value_or("").empty());
}

TEST_F(CleanUpTest, NothingToDeleteSucceeds) {
    const std::vector<std::vector<fs::path>> cases = {{}, {dir / "absent", dir / "absent/too"}};
    for (const auto& paths : cases) {
        std::optional<bool> outcome;
        CCleanUp(harness.thread, paths, [&](bool passed) { outcome = passed; }).work();
        EXPECT_EQ(outcome, true);
        const auto records = Rum::Api::takePendingRecords();
        ASSERT_EQ(records.size(), 1u);
        EXPECT_EQ(records[0].EventState, "Succeeded");
        EXPECT_EQ(records[0].MinorType, "CCleanUp");
    }
    EXPECT_NO_THROW(CCleanUp(harness.thread, {dir / "absent"}).work());
}

}  // namespace
}  // namespace hexora::Worker::Common
