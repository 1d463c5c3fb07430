// A disk with room for the game's package but not for the package and its
// unpacked files together (a small file system of its own under the storage
// folder): the update fails at the unzip with its state on screen and leaves
// no package or partial files in temp; the next start, with the space
// unchanged, meets the same failure instead of quitting silently, also when a
// run cut off mid-unzip had filled the disk with its package; once space is
// freed the next start updates and starts the game. The same on a fresh
// install. A file where the game bundle belongs is replaced by the install.
#include "e2e/LauncherWorld.hpp"

#include "support/SmallFileSystem.hpp"
#include "support/TempDir.hpp"

#include <gtest/gtest.h>
#include <signal.h>

#include <fstream>

namespace hexora::e2e {
namespace {
namespace fs = std::filesystem;

constexpr std::size_t GameDataBytes = 4 << 20;

// Every item below temp (nothing when temp is missing).
std::vector<std::string> leftInTemp(const LauncherWorld& world) {
    std::vector<std::string> found;
    std::error_code error;
    for (fs::recursive_directory_iterator it(world.storage() / "temp", error), end; !error && it != end;
         it.increment(error)) {
        found.push_back(it->path().lexically_relative(world.storage()).string());
    }
    return found;
}

// The whole road, on an installed game or on a fresh install.
void unzipWithoutRoomFailsCleanlyAndTheUpdateFollowsOnceSpaceIsFreed(bool fresh) {
    LauncherWorld world(currentTestName());
    world.setGameSeconds(1);
    world.setDiskReserveBytes(0);
    test::SmallFileSystem disk(world.storage(), 64 << 20);
    if (!disk.available()) GTEST_SKIP() << disk.reason();
    world.offerCurrentLauncher();
    if (!fresh) world.installGame("1.0.1");
    world.offerGame("1.0.2", GameDataBytes);
    const auto package = world.service().layout().files / "update/game-1.0.2-large/1.0.2.zip";
    const std::uint64_t packageBytes = fs::file_size(package);
    // Room for the package and half of what it unpacks to; the small
    // files of the road (settings, schemes) fit in the margin.
    test::fillLeaving(world.storage(), "room-taken.bin", packageBytes + packageBytes / 2);

    struct Run {
        const char* name;
        bool leftovers;  // a run cut off mid-unzip filled the disk with its package
    };
    for (const Run run : {Run{"first start", false}, Run{"next start, space unchanged", false},
                          Run{"start after a cut-off run filled the disk", true}}) {
        SCOPED_TRACE(run.name);
        if (run.leftovers) {
            fs::create_directories(world.storage() / "temp");
            test::fillLeaving(world.storage() / "temp", "1.0.2.zip", 0);
        }
        auto launcher = world.startLauncher();
        ASSERT_EQ(world.runToFailure(launcher), "");
        world.screenshot(std::string(fresh ? "fresh-" : "installed-") + run.name);
        EXPECT_TRUE(hasRecord(world.runRecords(), "CUnzip", "unzip failed", "Failed")) << world.road();
        EXPECT_TRUE(world.waitForShown("The process has failed.")) << "Failed_DecompressFiles\n" << world.road();
        EXPECT_EQ(leftInTemp(world), std::vector<std::string>{}) << "no package or partial files";
        EXPECT_EQ(world.gameStartsReady(), 0);
        EXPECT_EQ(world.installedGameVersion(), fresh ? "" : "1.0.1");
        launcher.signal(SIGTERM);
        ASSERT_TRUE(launcher.waitForExit(10s).has_value());
    }

    fs::remove(world.storage() / "room-taken.bin");
    ASSERT_EQ(world.runToGame(), "");
    EXPECT_EQ(world.installedGameVersion(), "1.0.2");
    EXPECT_EQ(leftInTemp(world), std::vector<std::string>{});
}

TEST(FullDisk, UpdateOfAnInstalledGame) { unzipWithoutRoomFailsCleanlyAndTheUpdateFollowsOnceSpaceIsFreed(false); }

TEST(FullDisk, FreshInstall) { unzipWithoutRoomFailsCleanlyAndTheUpdateFollowsOnceSpaceIsFreed(true); }

TEST(BundlePlace, FileWhereTheGameBelongsIsReplacedByTheInstall) {
    LauncherWorld world(currentTestName());
    world.setGameSeconds(1);
    world.offerCurrentLauncher();
    world.offerGame("1.0.1");
    fs::create_directories(world.storage());
    std::ofstream(world.gameBundle()) << "not a bundle";

    ASSERT_EQ(world.runToGame(), "");
    EXPECT_EQ(world.installedGameVersion(), "1.0.1");
    EXPECT_TRUE(fs::is_directory(world.gameBundle()));
}

}  // namespace
}  // namespace hexora::e2e
