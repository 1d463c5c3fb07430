// A patch killed between any two of its steps (power loss, a forced quit)
// must leave an installation that starts: the full patch a whole Contents,
// old or new; the partial patch, and the launcher's full patch where the
// file system cannot swap two folders, only whole files, each old or new,
// and always the executable. The patch
// runs in a child process that kills itself with SIGKILL after step N, for
// N = 1, 2, ... until a run gets through.
#include "workers/common/patch/CPatch.hpp"
#include "workers/common/patch/CSmartPatch.hpp"

#include "engine/LauncherError.hpp"
#include "platform/FileOps.hpp"
#include "services/internal/LauncherProduct.hpp"
#include "support/EngineHarness.hpp"
#include "support/FakeFileSystem.hpp"
#include "support/InfoPlistText.hpp"
#include "support/OtherFileSystemDir.hpp"
#include "support/TempDir.hpp"
#include "support/TreeSnapshot.hpp"
#include "workers/common/patch/PatchSteps.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <functional>
#include <optional>
#include <set>
#include <sys/wait.h>
#include <unistd.h>

namespace hexora::Worker::Common {
namespace fs = std::filesystem;

namespace {

// FullByFile: the launcher's full patch on a file system without the swap.
enum class Patch { Full, FullByFile, Partial, PartialFailing };

struct Scenario {
    const char* name;
    Patch patch;
    bool backupElsewhere;  // the launcher's case: the backup on another file system
};

// How a child run ended.
struct ChildEnd {
    bool killed = false;
    int exitCode = -1;  // 0 patched, 3 the patch failed
};

// Runs `patch` in a child process that raises SIGKILL right after its
// `stopAfter`-th step.
ChildEnd runInChild(int stopAfter, const std::function<void()>& patch) {
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        int steps = 0;
        PatchSteps::setStepObserver([&](const std::string&) {
            if (++steps == stopAfter) ::raise(SIGKILL);
        });
        try {
            patch();
            ::_exit(0);
        } catch (const LauncherError&) {
            ::_exit(3);
        } catch (...) {
            ::_exit(4);
        }
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child) return {};
    if (WIFSIGNALED(status)) return {WTERMSIG(status) == SIGKILL, -1};
    return {false, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

// The installed Contents, the package and the paths of one run.
class Installation {
public:
    Installation(const test::TempDir& dir, const fs::path& backupRoot, Patch patch)
        : dest(dir / "Hexora.app/Contents"), src(dir / "temp/2.0.2/Hexora.app/Contents"),
          backup(backupRoot / "Hexora.old.app"), patch_(patch) {
        write(dest / "MacOS/Hexora", "old binary", 0755);
        write(dest / "Info.plist", test::bundleInfoPlist(LauncherProduct::BundleIdentifier, "1.0.1"), 0644);
        write(dest / "Resources/keep.txt", "kept", 0644);
        write(dest / "a/b.txt", "old b", 0644);
        write(dest / "Frameworks/X.framework/Versions/A/X", "old x", 0755);
        fs::create_directory_symlink("A", dest / "Frameworks/X.framework/Versions/Current");
        if (patch == Patch::PartialFailing) write(dest / "z", "a file where the package has a folder", 0644);
        write(backup / "Contents/leftover.txt", "from an earlier run", 0644);
        writePackage();
        snapshotOfPackage_ = test::snapshotTree(src);
    }

    // What the next road does: a fresh package in an emptied temp folder.
    void writePackage() const {
        fs::remove_all(src.parent_path().parent_path());
        write(src / "MacOS/Hexora", "new binary", 0755);
        write(src / "Info.plist", test::bundleInfoPlist(LauncherProduct::BundleIdentifier, "2.0.2"), 0644);
        write(src / "a/b.txt", "new b", 0644);
        write(src / "d/e/f.txt", "new f", 0600);
        if (isFull()) {
            fs::create_directories(src / "g/empty");
            write(src / "Frameworks/X.framework/Versions/B/X", "new x", 0755);
            fs::create_directory_symlink("B", src / "Frameworks/X.framework/Versions/Current");
        }
        if (patch_ == Patch::PartialFailing) write(src / "z/file", "cannot land", 0644);
    }

    // The installed tree once the package is in (for the failing partial
    // patch: once every file before the one that cannot land is in).
    test::TreeSnapshot after(const test::TreeSnapshot& before) const {
        if (isFull()) return snapshotOfPackage_;
        test::TreeSnapshot result = before;
        result["MacOS/Hexora"] = test::fileEntry("new binary", 0755);
        result["Info.plist"] = snapshotOfPackage_.at("Info.plist");
        result["a/b.txt"] = test::fileEntry("new b");
        result["d"] = result["d/e"] = "folder";
        result["d/e/f.txt"] = test::fileEntry("new f", 0600);
        return result;
    }

    void run(const std::shared_ptr<WorkerThread>& thread) const {
        if (patch_ == Patch::Full) {
            CPatch(thread, src, dest, backup).work();
        } else if (patch_ == Patch::FullByFile) {
            const StartableBundle launcher{"MacOS/Hexora", LauncherProduct::BundleIdentifier};
            CPatch(thread, src, dest, backup, PatchRules{{}, launcher, true}).work();
        } else {
            CSmartPatch(thread, src, dest, backup).work();
        }
    }

    bool isFull() const { return patch_ == Patch::Full || patch_ == Patch::FullByFile; }

    const fs::path dest;
    const fs::path src;
    const fs::path backup;

private:
    static void write(const fs::path& path, const std::string& content, unsigned mode) {
        fs::create_directories(path.parent_path());
        std::FILE* file = std::fopen(path.c_str(), "w");
        std::fputs(content.c_str(), file);
        std::fclose(file);
        fs::permissions(path, static_cast<fs::perms>(mode));
    }

    Patch patch_;
    test::TreeSnapshot snapshotOfPackage_;
};

// Every item is as it was before or as it is after, never anything else:
// no partial file, no item that neither has, nothing untouched missing.
::testing::AssertionResult asBeforeOrAfter(const test::TreeSnapshot& now, const test::TreeSnapshot& before,
                                           const test::TreeSnapshot& after) {
    std::set<std::string> names;
    for (const auto* tree : {&now, &before, &after})
        for (const auto& [name, description] : *tree) names.insert(name);
    const auto at = [](const test::TreeSnapshot& tree, const std::string& name) -> std::optional<std::string> {
        const auto found = tree.find(name);
        return found == tree.end() ? std::nullopt : std::optional<std::string>(found->second);
    };
    for (const std::string& name : names) {
        const auto current = at(now, name);
        if (current != at(before, name) && current != at(after, name))
            return ::testing::AssertionFailure() << name << " is " << current.value_or("missing");
    }
    return ::testing::AssertionSuccess();
}

// Kills every scenario's patch after each of its steps in turn; a backup
// "elsewhere" goes below `elsewhere` (skipped when it is empty). Each run
// has a file-system layer of its own that `describeDisk` sets up (nothing:
// the system's calls), the swap refused where a scenario goes without it.
void killAtEveryStep(const fs::path& elsewhere, const std::function<void(test::FakeFileSystem&)>& describeDisk) {
    test::EngineHarness harness;
    const Scenario scenarios[] = {
        {"full patch", Patch::Full, false},
        {"full patch, backup on another file system", Patch::Full, true},
        {"launcher's full patch without the swap", Patch::FullByFile, false},
        {"launcher's full patch without the swap, backup on another file system", Patch::FullByFile, true},
        {"partial patch", Patch::Partial, false},
        {"partial patch, backup on another file system", Patch::Partial, true},
        {"partial patch that fails and restores", Patch::PartialFailing, false},
    };
    for (const Scenario& scenario : scenarios) {
        if (scenario.backupElsewhere && elsewhere.empty()) continue;
        std::set<std::string> statesSeen;
        for (int stopAfter = 1;; ++stopAfter) {
            SCOPED_TRACE(std::string(scenario.name) + ", killed after step " + std::to_string(stopAfter));
            ASSERT_LT(stopAfter, 100) << "the patch never got through";
            test::TempDir dir;
            const fs::path backupRoot = (scenario.backupElsewhere ? elsewhere : dir.path()) / "support";
            fs::remove_all(backupRoot);
            const Installation installation(dir, backupRoot, scenario.patch);
            test::ScopedFileSystem disk;
            describeDisk(*disk);
            if (scenario.patch == Patch::FullByFile) disk->fail(test::FakeFileSystem::Call::Exchange, "*", ENOSYS);
            const auto before = test::snapshotTree(installation.dest);
            const auto after = installation.after(before);

            const ChildEnd end = runInChild(stopAfter, [&] { installation.run(harness.thread); });
            const auto now = test::snapshotTree(installation.dest);

            if (!end.killed) {
                if (scenario.patch == Patch::PartialFailing) {
                    EXPECT_EQ(end.exitCode, 3);
                    EXPECT_EQ(now, before);
                } else {
                    EXPECT_EQ(end.exitCode, 0);
                    EXPECT_EQ(now, after);
                }
                EXPECT_FALSE(fs::exists(installation.backup));
                EXPECT_GE(stopAfter, 3);
                if (scenario.patch == Patch::FullByFile) {
                    EXPECT_GE(stopAfter, 10) << "the files come in one by one";
                }
                break;
            }
            if (scenario.patch == Patch::Full) {
                EXPECT_TRUE(now == before || now == after) << "the installed Contents is neither old nor new";
                statesSeen.insert(now == before ? "old" : "new");
            } else {
                EXPECT_TRUE(asBeforeOrAfter(now, before, after));
            }
            const auto executable = now.find("MacOS/Hexora");
            EXPECT_TRUE(executable != now.end() && executable->second.starts_with("file 0755"))
                << "the bundle has no executable";
            if (scenario.patch == Patch::PartialFailing) continue;

            // The next road unpacks the package again and patches once more.
            installation.writePackage();
            installation.run(harness.thread);
            EXPECT_EQ(test::snapshotTree(installation.dest), after);
        }
        if (scenario.patch == Patch::Full) {
            EXPECT_EQ(statesSeen, (std::set<std::string>{"old", "new"})) << scenario.name;
        }
    }
}

}  // namespace

TEST(PatchKill, EveryStepBoundaryLeavesAnInstallationThatStarts) {
    test::OtherFileSystemDir other;
    {
        test::TempDir probe;
        fs::create_directories(probe / "a");
        fs::create_directories(probe / "b");
        if (FileOps::exchange(probe / "a", probe / "b") != FileOps::ExchangeResult::Exchanged)
            GTEST_SKIP() << "this file system cannot swap folders";
    }
    killAtEveryStep(other.path(), [](test::FakeFileSystem&) {});
}

// The same on any machine: the swap is emulated step-whole (a kill falls
// between steps, never inside a call), and "another file system" is a folder
// every rename and swap into or out of which fails with EXDEV.
TEST(PatchKill, EveryStepBoundaryLeavesAnInstallationThatStartsOnAnyFileSystem) {
    test::TempDir elsewhere;
    killAtEveryStep(elsewhere.path(), [&](test::FakeFileSystem& disk) {
        disk.emulateExchange();
        for (const auto call : {test::FakeFileSystem::Call::Rename, test::FakeFileSystem::Call::Exchange})
            disk.fail(call, (elsewhere / "*").string(), EXDEV);
    });
}

}  // namespace hexora::Worker::Common
