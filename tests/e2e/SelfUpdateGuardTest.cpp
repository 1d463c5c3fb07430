// A self-update must never leave the user without a launcher or in an
// endless chain of them:
// - a package that carries another version than the update API announces
//   (a release slip) updates the launcher once; the relaunched launcher,
//   told once more that it is outdated, goes on to the game;
// - a package without the launcher's executable, or whose Info.plist is not
//   the launcher's, is refused before the bundle is touched: the installed
//   launcher still starts, and with a healthy server it reaches the game;
// - on a file system without the one-step swap, the launcher's full patch
//   killed after any of its steps leaves a bundle with its executable, and
//   the next start reaches the game.
#include "e2e/LauncherWorld.hpp"
#include "e2e/ProcessScan.hpp"
#include "platform/InfoPlist.hpp"
#include "services/internal/GameProduct.hpp"
#include "services/internal/LauncherProduct.hpp"
#include "support/EngineHarness.hpp"
#include "support/FakeFileSystem.hpp"
#include "support/InfoPlistText.hpp"
#include "workers/common/patch/CPatch.hpp"
#include "workers/common/patch/PatchSteps.hpp"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fstream>

namespace hexora::e2e {
namespace {
namespace fs = std::filesystem;

// What the package's launcher carries against the version announced.
enum class Carried { TheInstalledVersion, AHigherVersion };

class LauncherPackageSlip : public ::testing::TestWithParam<Carried> {};

TEST_P(LauncherPackageSlip, OneStartUpdatesTheLauncherOnceAndReachesTheGame) {
    LauncherWorld world(currentTestName());
    world.setGameSeconds(1);
    world.installGame("1.0.1");
    world.offerGame("1.0.1");
    const auto announced = LauncherWorld::higherLauncherVersion();
    const auto carried = GetParam() == Carried::TheInstalledVersion ? LauncherWorld::builtLauncherVersion()
                                                                    : announced + ".1";
    const std::string hash = "launcher-slip";
    world.publish(world.makeLauncher(carried), announced, hash);
    world.answer(LauncherPlatform, {{"result", 1}, {"version", announced}, {"hash", hash}, {"file", announced}});

    auto old = world.startLauncher();
    ASSERT_TRUE(world.waitForGameStarts(1, 120s)) << world.road();
    const auto status = old.waitForExit(60s);
    ASSERT_TRUE(status.has_value()) << "the old launcher did not quit";
    EXPECT_EQ(describeStatus(*status), "exit 0");
    ASSERT_TRUE(world.waitForNoLauncher(60s)) << world.road();

    EXPECT_EQ(world.fileRequests("/update/" + hash + "/" + announced + ".zip"), 1) << world.road();
    EXPECT_EQ(world.apiRequests(LauncherPlatform), 2) << "the relaunched launcher asks once and goes on";
    EXPECT_EQ(world.installedLauncherVersion(), carried);
    EXPECT_EQ(world.gameStartsReady(), 1);
    ASSERT_TRUE(world.waitForRecord("LP22.work", "new version again after an update", "Exception", 30s)) << world.road();
    const auto records = world.records();
    EXPECT_LE(std::count_if(records.begin(), records.end(),
                            [](const Record& r) { return matches(r, "LRestart", "succeeded", "Succeeded"); }),
              1);
}

INSTANTIATE_TEST_SUITE_P(SelfUpdate, LauncherPackageSlip,
                         ::testing::Values(Carried::TheInstalledVersion, Carried::AHigherVersion),
                         [](const auto& info) {
                             return info.param == Carried::TheInstalledVersion ? "CarriesTheInstalledVersion"
                                                                               : "CarriesAHigherVersion";
                         });

// What is wrong with the package's launcher.
enum class Broken { NoExecutable, GamesInfoPlist };

class UnstartableLauncherPackage : public ::testing::TestWithParam<Broken> {};

TEST_P(UnstartableLauncherPackage, IsRefusedAndTheNextStartReachesTheGame) {
    LauncherWorld world(currentTestName());
    world.setGameSeconds(1);
    world.installGame("1.0.1");
    world.offerGame("1.0.1");
    const auto newer = LauncherWorld::higherLauncherVersion();
    const auto bundle = world.makeLauncher(newer);
    if (GetParam() == Broken::NoExecutable) {
        fs::remove(bundle / "Contents/MacOS/Hexora");
    } else {
        std::ofstream(bundle / "Contents/Info.plist", std::ios::trunc)
            << test::bundleInfoPlist(GameProduct::BundleIdentifier, newer);
    }
    const std::string hash = "launcher-unstartable";
    world.publish(bundle, newer, hash);
    world.answer(LauncherPlatform, {{"result", 1}, {"version", newer}, {"hash", hash}, {"file", newer}});
    const auto installedBefore = world.installedLauncherVersion();

    auto launcher = world.startLauncher();
    ASSERT_EQ(world.runToFailure(launcher), "");
    EXPECT_TRUE(world.waitForShown("Failed to patch.", 30s)) << world.road();
    EXPECT_TRUE(hasRecord(world.runRecords(), "CPatch", "failed to replace", "Failed")) << world.road();
    launcher.terminate();
    ASSERT_TRUE(launcher.waitForExit(30s).has_value());

    struct stat info {};
    ASSERT_EQ(::lstat(world.launcherExecutable().c_str(), &info), 0) << "the install has no executable";
    EXPECT_TRUE(S_ISREG(info.st_mode) && (info.st_mode & S_IXUSR));
    EXPECT_EQ(world.installedLauncherVersion(), installedBefore);
    EXPECT_EQ(platform::InfoPlist::readString(world.launcherBundle() / "Contents/Info.plist", "CFBundleIdentifier"),
              LauncherProduct::BundleIdentifier);

    world.offerCurrentLauncher();
    ASSERT_EQ(world.runToGame(), "");
    EXPECT_EQ(world.gameStartsReady(), 1);
}

INSTANTIATE_TEST_SUITE_P(SelfUpdate, UnstartableLauncherPackage,
                         ::testing::Values(Broken::NoExecutable, Broken::GamesInfoPlist), [](const auto& info) {
                             return info.param == Broken::NoExecutable ? "WithoutTheExecutable" : "WithTheGamesInfoPlist";
                         });

// The launcher's full patch as the self-update runs it, on a file system
// without the swap (emulated: the exchange answers NotSupported), in a child
// process that kills itself right after its N-th step (0: never).
class FullPatchWithoutSwap {
public:
    explicit FullPatchWithoutSwap(LauncherWorld& world)
        : world_(world),
          pristine_(world.root() / "work/pristine/Contents"),
          package_(world.makeLauncher(LauncherWorld::higherLauncherVersion()) / "Contents"),
          source_(world.root() / "work/unpacked/Hexora.app/Contents"),
          backup_(world.dataHome() / LauncherProduct::BundleIdentifier / "Hexora.old.app") {
        fs::create_directories(pristine_.parent_path());
        fs::copy(world.launcherBundle() / "Contents", pristine_, fs::copy_options::recursive);
    }

    /// The installed launcher as built, a freshly unpacked package, no backup.
    void reset() const {
        for (const auto& [from, to] : {std::pair{pristine_, installed()}, std::pair{package_, source_}}) {
            fs::remove_all(to);
            fs::create_directories(to.parent_path());
            fs::copy(from, to, fs::copy_options::recursive);
        }
        fs::remove_all(backup_);
    }

    /// Runs the patch; true when the child was killed, false when it ran
    /// through (exit 0). steps() then tells how many steps it made.
    bool run(int stopAfter) const {
        int counter[2];
        if (::pipe(counter) != 0) throw std::runtime_error("pipe");
        std::fflush(nullptr);
        const pid_t child = ::fork();
        if (child == 0) {
            ::close(counter[0]);
            test::ScopedFileSystem noSwap;
            noSwap->fail(test::FakeFileSystem::Call::Exchange, "*", ENOSYS);
            int steps = 0;
            Worker::Common::PatchSteps::setStepObserver([&](const std::string&) {
                (void)!::write(counter[1], "s", 1);
                if (++steps == stopAfter) ::raise(SIGKILL);
            });
            test::EngineHarness harness;
            const Worker::Common::StartableBundle launcher{"MacOS/Hexora", LauncherProduct::BundleIdentifier};
            try {
                Worker::Common::CPatch(harness.thread, source_, installed(), backup_,
                                       Worker::Common::PatchRules{{}, launcher, true})
                    .work();
            } catch (...) {
                ::_exit(3);
            }
            ::_exit(0);
        }
        ::close(counter[1]);
        char buffer[64];
        steps_ = 0;
        for (ssize_t got; (got = ::read(counter[0], buffer, sizeof buffer)) > 0;) steps_ += static_cast<int>(got);
        ::close(counter[0]);
        int status = 0;
        ::waitpid(child, &status, 0);
        if (WIFSIGNALED(status)) return true;
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) throw std::runtime_error("the patch failed");
        return false;
    }

    int steps() const { return steps_; }
    fs::path installed() const { return world_.launcherBundle() / "Contents"; }

private:
    LauncherWorld& world_;
    fs::path pristine_;
    fs::path package_;
    fs::path source_;
    fs::path backup_;
    mutable int steps_ = 0;
};

// The steps of the patch of the built launcher (checked by
// FullPatchWithoutSwap.EveryStepIsAKillPoint): the untouched copy, one per
// file, the backup's deletion.
constexpr int KillPoints = 7;

TEST(FullPatchWithoutSwap, EveryStepIsAKillPoint) {
    LauncherWorld world(currentTestName());
    FullPatchWithoutSwap patch(world);
    patch.reset();
    ASSERT_FALSE(patch.run(0));
    EXPECT_EQ(patch.steps(), KillPoints) << "set KillPoints to the number of steps";
    EXPECT_EQ(world.installedLauncherVersion(), LauncherWorld::higherLauncherVersion());
}

class KilledFullPatchWithoutSwap : public ::testing::TestWithParam<int> {};

TEST_P(KilledFullPatchWithoutSwap, LeavesALauncherThatStartsAndReachesTheGame) {
    LauncherWorld world(currentTestName());
    world.setGameSeconds(1);
    world.installGame("1.0.1");
    world.offerGame("1.0.1");
    const auto newer = LauncherWorld::higherLauncherVersion();
    world.publish(world.makeLauncher(newer), newer, "launcher-" + newer);
    world.answer(LauncherPlatform, {{"result", 1}, {"version", newer}, {"hash", "launcher-" + newer}, {"file", newer}});
    FullPatchWithoutSwap patch(world);
    patch.reset();

    ASSERT_TRUE(patch.run(GetParam())) << "the patch ran through before the kill";

    struct stat info {};
    ASSERT_EQ(::lstat(world.launcherExecutable().c_str(), &info), 0) << "the bundle has no executable";
    EXPECT_TRUE(S_ISREG(info.st_mode) && (info.st_mode & S_IXUSR));
    EXPECT_EQ(platform::InfoPlist::readString(patch.installed() / "Info.plist", "CFBundleIdentifier"),
              LauncherProduct::BundleIdentifier);
    ASSERT_EQ(world.runToGame(), "");
    EXPECT_EQ(world.installedLauncherVersion(), newer);
}

INSTANTIATE_TEST_SUITE_P(SelfUpdate, KilledFullPatchWithoutSwap, ::testing::Range(1, KillPoints + 1),
                         [](const auto& info) { return "KilledAfterStep" + std::to_string(info.param); });

}  // namespace
}  // namespace hexora::e2e
