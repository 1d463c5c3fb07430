// The launcher's roads from its update-info reply, against the local update
// API and file server with packages made by the package builder: repair of
// an intact launcher, the self-update with its restart, and a package that
// does not match its scheme.
#include "pipeline/PipelineFixture.hpp"
#include "pipeline/Tamper.hpp"
#include "services/internal/LauncherProduct.hpp"
#include "workers/common/patch/CPatch.hpp"
#include "workers/common/validate/CValidation.hpp"
#include "workers/game/GCheckProcess.hpp"
#include "workers/launcher/LP22.hpp"
#include "workers/launcher/LRestart.hpp"

#include <gmock/gmock.h>

namespace hexora {
namespace {

using Worker::Common::CPatch;
using Worker::Common::CValidation;
using Worker::Hexora::GCheckProcess;
using Worker::Launcher::LP22;
using Worker::Launcher::LRestart;
namespace fs = std::filesystem;
using Names = std::vector<std::string>;

class LauncherRoadTest : public test::PipelineFixture {
protected:
    LauncherRoadTest() {
        install(sourceBundle("launcher", "1.4.2"), launcher.bundle());
        setLauncherVersion("1.4.2");
    }
};

TEST_F(LauncherRoadTest, CurrentAndIntactLauncherPassesItsRepairAndTheGameCheckFollows) {
    publish(sourceBundle("launcher", "1.4.2"), "1.4.2", "L142");
    answer({{"result", 0}, {"version", "1.4.2"}, {"hash", "L142"}});

    const auto road = drive(std::make_shared<LP22>(harness.thread), before<GCheckProcess>());

    EXPECT_FALSE(road.error);
    EXPECT_EQ(road.names(), (Names{"LP22", "CLoadSchemes", "CGunzip", "CValidation", "CCheckValidationResult", "CCleanUp"}));
    EXPECT_TRUE(road.next) << "GCheckProcess comes next";
    EXPECT_EQ(road.first<CValidation>()->targetPath, bundleRootPath());
    EXPECT_FALSE(fs::exists(storagePath() / "launcherRetry.json"));
    EXPECT_FALSE(fs::exists(storagePath() / "launcherScheme.json.gz"));
    EXPECT_TRUE(fs::exists(storagePath() / "launcherScheme.json"));
    EXPECT_FALSE(fs::exists(tempPath()));
    EXPECT_EQ(test::treeOf(launcher.bundle()), test::treeOf(sourceBundle("launcher", "1.4.2")));
}

// The new launcher replaces the running one's Contents (the old Contents held
// in the application-support folder meanwhile), and is started from the
// bundle with the old process id and the bundle's parent folder; its
// executable is already the new one when it starts.
TEST_F(LauncherRoadTest, OutdatedLauncherIsDownloadedPatchedAndRestarted) {
    const fs::path next = sourceBundle("launcher", "1.5.0");
    publish(next, "1.5.0", "L150");
    answer({{"result", 0}, {"version", "1.5.0"}, {"hash", "L150"}});
    // This very launcher is listed first under the launcher's bundle identifier.
    table->add(OwnPid, std::string(LauncherProduct::BundleIdentifier), launcher.bundle() / "Contents/MacOS/Hexora");
    std::string executableAtStart;
    processes->onLaunch([&](const test::FakeProcessLauncher::Launch& launch,
                                      const platform::ProcessLauncher::Result& result) {
        executableAtStart = test::readFile(launch.executable);
        table->add(result.processIdentifier, std::string(LauncherProduct::BundleIdentifier), launch.executable);
    });

    const auto road = drive(std::make_shared<LP22>(harness.thread));

    ASSERT_FALSE(road.error) << road.error->message;
    EXPECT_EQ(road.names(), (Names{"LP22", "LPatch", "CDownload", "CUnzip", "CValidation", "CCheckValidationResult",
                                   "CPatch", "LRestart"}));
    EXPECT_FALSE(road.first<CValidation>()->skipMissingFiles);
    const auto patch = road.first<CPatch>();
    EXPECT_EQ(patch->srcPath, tempPath() / "1.5.0/Hexora.app/Contents");
    EXPECT_EQ(patch->destPath, launcher.bundle() / "Contents");
    EXPECT_EQ(patch->tempPath, launcher.dataFolder() / LauncherProduct::BundleIdentifier / "Hexora.old.app");
    EXPECT_EQ(test::treeOf(launcher.bundle()), test::treeOf(next));

    const auto launches = processes->launches();
    ASSERT_EQ(launches.size(), 1u);
    EXPECT_EQ(launches[0].executable, launcher.bundle() / "Contents/MacOS/Hexora");
    EXPECT_EQ(launches[0].arguments, (Names{std::to_string(OwnPid)}));
    EXPECT_EQ(fs::weakly_canonical(launches[0].workingDirectory), fs::weakly_canonical(launcher.bundle().parent_path()));
    EXPECT_EQ(executableAtStart, test::readFile(next / "Contents/MacOS/Hexora"));
    EXPECT_EQ(table->activated(), (std::vector<std::int32_t>{4242}));
    EXPECT_TRUE(harness.thread->isTerminateRequested());
    const auto events = harness.takeEvents();
    EXPECT_TRUE(std::any_of(events.begin(), events.end(),
                            [](const UIUpdateEvent& e) { return e.eventType == UIUpdateEvent::HideWindow; }));
    EXPECT_TRUE(recorded("LRestart", "restart", "Start"));
    EXPECT_TRUE(recorded("LRestart", "succeeded", "Succeeded"));
}

// A failed start is recorded with its result; the launcher still quits, and
// does not wait before it does.
TEST_F(LauncherRoadTest, FailedRestartIsRecordedAndTheLauncherStillQuits) {
    processes->answer({0, false, "no such file"});

    LRestart(harness.thread).work();

    EXPECT_EQ(clock->sleptSeconds(), 0.0);
    EXPECT_TRUE(harness.thread->isTerminateRequested());
    const auto states = harness.takeStates();
    ASSERT_FALSE(states.empty());
    EXPECT_THAT(states, testing::Each(LauncherState::ReservedAppTerminating));
    EXPECT_TRUE(table->activated().empty());
    ASSERT_TRUE(recorded("LRestart", "failed", "Failed"));
    bool withCode = false;
    for (const auto& put : collector.requests()) {
        const auto batch = nlohmann::json::parse(put.body);
        for (const auto& record : batch["Data"])
            if (record["Event"] == "failed") withCode = record["Data"]["ErrorCode"] == "0";
    }
    EXPECT_TRUE(withCode);
}

TEST_F(LauncherRoadTest, PackageThatDoesNotMatchItsSchemeLeavesTheLauncherUntouched) {
    const auto package = publish(sourceBundle("launcher", "1.5.0"), "1.5.0", "L150");
    test::replaceZipEntry(package.zip, "1.5.0/Hexora.app/Contents/Info.plist", "<plist>tampered</plist>");
    answer({{"result", 0}, {"version", "1.5.0"}, {"hash", "L150"}});

    const auto road = drive(std::make_shared<LP22>(harness.thread));

    ASSERT_TRUE(road.error);
    EXPECT_EQ(road.names().back(), "CCheckValidationResult");
    EXPECT_EQ(road.error->state, LauncherState::Failed_Validation);
    EXPECT_EQ(road.error->type, "CCheckValidationResult");
    EXPECT_EQ(road.error->message, "Launcher integrity check failed after download");
    EXPECT_EQ(road.error->terminateWhenAvailable, false);
    ASSERT_TRUE(road.error->rum);
    EXPECT_EQ(road.error->rum->Event, "Downloaded Launcher");
    EXPECT_EQ(road.error->rum->LogLevel, "INFO");
    EXPECT_EQ(test::treeOf(launcher.bundle()), test::treeOf(sourceBundle("launcher", "1.4.2")));
    EXPECT_TRUE(processes->launches().empty());
}

}  // namespace
}  // namespace hexora
