// The repair road: a later start validates the installed game against the
// scheme of its version. Intact, nothing is downloaded; damaged (a file
// deleted, another altered), the full package is installed again.
#include "e2e/LauncherWorld.hpp"

#include "support/TempDir.hpp"

#include <gtest/gtest.h>

#include <fstream>

namespace hexora::e2e {
namespace {
using hexora::test::readFile;

TEST(Repair, IntactGameStartsWithoutDownloadAndDamagedGameIsReinstalled) {
    LauncherWorld world(currentTestName());
    world.setGameSeconds(1);
    world.offerCurrentLauncher();
    world.offerGame("1.0.1");
    ASSERT_EQ(world.runToGame(), "");
    world.stopGames();
    const auto package = "/update/game-1.0.1/1.0.1.zip";
    ASSERT_EQ(world.fileRequests(package), 1);

    // Intact: validation passes, nothing is downloaded.
    ASSERT_EQ(world.runToGame(), "");
    world.stopGames();
    EXPECT_EQ(world.fileRequests(package), 1) << "an intact game was downloaded again";
    EXPECT_TRUE(hasRecord(world.runRecords(), "CLoadSchemes", "download", "Succeeded")) << world.road();

    // Damaged: one file deleted, one altered.
    const auto readme = world.gameBundle() / "Contents/Resources/readme.txt";
    const auto executable = world.gameExecutable();
    const auto published = world.makeGame("1.0.1");
    std::filesystem::remove(readme);
    std::ofstream(executable, std::ios::app | std::ios::binary) << "altered";
    ASSERT_EQ(world.runToGame(), "");
    EXPECT_EQ(world.fileRequests(package), 2) << "the full package was not fetched";
    EXPECT_TRUE(hasRecord(world.runRecords(), "CCheckValidationResult", "Installed Game", "Failed")) << world.road();
    EXPECT_EQ(readFile(executable), readFile(published / "Contents/MacOS/Hexora"));
    EXPECT_EQ(readFile(readme), readFile(published / "Contents/Resources/readme.txt"));
}

}  // namespace
}  // namespace hexora::e2e
