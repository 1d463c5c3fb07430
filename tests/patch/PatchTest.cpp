#include "workers/common/patch/CCleanUp.hpp"
#include "workers/common/patch/CPatch.hpp"
#include "workers/common/patch/CSmartPatch.hpp"

#include "engine/LauncherError.hpp"
#include "platform/FileOps.hpp"
#include "services/rum/RumApi.hpp"
#include "support/EngineHarness.hpp"
#include "support/FakeFileSystem.hpp"
#include "support/InfoPlistText.hpp"
#include "support/LogCapture.hpp"
#include "support/OtherFileSystemDir.hpp"
#include "support/PendingRecords.hpp"
#include "support/RunState.hpp"
#include "support/TempDir.hpp"
#include "support/TreeSnapshot.hpp"
#include "support/WorkerFailure.hpp"
#include "workers/common/patch/PatchSteps.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <sys/stat.h>

namespace hexora::Worker::Common {
namespace fs = std::filesystem;

namespace {

// Every regular file below `root` with its content, by relative path.
std::map<std::string, std::string> filesBelow(const fs::path& root) {
    return test::fileContents(test::snapshotTree(root));
}

void writeAt(const fs::path& file, const std::string& content) {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary | std::ios::trunc) << content;
}

// Modification time (whole seconds) of every regular file below `root`.
std::map<std::string, time_t> timesBelow(const fs::path& root) {
    std::map<std::string, time_t> found;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        struct stat info {};
        if (entry.is_regular_file() && ::stat(entry.path().c_str(), &info) == 0)
            found[fs::relative(entry.path(), root).string()] = info.st_mtime;
    }
    return found;
}

void setTimesBelow(const fs::path& root, time_t time) {
    const timespec times[2] = {{time, 0}, {time, 0}};
    for (const auto& entry : fs::recursive_directory_iterator(root))
        if (entry.is_regular_file()) ::utimensat(AT_FDCWD, entry.path().c_str(), times, 0);
}

// Makes an item immutable (even for root) for its life; applied() is false
// where the file system or the process cannot.
class ImmutableItem {
public:
    explicit ImmutableItem(fs::path path) : path_(std::move(path)) {
        applied_ = std::system(("chattr +i '" + path_.string() + "' 2>/dev/null").c_str()) == 0;
    }
    ~ImmutableItem() {
        if (applied_) std::system(("chattr -i '" + path_.string() + "'").c_str());
    }
    bool applied() const { return applied_; }

private:
    fs::path path_;
    bool applied_ = false;
};

// Snapshots of the backup folder taken after every step of a patch.
class BackupWatch {
public:
    explicit BackupWatch(fs::path backup) : backup_(std::move(backup)) {
        PatchSteps::setStepObserver([this](const std::string&) { seen_.push_back(test::snapshotTree(backup_)); });
    }
    ~BackupWatch() { PatchSteps::setStepObserver(nullptr); }
    bool sawWhole(const test::TreeSnapshot& expected) const {
        return std::find(seen_.begin(), seen_.end(), expected) != seen_.end();
    }

private:
    fs::path backup_;
    std::vector<test::TreeSnapshot> seen_;
};

// How the system answers a patch's folder swap: the system's own swap, a
// file system without it, or a swap that fails.
constexpr int SystemSwap = 0;
constexpr int NoSwap = ENOSYS;
constexpr int SwapFails = EIO;

// Makes every swap on `disk` answer as `exchangeError` says (SystemSwap: as
// the system does).
void swapAnswers(test::FakeFileSystem& disk, int exchangeError) {
    if (exchangeError != SystemSwap) disk.fail(test::FakeFileSystem::Call::Exchange, "*", exchangeError);
}

// How a patch meets the folder swap: with it or without it, and with the
// backup beside the installation or on another file system.
struct ExchangeCase {
    const char* name;
    int exchangeError;
    bool backupElsewhere;
};

class PatchTest : public test::RunStateFixture {
protected:
    void SetUp() override {
        installed = {{"MacOS/Hexora", "old binary"}, {"Resources/keep.txt", "kept"}, {"a/b.txt", "old b"}};
        for (const auto& [path, content] : installed) dir.write("Hexora.app/Contents/" + path, content);
    }

    test::EngineHarness harness;
    test::TempDir dir;
    std::map<std::string, std::string> installed;
    fs::path dest = dir / "Hexora.app/Contents";
    fs::path temp = dir / "support/Hexora.old.app";
};

// Installed files that the package does not touch keep their modification
// times, after a patch and after a failed one.
constexpr time_t installedTime = 1500000000;

TEST_F(PatchTest, FullPatchOntoMissingDestinationCreatesItsParents) {
    dir.write("temp/1.0.1/Hexora.app/Contents/MacOS/Hexora", "new binary");
    const fs::path target = dir / "fresh/install/Hexora.app/Contents";

    CPatch(harness.thread, dir / "temp/1.0.1/Hexora.app/Contents", target, temp).work();

    EXPECT_EQ(filesBelow(target), (std::map<std::string, std::string>{{"MacOS/Hexora", "new binary"}}));
    EXPECT_FALSE(fs::exists(dir / "temp/1.0.1/Hexora.app/Contents"));
    EXPECT_FALSE(fs::exists(temp));
    const auto completed = test::withEvent(Rum::Api::takePendingRecords(), "completed");
    ASSERT_EQ(completed.size(), 1u);
    EXPECT_EQ(completed[0].MinorType, "CPatch");
    EXPECT_EQ(completed[0].EventState, "Succeeded");
}

// With the swap and without it (a file system that cannot, or a backup on
// another file system), the old folder passes through the backup place whole
// and the new one ends up installed.
TEST_F(PatchTest, FullPatchDeletesLeftoverBackupFirstAndReplacesEverything) {
    test::OtherFileSystemDir other;
    const ExchangeCase cases[] = {
        {"swap", SystemSwap, false},
        {"no swap", NoSwap, false},
        {"swap, backup on another file system", SystemSwap, true},
    };
    for (const ExchangeCase& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.backupElsewhere && other.path().empty()) continue;
        test::TempDir fresh;
        for (const auto& [path, content] : installed) fresh.write("Hexora.app/Contents/" + path, content);
        const fs::path installedDest = fresh / "Hexora.app/Contents";
        const fs::path backup = (c.backupElsewhere ? other.path() : fresh.path()) / "support/Hexora.old.app";
        fresh.write("temp/new/Contents/MacOS/Hexora", "new binary");
        fs::create_directories(backup / "Contents");
        std::FILE* leftover = std::fopen((backup / "Contents/leftover.txt").c_str(), "w");  // an earlier run's
        std::fclose(leftover);
        test::ScopedFileSystem disk;
        swapAnswers(*disk, c.exchangeError);
        const auto old = test::snapshotTree(installedDest);
        BackupWatch watch(backup);

        CPatch(harness.thread, fresh / "temp/new/Contents", installedDest, backup).work();

        EXPECT_EQ(filesBelow(installedDest), (std::map<std::string, std::string>{{"MacOS/Hexora", "new binary"}}));
        EXPECT_FALSE(fs::exists(fresh / "temp/new/Contents"));
        EXPECT_FALSE(fs::exists(backup));
        EXPECT_TRUE(watch.sawWhole(old));
        EXPECT_EQ(disk->calls(test::FakeFileSystem::Call::Exchange), 1);
    }
}

// The swap is done, but the old folder cannot go to the backup place (a
// folder nothing can be added to): the swap is undone and the patch fails.
TEST_F(PatchTest, FullPatchWhoseBackupCannotBeKeptPutsTheOldFolderBack) {
    fs::create_directories(temp.parent_path());
    dir.write("temp/new/Contents/MacOS/Hexora", "new binary");
    ImmutableItem locked(temp.parent_path());
    if (!locked.applied()) GTEST_SKIP() << "no immutable folders here";
    test::ScopedFileSystem disk;

    const auto error = test::failureOf([&] { CPatch(harness.thread, dir / "temp/new/Contents", dest, temp).work(); });

    ASSERT_TRUE(error);
    EXPECT_EQ(error->message, "failed to replace file");
    EXPECT_EQ(error->state, LauncherState::Failed_ReplaceFile);
    EXPECT_EQ(filesBelow(dest), installed);
    EXPECT_EQ(filesBelow(dir / "temp/new/Contents"), (std::map<std::string, std::string>{{"MacOS/Hexora", "new binary"}}));
    EXPECT_EQ(disk->calls(test::FakeFileSystem::Call::Exchange), 2);
}

// The same failure on any machine: the swap (emulated where the file system
// lacks it) is done, then the rename to the backup place is refused, for any
// reason; the swap is undone and the patch fails with the new folder intact.
TEST_F(PatchTest, FullPatchWhoseBackupCannotBeKeptForAnyReasonPutsTheOldFolderBack) {
    for (const int reason : {EACCES, EPERM, ENOSPC, EIO}) {
        SCOPED_TRACE(std::strerror(reason));
        test::TempDir fresh;
        for (const auto& [path, content] : installed) fresh.write("Hexora.app/Contents/" + path, content);
        const fs::path installedDest = fresh / "Hexora.app/Contents";
        const fs::path backup = fresh / "support/Hexora.old.app";
        fresh.write("temp/new/Contents/MacOS/Hexora", "new binary");
        test::ScopedFileSystem disk;
        disk->emulateExchange();
        disk->fail(test::FakeFileSystem::Call::Rename, backup.string(), reason);

        const auto error =
            test::failureOf([&] { CPatch(harness.thread, fresh / "temp/new/Contents", installedDest, backup).work(); });

        ASSERT_TRUE(error);
        EXPECT_EQ(error->message, "failed to replace file");
        EXPECT_EQ(error->state, LauncherState::Failed_ReplaceFile);
        EXPECT_NE(error->rum->dataValue("ErrorDescription").value_or("").find(std::strerror(reason)), std::string::npos);
        EXPECT_EQ(filesBelow(installedDest), installed);
        EXPECT_EQ(filesBelow(fresh / "temp/new/Contents"),
                  (std::map<std::string, std::string>{{"MacOS/Hexora", "new binary"}}));
        EXPECT_EQ(disk->calls(test::FakeFileSystem::Call::Exchange), 2);
    }
}

// The final move cannot succeed (the new folder would go into itself): the
// installed folder, already moved to the backup, comes back.
TEST_F(PatchTest, FailingFinalMoveRestoresTheInstalledFolder) {
    const fs::path src = dir / "Hexora.app";

    const auto error = test::failureOf([&] { CPatch(harness.thread, src, dest, temp).work(); });

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
        const auto error = test::failureOf([&] {
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
    setTimesBelow(dest, installedTime);
    const auto old = test::snapshotTree(dest);
    BackupWatch watch(temp);
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
    EXPECT_TRUE(watch.sawWhole(old));
    EXPECT_EQ(timesBelow(dest)["MacOS/Hexora"], installedTime);
    EXPECT_EQ(timesBelow(dest)["Resources/keep.txt"], installedTime);
    EXPECT_EQ(test::withEvent(Rum::Api::takePendingRecords(), "completed").size(), 1u);
}

TEST_F(PatchTest, SmartPatchOntoMissingDestinationFails) {
    dir.write("temp/pkg/Contents/a/b.txt", "new b");
    const fs::path missing = dir / "nothing/Hexora.app/Contents";

    const auto error = test::failureOf([&] { CSmartPatch(harness.thread, dir / "temp/pkg/Contents", missing, temp).work(); });

    ASSERT_TRUE(error);
    EXPECT_EQ(error->message, "failed to replace file");
    EXPECT_EQ(error->type, "CSmartPatch");
    EXPECT_FALSE(fs::exists(missing));
}

// "a/b.txt" is moved first; "z/file" cannot go in, because a file stands where
// its folder must be, or because the system refuses it (no right, no room, a
// disk error; these on any machine). The installation comes back untouched,
// times included, whether the copy is swapped back or moved back, from beside
// it or from another file system.
TEST_F(PatchTest, SmartPatchFailingMidwayPutsTheUntouchedCopyBack) {
    test::OtherFileSystemDir other;
    struct Case {
        const char* name;
        int exchangeError;
        bool backupElsewhere;
        int refusal;  // the errno the system gives "z/file"; 0: a file stands in the way
    };
    const Case cases[] = {
        {"swap", SystemSwap, false, 0},
        {"no swap", NoSwap, false, 0},
        {"backup on another file system", SystemSwap, true, 0},
        {"no swap, backup on another file system", NoSwap, true, 0},
        {"swap, no right", SystemSwap, false, EACCES},
        {"swap, no room", SystemSwap, false, ENOSPC},
        {"no swap, quota", NoSwap, false, EDQUOT},
        {"no swap, disk error", NoSwap, false, EIO},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.backupElsewhere && other.path().empty()) continue;
        test::TempDir fresh;
        for (const auto& [path, content] : installed) fresh.write("Hexora.app/Contents/" + path, content);
        if (!c.refusal) fresh.write("Hexora.app/Contents/z", "a file where the package has a folder");
        const fs::path installedDest = fresh / "Hexora.app/Contents";
        setTimesBelow(installedDest, installedTime);
        const auto old = test::snapshotTree(installedDest);
        const auto oldTimes = timesBelow(installedDest);
        const fs::path backup = (c.backupElsewhere ? other.path() : fresh.path()) / "support/Hexora.old.app";
        fresh.write("temp/pkg/Contents/a/b.txt", "new b");
        fresh.write("temp/pkg/Contents/z/file", "cannot land");
        test::ScopedFileSystem disk;
        swapAnswers(*disk, c.exchangeError);
        if (c.refusal) {
            disk->emulateExchange();
            disk->fail(test::FakeFileSystem::Call::Rename, (installedDest / "z/file").string(), c.refusal);
        }

        const auto error = test::failureOf(
            [&] { CSmartPatch(harness.thread, fresh / "temp/pkg/Contents", installedDest, backup).work(); });

        ASSERT_TRUE(error);
        EXPECT_EQ(error->message, "failed to replace file");
        EXPECT_EQ(error->state, LauncherState::Failed_ReplaceFile);
        if (c.refusal) {
            EXPECT_NE(error->rum->dataValue("ErrorDescription").value_or("").find(std::strerror(c.refusal)),
                      std::string::npos);
        }
        EXPECT_FALSE(fs::exists(fresh / "temp/pkg/Contents/a/b.txt"));  // it had been moved
        EXPECT_EQ(test::snapshotTree(installedDest), old);
        EXPECT_EQ(timesBelow(installedDest), oldTimes);
        EXPECT_FALSE(fs::exists(backup));
        EXPECT_EQ(std::distance(fs::directory_iterator(fresh / "Hexora.app"), fs::directory_iterator()), 1);
    }
}

// The mixed folder cannot be replaced by the untouched copy (the swap fails,
// or without a swap an installed file cannot be replaced, or a file the
// package brought cannot be deleted again): the copy
// stays at the backup place, the failure says where it is, and the patch
// fails as any other.
TEST_F(PatchTest, FailedSmartPatchRestoreKeepsTheBackup) {
    struct Case {
        const char* name;
        int exchangeError;
        bool lockAFile;
    };
    for (const Case& c : {Case{"swap fails", SwapFails, false},
                          Case{"no swap, undeletable file", NoSwap, true},
                          Case{"no swap, a new file the system will not delete", NoSwap,
                               false}}) {
        SCOPED_TRACE(c.name);
        test::TempDir fresh;
        fresh.write("Hexora.app/Contents/keep.txt", "kept");
        fresh.write("Hexora.app/Contents/z", "a file where the package has a folder");
        const fs::path installedDest = fresh / "Hexora.app/Contents";
        const auto old = test::snapshotTree(installedDest);
        const fs::path backup = fresh / "support/Hexora.old.app";
        fresh.write("temp/pkg/Contents/a.txt", "new a");
        fresh.write("temp/pkg/Contents/z/file", "cannot land");
        std::optional<ImmutableItem> locked;
        if (c.lockAFile && !locked.emplace(installedDest / "keep.txt").applied()) continue;
        test::ScopedFileSystem disk;
        swapAnswers(*disk, c.exchangeError);
        if (!c.lockAFile && c.exchangeError == NoSwap)
            disk->fail(test::FakeFileSystem::Call::Remove, (installedDest / "a.txt").string(), EPERM);
        test::LogCapture log;

        const auto error =
            test::failureOf([&] { CSmartPatch(harness.thread, fresh / "temp/pkg/Contents", installedDest, backup).work(); });

        ASSERT_TRUE(error);
        EXPECT_EQ(error->message, "failed to replace file");
        EXPECT_EQ(error->state, LauncherState::Failed_ReplaceFile);
        EXPECT_EQ(test::snapshotTree(backup), old);
        EXPECT_TRUE(log.contains("untouched copy stays at " + backup.string()));
        EXPECT_EQ(std::distance(fs::directory_iterator(fresh / "Hexora.app"), fs::directory_iterator()), 1);
    }
}

// A package whose links lead out of its own bundle, alone or through another
// of its links: both patches refuse it before anything is touched.
TEST_F(PatchTest, PackageWithLinksLeavingItsBundleIsRefusedAndNothingIsInstalled) {
    struct Case {
        const char* label;
        std::vector<std::pair<std::string, std::string>> links;  // below Contents
    };
    const Case cases[] = {
        {"up to the folder around the bundle", {{"x", "../../.."}}},
        {"absolute", {{"Resources/etc", "/etc"}}},
        {"through another link", {{"here", ".."}, {"Resources/up", "../here/.."}}},
    };
    for (const std::string name : {"CPatch", "CSmartPatch"}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(name + ": " + c.label);
            test::TempDir fresh;
            for (const auto& [path, content] : installed) fresh.write("Hexora.app/Contents/" + path, content);
            const fs::path installedDest = fresh / "Hexora.app/Contents";
            const fs::path src = fresh / "temp/1.0.2/Hexora.app/Contents";
            fresh.write("temp/1.0.2/Hexora.app/Contents/MacOS/Hexora", "new binary");
            for (const auto& [link, target] : c.links) {
                fs::create_directories((src / link).parent_path());
                fs::create_symlink(target, src / link);
            }
            const auto before = test::snapshotTree(fresh.path());
            const fs::path backup = fresh / "support/Hexora.old.app";

            const auto error = test::failureOf([&] {
                if (name == "CPatch") CPatch(harness.thread, src, installedDest, backup).work();
                else CSmartPatch(harness.thread, src, installedDest, backup).work();
            });

            ASSERT_TRUE(error);
            EXPECT_EQ(error->type, name);
            EXPECT_EQ(error->message, "failed to replace file");
            EXPECT_EQ(error->state, LauncherState::Failed_ReplaceFile);
            ASSERT_TRUE(error->rum);
            EXPECT_EQ(error->rum->Event, "failed to replace");
            EXPECT_THAT(error->rum->dataValue("ErrorDescription").value_or(""),
                        testing::HasSubstr("symbolic link leads out of the bundle"));
            EXPECT_EQ(test::snapshotTree(fresh.path()), before);
        }
    }
}

// An earlier package left a link pointing out of the installation (here at
// a folder of the user's). A smart package with entries below it would
// replace, delete or create things there: the patch fails instead, touches
// nothing outside, and the installation comes back untouched.
TEST_F(PatchTest, SmartPatchNeverWritesThroughAnInstalledOutwardLink) {
    struct Case {
        const char* label;
        const char* entry;  // below Contents
    };
    const Case cases[] = {
        {"replace a file", "x/file.txt"},
        {"delete a folder in the way", "x/victim"},
        {"create a folder", "x/new/made.txt"},
        {"through a link in a folder", "Resources/deeper/x/file.txt"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        test::TempDir fresh;
        fresh.write("home/file.txt", "the user's file");
        fresh.write("home/victim/keep.txt", "the user's folder");
        for (const auto& [path, content] : installed) fresh.write("Hexora.app/Contents/" + path, content);
        const fs::path installedDest = fresh / "Hexora.app/Contents";
        fs::create_symlink("../../home", installedDest / "x");
        fs::create_directories(installedDest / "Resources/deeper");
        fs::create_symlink(fresh / "home/..", installedDest / "Resources/deeper/x");
        const auto home = test::snapshotTree(fresh / "home");
        const auto old = test::snapshotTree(installedDest);
        fresh.write("temp/pkg/Contents/a/b.txt", "new b");
        fresh.write(std::string("temp/pkg/Contents/") + c.entry, "from the package");
        const fs::path backup = fresh / "support/Hexora.old.app";

        const auto error = test::failureOf(
            [&] { CSmartPatch(harness.thread, fresh / "temp/pkg/Contents", installedDest, backup).work(); });

        ASSERT_TRUE(error);
        EXPECT_EQ(error->message, "failed to replace file");
        EXPECT_EQ(error->state, LauncherState::Failed_ReplaceFile);
        EXPECT_THAT(error->rum->dataValue("ErrorDescription").value_or(""), testing::HasSubstr("leads out of"));
        EXPECT_EQ(test::snapshotTree(fresh / "home"), home);
        EXPECT_EQ(test::snapshotTree(installedDest), old);
        EXPECT_FALSE(fs::exists(backup));
    }
}

// A framework's directory link (Versions/Current -> A) comes with the smart
// package: it is installed as the link, over a folder or an older link.
TEST_F(PatchTest, SmartPatchInstallsLinksToFolders) {
    const std::string framework = "Frameworks/Y.framework/Versions/";
    for (const char* installedAs : {"nothing", "folder", "link"}) {
        SCOPED_TRACE(installedAs);
        test::TempDir fresh;
        for (const auto& [path, content] : installed) fresh.write("Hexora.app/Contents/" + path, content);
        const fs::path installedDest = fresh / "Hexora.app/Contents";
        fresh.write("Hexora.app/Contents/" + framework + "B/Y", "older library");
        if (std::string(installedAs) == "folder") fresh.write("Hexora.app/Contents/" + framework + "Current/Y", "copy");
        if (std::string(installedAs) == "link") fs::create_symlink("B", installedDest / framework / "Current");
        const fs::path pkg = fresh / "temp/pkg/Contents";
        fresh.write("temp/pkg/Contents/" + framework + "A/Y", "library");
        fs::create_symlink("A", pkg / framework / "Current");

        CSmartPatch(harness.thread, pkg, installedDest, fresh / "support/Hexora.old.app").work();

        const fs::path current = installedDest / framework / "Current";
        ASSERT_TRUE(fs::is_symlink(current));
        EXPECT_EQ(fs::read_symlink(current), "A");
        EXPECT_EQ(test::readFile(current / "Y"), "library");
        EXPECT_EQ(fs::canonical(current), fs::canonical(installedDest / framework / "A"));
        EXPECT_EQ(test::readFile(installedDest / "MacOS/Hexora"), "old binary");
    }
}

// A file, or a link to a folder elsewhere, where the game bundle belongs in
// the folder the launcher owns: the full patch replaces it (the link itself,
// never what it points at) and installs the bundle; the smart patch, which
// needs an installed folder, fails without writing through the link.
TEST_F(PatchTest, ItemInTheBundlesPlaceIsReplacedOnlyByTheFullPatch) {
    struct Case {
        const char* label;
        bool link;
    };
    for (const Case c : {Case{"file", false}, Case{"link to a folder elsewhere", true}}) {
        SCOPED_TRACE(c.label);
        test::TempDir fresh;
        const fs::path storage = fresh / "storage";
        fresh.write("elsewhere/Contents/MacOS/Hexora", "someone else's");
        const auto elsewhere = test::snapshotTree(fresh / "elsewhere");
        fs::create_directories(storage);
        if (c.link) fs::create_directory_symlink(fresh / "elsewhere", storage / "Hexora.app");
        else fresh.write("storage/Hexora.app", "not a bundle");
        const fs::path installedDest = storage / "Hexora.app/Contents";
        fresh.write("storage/temp/pkg/Contents/a/b.txt", "new b");
        const fs::path backup = storage / "temp/Hexora.old.app";

        const auto smart = test::failureOf(
            [&] { CSmartPatch(harness.thread, storage / "temp/pkg/Contents", installedDest, backup, PatchRules{storage, std::nullopt, false}).work(); });
        ASSERT_TRUE(smart);
        EXPECT_EQ(smart->message, "failed to replace file");
        EXPECT_EQ(test::snapshotTree(fresh / "elsewhere"), elsewhere);

        fresh.write("storage/temp/1.0.2/Hexora.app/Contents/MacOS/Hexora", "new binary");
        CPatch(harness.thread, storage / "temp/1.0.2/Hexora.app/Contents", installedDest, backup, PatchRules{storage, std::nullopt, false}).work();

        EXPECT_TRUE(FileOps::isFolder(storage / "Hexora.app"));
        EXPECT_EQ(filesBelow(installedDest), (std::map<std::string, std::string>{{"MacOS/Hexora", "new binary"}}));
        EXPECT_EQ(test::snapshotTree(fresh / "elsewhere"), elsewhere);
    }
}

// An item in the way that the system will not delete (a file where the
// bundle belongs, or where the package has a folder in the launcher's patch
// without the swap): the patch fails with the replace failure and the
// installation is as it was.
TEST_F(PatchTest, ItemInTheWayThatCannotBeDeletedFailsThePatchAndKeepsTheInstallation) {
    struct Case {
        const char* name;
        const char* inTheWay;  // below the storage folder
        bool fileByFile;
    };
    const Case cases[] = {
        {"a file where the bundle belongs", "Hexora.app", false},
        {"a file where the package has a folder, no swap", "Hexora.app/Contents/z", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir fresh;
        const fs::path storage = fresh / "storage";
        const fs::path installedDest = storage / "Hexora.app/Contents";
        if (c.fileByFile) {
            for (const auto& [path, content] : installed) writeAt(installedDest / path, content);
        }
        writeAt(storage / c.inTheWay, "in the way");
        const fs::path package = fresh / "temp/1.0.2/Hexora.app/Contents";
        writeAt(package / "MacOS/Hexora", "new binary");
        writeAt(package / "z/file", "new z");
        const auto before = test::snapshotTree(storage);
        test::ScopedFileSystem disk;
        swapAnswers(*disk, NoSwap);
        disk->fail(test::FakeFileSystem::Call::Remove, (storage / c.inTheWay).string(), EPERM);

        const auto error = test::failureOf([&] {
            CPatch(harness.thread, package, installedDest, storage / "temp/Hexora.old.app",
                   PatchRules{storage, std::nullopt, c.fileByFile})
                .work();
        });

        ASSERT_TRUE(error);
        EXPECT_EQ(error->message, "failed to replace file");
        EXPECT_EQ(error->state, LauncherState::Failed_ReplaceFile);
        EXPECT_THAT(error->rum->dataValue("ErrorDescription").value_or(""), ::testing::HasSubstr(std::strerror(EPERM)));
        auto after = test::snapshotTree(storage);
        after.erase("temp");  // the backup's empty folder
        EXPECT_EQ(after, before);
        EXPECT_GE(disk->calls(test::FakeFileSystem::Call::Remove, (storage / c.inTheWay).string()), 1);
    }
}

// A patch whose result could not start is refused before anything is
// touched, with the patch failure: the package must bring (a full patch), or
// the package laid over the installed bundle must hold (a partial patch), an
// executable regular file at MacOS/Hexora and the product's bundle identifier
// in Info.plist.
TEST_F(PatchTest, PatchWhoseBundleCouldNotStartIsRefusedAndNothingIsTouched) {
    const std::string launcherId = "com.tarq.hexora.mac.launcher";
    const StartableBundle launcher{"MacOS/Hexora", launcherId};
    struct Case {
        const char* name;
        bool full;
        bool installedHasPlist;
        std::function<void(const fs::path& package)> lay;
        const char* refusal;  // nullptr: installed
    };
    const auto plist = [&](const std::string& id) { return test::bundleInfoPlist(id, "2.0.2"); };
    const auto binary = [](const fs::path& package) {
        writeAt(package / "MacOS/Hexora", "new binary");
        fs::permissions(package / "MacOS/Hexora", static_cast<fs::perms>(0755));
    };
    const Case cases[] = {
        {"full, whole", true, true, [&](const fs::path& p) { binary(p); writeAt(p / "Info.plist", plist(launcherId)); }, nullptr},
        {"full, no executable", true, true, [&](const fs::path& p) { writeAt(p / "Info.plist", plist(launcherId)); },
         "no executable file"},
        {"full, executable not executable", true, true,
         [&](const fs::path& p) { writeAt(p / "MacOS/Hexora", "x"); writeAt(p / "Info.plist", plist(launcherId)); },
         "no executable file"},
        {"full, executable a link", true, true,
         [&](const fs::path& p) {
             binary(p);
             fs::rename(p / "MacOS/Hexora", p / "MacOS/real");
             fs::create_symlink("real", p / "MacOS/Hexora");
             writeAt(p / "Info.plist", plist(launcherId));
         },
         "no executable file"},
        {"full, the game's identifier", true, true,
         [&](const fs::path& p) { binary(p); writeAt(p / "Info.plist", plist("com.tarq.hexora.mac.game")); },
         "names \"com.tarq.hexora.mac.game\""},
        {"full, no Info.plist", true, true, [&](const fs::path& p) { binary(p); }, "no bundle identifier"},
        {"full, Info.plist no property list", true, true,
         [&](const fs::path& p) { binary(p); writeAt(p / "Info.plist", "<plist>launcher</plist>"); },
         "no bundle identifier"},
        {"partial, the installed executable and Info.plist stay", false, true,
         [&](const fs::path& p) { writeAt(p / "a/b.txt", "new b"); }, nullptr},
        {"partial, installed without Info.plist", false, false,
         [&](const fs::path& p) { writeAt(p / "a/b.txt", "new b"); }, "no bundle identifier"},
        {"partial, another identifier", false, true,
         [&](const fs::path& p) { writeAt(p / "Info.plist", plist("com.example.other")); }, "com.example.other"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir fresh;
        const fs::path installedDest = fresh / "Hexora.app/Contents";
        writeAt(installedDest / "MacOS/Hexora", "old binary");
        fs::permissions(installedDest / "MacOS/Hexora", static_cast<fs::perms>(0755));
        if (c.installedHasPlist) writeAt(installedDest / "Info.plist", test::bundleInfoPlist(launcherId, "1.0.1"));
        const fs::path package = fresh / "temp/2.0.2/Hexora.app/Contents";
        fs::create_directories(package);
        c.lay(package);
        const auto before = test::snapshotTree(installedDest);
        const auto packageBefore = test::snapshotTree(package);
        const fs::path backup = fresh / "support/Hexora.old.app";
        Rum::Api::takePendingRecords();

        const PatchRules rules{{}, launcher, true};
        const auto error = test::failureOf([&] {
            if (c.full) CPatch(harness.thread, package, installedDest, backup, rules).work();
            else CSmartPatch(harness.thread, package, installedDest, backup, rules).work();
        });

        if (!c.refusal) {
            EXPECT_FALSE(error) << error->message;
            continue;
        }
        ASSERT_TRUE(error);
        EXPECT_EQ(error->type, c.full ? "CPatch" : "CSmartPatch");
        EXPECT_EQ(error->message, "failed to replace file");
        EXPECT_EQ(error->state, LauncherState::Failed_ReplaceFile);
        ASSERT_TRUE(error->rum);
        EXPECT_EQ(error->rum->Event, "failed to replace");
        EXPECT_THAT(error->rum->dataValue("ErrorDescription").value_or(""), ::testing::HasSubstr(c.refusal));
        EXPECT_EQ(test::snapshotTree(installedDest), before);
        EXPECT_EQ(test::snapshotTree(package), packageBefore);
        EXPECT_FALSE(fs::exists(backup));
    }
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
