// The game's roads from its update-info reply, against the local update API
// and file server with packages made by the package builder: full and smart
// updates, the repair of a damaged game, and a package that does not match
// its scheme. Each road ends with the game started (through the fake
// process launcher) or with the error that ends it.
#include "pipeline/PipelineFixture.hpp"
#include "pipeline/Tamper.hpp"
#include "support/PendingRecords.hpp"
#include "workers/common/patch/CCleanUp.hpp"
#include "workers/common/patch/CPatch.hpp"
#include "workers/common/patch/CSmartPatch.hpp"
#include "workers/common/validate/CValidation.hpp"
#include "workers/game/GP22.hpp"
#include "workers/game/GPatch.hpp"

#include <fstream>

namespace hexora {
namespace {

using Worker::Common::CCleanUp;
using Worker::Common::CPatch;
using Worker::Common::CSmartPatch;
using Worker::Common::CValidation;
using Worker::Hexora::GP22;
using Worker::Hexora::GPatch;
namespace fs = std::filesystem;
using Names = std::vector<std::string>;

class GameRoadTest : public test::PipelineFixture {
protected:
    GameRoadTest() {
        install(sourceBundle("game", "2.0.1"), game());
        setGameVersion("2.0.1");
    }

    static fs::path game() { return storagePath() / "Hexora.app"; }

    void expectGameStarted(const Road& road) {
        ASSERT_TRUE(road.error);
        EXPECT_EQ(road.error->type, "GStart");
        EXPECT_EQ(road.error->code, Worker::LauncherError::Code::Succeeded);
        const auto launches = processes->launches();
        ASSERT_EQ(launches.size(), 1u);
        EXPECT_EQ(launches[0].executable, game() / "Contents/MacOS/Hexora");
    }
};

// 2.0.1 installed; 2.0.2 arrives as a full package or as a smart package that
// holds only what changed since 2.0.1.
TEST_F(GameRoadTest, NewVersionIsDownloadedPatchedAndStarted) {
    struct Case {
        const char* file;
        bool smart;
    };
    for (const Case c : {Case{"2.0.2", false}, Case{"2.0.2_2.0.1", true}}) {
        SCOPED_TRACE(c.file);
        install(sourceBundle("game", "2.0.1"), game());
        processes->answer({4242, true, ""});
        const fs::path next = sourceBundle("game", "2.0.2");
        const auto package = publish(next, "2.0.2", c.file, c.file,
                                     c.smart ? std::optional(sourceBundle("game", "2.0.1")) : std::nullopt);
        if (c.smart) {
            ASSERT_LT(package.packed.size(), test::treeOf(next).size());
        }
        answer({{"result", 0}, {"version", "2.0.2"}, {"hash", c.file}, {"file", c.file}});
        const auto before = processes->launches().size();

        const auto road = drive(std::make_shared<GP22>(harness.thread));

        EXPECT_EQ(road.names(), (Names{"GP22", "GPatch", "CDownload", "CUnzip", "CValidation", "CCheckValidationResult",
                                       c.smart ? "CSmartPatch" : "CPatch", "CCleanUp", "GStart"}));
        ASSERT_TRUE(road.error);
        EXPECT_EQ(road.error->type, "GStart");
        EXPECT_EQ(processes->launches().size(), before + 1);
        EXPECT_EQ(road.first<CValidation>()->skipMissingFiles, c.smart);
        EXPECT_EQ(road.first<CValidation>()->targetPath, tempPath() / c.file / "Hexora.app");
        // A smart patch leaves the files the new version dropped; the next
        // repair's validation removes them.
        auto expected = test::treeOf(next);
        if (c.smart) {
            const std::string dropped = "Contents/Resources/only-2.0.1.txt";
            expected[dropped] = test::treeOf(sourceBundle("game", "2.0.1")).at(dropped);
        }
        EXPECT_EQ(test::treeOf(game()), expected);
        EXPECT_FALSE(fs::exists(tempPath())) << "temp is cleaned up before the game starts";
        const fs::path backup = tempPath() / "Hexora.old.app";
        if (c.smart) {
            EXPECT_EQ(road.first<CSmartPatch>()->tempPath, backup);
        } else {
            EXPECT_EQ(road.first<CPatch>()->tempPath, backup);
        }
    }
}

// The new version brings a framework whose Versions/Current is a link to a
// folder (listed in the zip, not in the scheme, which lists files): after a
// full and after a smart update the link is installed and leads to the
// framework's own folder inside the bundle.
TEST_F(GameRoadTest, DirectoryLinksOfThePackageAreInstalled) {
    const fs::path next = sourceBundle("game", "2.0.2");
    const fs::path versions = next / "Contents/Frameworks/Y.framework/Versions";
    write(versions / "A/Y", "library Y", 0755);
    fs::create_directory_symlink("A", versions / "Current");
    for (const bool smart : {false, true}) {
        SCOPED_TRACE(smart ? "smart" : "full");
        install(sourceBundle("game", "2.0.1"), game());
        const std::string file = smart ? "2.0.2_2.0.1" : "2.0.2";
        const auto package =
            publish(next, "2.0.2", file, file, smart ? std::optional(sourceBundle("game", "2.0.1")) : std::nullopt);
        ASSERT_EQ(std::count(package.packed.begin(), package.packed.end(),
                             "Contents/Frameworks/Y.framework/Versions/Current"),
                  1);
        answer({{"result", 0}, {"version", "2.0.2"}, {"hash", file}, {"file", file}});

        const auto road = drive(std::make_shared<GP22>(harness.thread));

        ASSERT_TRUE(road.error);
        EXPECT_EQ(road.error->type, "GStart") << road.error->message;
        const fs::path current = game() / "Contents/Frameworks/Y.framework/Versions/Current";
        ASSERT_TRUE(fs::is_symlink(current));
        EXPECT_EQ(fs::read_symlink(current), "A");
        const fs::path resolved = fs::canonical(current);
        EXPECT_EQ(resolved, fs::canonical(game() / "Contents/Frameworks/Y.framework/Versions/A"));
        EXPECT_EQ(test::readFile(current / "Y"), "library Y");
    }
}

// A file, or a link to a folder elsewhere, stands where the game bundle
// belongs: the install replaces it (never what the link leads to) and the
// game starts.
TEST_F(GameRoadTest, ItemWhereTheGameBundleBelongsIsReplacedByTheInstall) {
    publish(sourceBundle("game", "2.0.2"), "2.0.2", "G202");
    answer({{"result", 0}, {"version", "2.0.2"}, {"hash", "G202"}});
    const fs::path elsewhere = sources.path() / "elsewhere";
    install(sourceBundle("game", "2.0.1"), elsewhere);
    const auto untouched = test::treeOf(elsewhere);
    for (const bool link : {false, true}) {
        SCOPED_TRACE(link ? "link" : "file");
        fs::remove_all(game());
        if (link) fs::create_directory_symlink(elsewhere, game());
        else write(game(), "not a bundle");
        setGameVersion("1.0.0");
        processes->answer({4242, true, ""});
        const auto before = processes->launches().size();

        const auto road = drive(std::make_shared<GP22>(harness.thread));

        ASSERT_TRUE(road.error);
        EXPECT_EQ(road.error->type, "GStart") << road.error->message;
        EXPECT_EQ(processes->launches().size(), before + 1);
        EXPECT_FALSE(fs::is_symlink(game()));
        EXPECT_EQ(test::treeOf(game()), test::treeOf(sourceBundle("game", "2.0.2")));
        EXPECT_EQ(test::treeOf(elsewhere), untouched);
    }
}

// One file deleted and one altered: the repair's validation fails, and the
// full package of the replied version puts the game back.
TEST_F(GameRoadTest, DamagedGameIsRepairedWithTheFullPackageAndStarted) {
    publish(sourceBundle("game", "2.0.1"), "2.0.1", "G201");
    fs::remove(game() / "Contents/Resources/shared.dat");
    write(game() / "Contents/Info.plist", "<plist>altered</plist>");
    answer({{"result", 0}, {"version", "2.0.1"}, {"hash", "G201"}});

    const auto road = drive(std::make_shared<GP22>(harness.thread));

    EXPECT_EQ(road.names(), (Names{"GP22", "CLoadSchemes", "CGunzip", "CValidation", "CCheckValidationResult",
                                   "CCleanUp", "GPatch", "CDownload", "CUnzip", "CValidation",
                                   "CCheckValidationResult", "CPatch", "CCleanUp", "GStart"}));
    const auto patch = road.first<GPatch>();
    ASSERT_TRUE(patch);
    EXPECT_EQ(patch->updateVersion, "2.0.1");
    EXPECT_TRUE(patch->isFullPatch);
    expectGameStarted(road);
    EXPECT_EQ(test::treeOf(game()), test::treeOf(sourceBundle("game", "2.0.1")));
    EXPECT_TRUE(recorded("CCheckValidationResult", "Installed Game", "Failed"));
}

TEST_F(GameRoadTest, IntactGameIsValidatedAndStarted) {
    publish(sourceBundle("game", "2.0.1"), "2.0.1", "G201");
    answer({{"result", 0}, {"version", "2.0.1"}, {"hash", "G201"}});

    const auto road = drive(std::make_shared<GP22>(harness.thread));

    EXPECT_EQ(road.names(), (Names{"GP22", "CLoadSchemes", "CGunzip", "CValidation", "CCheckValidationResult",
                                   "CCleanUp", "CCleanUp", "GStart"}));
    expectGameStarted(road);
    EXPECT_FALSE(fs::exists(storagePath() / "gameScheme.json.gz"));
    EXPECT_TRUE(fs::exists(storagePath() / "gameScheme.json"));
}

TEST_F(GameRoadTest, PackageThatDoesNotMatchItsSchemeLeavesTheGameUntouched) {
    const auto package = publish(sourceBundle("game", "2.0.2"), "2.0.2", "G202");
    test::replaceZipEntry(package.zip, "2.0.2/Hexora.app/Contents/MacOS/Hexora", "#!/bin/sh\n# not the game\n");
    answer({{"result", 0}, {"version", "2.0.2"}, {"hash", "G202"}});

    const auto road = drive(std::make_shared<GP22>(harness.thread));

    ASSERT_TRUE(road.error);
    EXPECT_EQ(road.names().back(), "CCheckValidationResult");
    EXPECT_EQ(road.error->state, LauncherState::Failed_Validation);
    EXPECT_EQ(road.error->message, "Game integrity check failed after download");
    ASSERT_TRUE(road.error->rum);
    EXPECT_EQ(road.error->rum->MinorType, "CCheckValidationResult");
    EXPECT_EQ(road.error->rum->Event, "Downloaded Game");
    EXPECT_EQ(road.error->rum->EventState, "Failed");
    EXPECT_EQ(test::treeOf(game()), test::treeOf(sourceBundle("game", "2.0.1")));
    EXPECT_TRUE(processes->launches().empty());
    EXPECT_TRUE(fs::is_empty(tempPath())) << "the package is taken away";
}

// Whichever step of the update fails, the road leaves no package and no
// unpacked files in temp; the installed game stays as it was.
TEST_F(GameRoadTest, FailedUpdateStepLeavesNoPackageInTemp) {
    struct Case {
        const char* label;
        const char* failingStep;
        std::function<void(const tools::Package&)> spoil;
        bool smart;
    };
    const Case cases[] = {
        {"package cut short", "CUnzip",
         [](const tools::Package& package) {
             const std::string bytes = test::readFile(package.zip);
             std::ofstream(package.zip, std::ios::binary | std::ios::trunc) << bytes.substr(0, bytes.size() * 3 / 4);
         },
         false},
        {"package unlike its scheme", "CCheckValidationResult",
         [](const tools::Package& package) {
             test::replaceZipEntry(package.zip, "2.0.2/Hexora.app/Contents/MacOS/Hexora", "#!/bin/sh\n");
         },
         false},
        {"smart package without an installed game", "CSmartPatch",
         [](const tools::Package&) { fs::remove_all(game()); }, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        install(sourceBundle("game", "2.0.1"), game());
        const std::string file = c.smart ? "2.0.2_2.0.1" : "2.0.2";
        const auto package = publish(sourceBundle("game", "2.0.2"), "2.0.2", file, file,
                                     c.smart ? std::optional(sourceBundle("game", "2.0.1")) : std::nullopt);
        c.spoil(package);
        const auto installed = test::treeOf(game());
        answer({{"result", 0}, {"version", "2.0.2"}, {"hash", file}, {"file", file}});

        const auto road = drive(std::make_shared<GP22>(harness.thread));

        ASSERT_TRUE(road.error);
        EXPECT_EQ(road.names().back(), c.failingStep);
        EXPECT_TRUE(fs::is_empty(tempPath())) << test::treeOf(tempPath()).size();
        EXPECT_EQ(test::treeOf(game()), installed);
        EXPECT_TRUE(processes->launches().empty());
    }
}

// A package name from the reply names files in temp: one that is not a
// plain name is refused before anything is downloaded or touched.
TEST_F(GameRoadTest, PackageNameThatLeavesTempIsRefused) {
    for (const char* name : {"../escape", "a/b", "..", ""}) {
        SCOPED_TRACE(name);
        GPatch worker(harness.thread, "H", name, true);
        try {
            worker.work();
            ADD_FAILURE() << "no error";
        } catch (const Worker::LauncherError& error) {
            EXPECT_EQ(error.type, "GPatch");
            EXPECT_EQ(error.state, LauncherState::Failed_Api_Unavailable_Version);
        }
        EXPECT_TRUE(harness.thread->workers().takeFirst() == std::nullopt);
    }
    EXPECT_EQ(files.requestCount(), 0u);
}

// The reply's hash names the package's folder on the file server: one that
// is not a plain name ends the road before any file is asked for, on the
// update road and on the repair road alike, and so does a GPatch given one.
TEST_F(GameRoadTest, HashThatLeavesItsFolderIsRefused) {
    for (const char* hash : {"../../config", "a/b", "..", ".", "a\\b"}) {
        for (const bool update : {true, false}) {
            SCOPED_TRACE(std::string(hash) + (update ? " update" : " repair"));
            if (update) answer({{"result", 0}, {"version", "2.0.2"}, {"hash", hash}});
            else answer({{"result", 0}, {"version", "2.0.1"}, {"hash", hash}});

            const auto road = drive(std::make_shared<GP22>(harness.thread));

            EXPECT_EQ(road.names(), Names{"GP22"});
            ASSERT_TRUE(road.error);
            EXPECT_EQ(road.error->type, "GP22.work");
            EXPECT_EQ(road.error->message, std::string("invalid package hash: ") + hash);
            EXPECT_EQ(road.error->state, LauncherState::Failed_Api_Unavailable_Version);
            ASSERT_TRUE(road.error->rum);
            EXPECT_TRUE(test::recordIs(*road.error->rum, "GP22.work", "invalid package hash", "Failed", "ERROR"));
        }
        GPatch worker(harness.thread, hash, "2.0.2", true);
        EXPECT_THROW(worker.work(), Worker::LauncherError);
        EXPECT_TRUE(harness.thread->workers().takeFirst() == std::nullopt);
    }
    EXPECT_EQ(files.requestCount(), 0u);
}

}  // namespace
}  // namespace hexora
