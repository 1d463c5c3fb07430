#include "platform/MainBundle.hpp"
#include "services/internal/Paths.hpp"
#include "support/LogCapture.hpp"
#include "support/ScopedEnv.hpp"
#include "support/TempDir.hpp"
#include "support/TestBundle.hpp"

#include <gtest/gtest.h>

namespace hexora {
namespace fs = std::filesystem;

TEST(MainBundle, BundleOfAnExecutable) {
    struct Case {
        const char* executable;
        const char* bundle;
    };
    const Case cases[] = {
        {"/Applications/Hexora Launcher.app/Contents/MacOS/Hexora", "/Applications/Hexora Launcher.app"},
        {"/home/u/HexoraLauncher.app/Contents/MacOS/HexoraLauncher", "/home/u/HexoraLauncher.app"},
        // Not the bundle layout: the executable's own folder stands for the bundle.
        {"/opt/hexora/bin/hexora", "/opt/hexora/bin"},
        {"/home/u/Hexora/Contents/MacOS/Hexora", "/home/u/Hexora/Contents/MacOS"},
        {"/home/u/X.app/Contents/Resources/Hexora", "/home/u/X.app/Contents/Resources"},
        {"/home/u/X.app/MacOS/Hexora", "/home/u/X.app/MacOS"},
    };
    for (const auto& c : cases) EXPECT_EQ(platform::bundlePathOf(c.executable), fs::path(c.bundle)) << c.executable;
}

TEST(MainBundle, RunningTestIsOutsideABundle) {
    const auto executable = platform::executablePath();
    ASSERT_TRUE(executable.is_absolute());
    EXPECT_TRUE(fs::is_regular_file(executable));
    EXPECT_EQ(platform::mainBundlePath(), executable.parent_path());
}

TEST(Paths, DerivedFromTheBundleAndCachedForTheProcess) {
    test::TestBundle bundle;
    EXPECT_EQ(bundleRootPath(), bundle.bundle());
    EXPECT_EQ(storagePath(), bundle.bundle() / "storage");
    EXPECT_EQ(tempPath(), bundle.bundle() / "storage" / "temp");
    EXPECT_EQ(bundleParentPath(), bundle.root() / "Applications");

    // Moving the bundle afterwards changes nothing: the paths were taken once.
    fs::rename(bundle.bundle(), bundle.root() / "Moved.app");
    EXPECT_EQ(bundleRootPath(), bundle.bundle());
    EXPECT_EQ(bundleParentPath(), bundle.root() / "Applications");
}

TEST(Paths, TrailingSeparatorDoesNotChangeTheParent) {
    test::TempDir dir;
    Paths::useBundleForTesting(dir / "Apps/HexoraLauncher.app/", dir / "data");
    EXPECT_EQ(bundleRootPath(), dir / "Apps/HexoraLauncher.app");
    EXPECT_EQ(bundleParentPath(), dir / "Apps");
    Paths::resetForTesting();
}

TEST(Paths, ResetAsksThePlatformAgain) {
    { test::TestBundle bundle; ASSERT_EQ(bundleRootPath(), bundle.bundle()); }
    EXPECT_EQ(bundleRootPath(), platform::mainBundlePath());
    Paths::resetForTesting();
}

TEST(Paths, ExecutableIsTheRunningOneOrTheTestBundles) {
    EXPECT_EQ(executablePath(), platform::executablePath());
    {
        test::TestBundle bundle;
        EXPECT_EQ(executablePath(), bundle.bundle() / "Contents" / "MacOS" / "Hexora");
    }
    EXPECT_EQ(executablePath(), platform::executablePath());
}

TEST(ApplicationSupport, CreatesTheLauncherFolderOnce) {
    test::TestBundle bundle;
    const auto expected = bundle.dataFolder() / "com.tarq.hexora.mac.launcher";
    EXPECT_EQ(applicationSupport(), expected);
    EXPECT_TRUE(fs::is_directory(expected));

    // Cached: a removed folder is not made again.
    fs::remove(expected);
    EXPECT_EQ(applicationSupport(), expected);
    EXPECT_FALSE(fs::exists(expected));
}

TEST(ApplicationSupport, FolderAlreadyNamingTheLauncherIsKeptAsIs) {
    test::TempDir dir;
    const auto platformFolder = dir / "com.tarq.hexora.mac.launcher" / "share";
    Paths::useBundleForTesting(dir / "HexoraLauncher.app", platformFolder);
    EXPECT_EQ(applicationSupport(), platformFolder);
    EXPECT_FALSE(fs::exists(dir / "com.tarq.hexora.mac.launcher"));
    Paths::resetForTesting();
}

TEST(ApplicationSupport, CreationFailureIsLoggedAndThePathStillReturned) {
    test::TempDir dir;
    const auto blocker = dir.write("data", "a file where a folder should be");
    Paths::useBundleForTesting(dir / "HexoraLauncher.app", blocker);
    test::LogCapture log;
    EXPECT_EQ(applicationSupport(), blocker / "com.tarq.hexora.mac.launcher");
    EXPECT_TRUE(log.contains("applicationSupportPath.mkpath() failed: "));
    EXPECT_EQ(test::readFile(blocker), "a file where a folder should be");
    Paths::resetForTesting();
}

TEST(ApplicationSupport, PlatformFolderFollowsXdgDataHome) {
    test::ScopedEnv home("HOME", "/home/someone");
    {
        test::ScopedEnv data("XDG_DATA_HOME", "/srv/data");
        EXPECT_EQ(Paths::userApplicationSupportFolder(), fs::path("/srv/data"));
    }
    {
        // A relative value is not a usable base folder and is ignored.
        test::ScopedEnv data("XDG_DATA_HOME", "relative/data");
        EXPECT_EQ(Paths::userApplicationSupportFolder(), fs::path("/home/someone/.local/share"));
    }
    {
        test::ScopedEnv data("XDG_DATA_HOME", std::nullopt);
        EXPECT_EQ(Paths::userApplicationSupportFolder(), fs::path("/home/someone/.local/share"));
    }
}

}  // namespace hexora
