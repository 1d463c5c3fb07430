// The completion callbacks of the update workers' package check
// (LPatch::onValidationResult, GPatch::onValidationResult): the one handed to
// the queued result check, and what each side queues or throws.
#include "engine/LauncherError.hpp"
#include "services/internal/Paths.hpp"
#include "services/rum/RumApi.hpp"
#include "support/EngineHarness.hpp"
#include "support/PendingRecords.hpp"
#include "support/TestBundle.hpp"
#include "support/WorkerFailure.hpp"
#include "workers/common/validate/CCheckValidationResult.hpp"
#include "workers/common/patch/CCleanUp.hpp"
#include "workers/common/patch/CPatch.hpp"
#include "workers/common/patch/CSmartPatch.hpp"
#include "workers/game/GPatch.hpp"
#include "workers/game/GStart.hpp"
#include "workers/launcher/LPatch.hpp"
#include "workers/launcher/LRestart.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <typeindex>

namespace hexora {
namespace {
namespace fs = std::filesystem;
using namespace Worker;
using Common::UpdatePackage;

using Callback = void (*)(const std::shared_ptr<WorkerThread>&, const fs::path&, const UpdatePackage&, bool);

struct Side {
    const char* name;
    Callback onValidationResult;
    std::function<std::shared_ptr<WorkerBase>(std::shared_ptr<WorkerThread>, UpdatePackage)> makeWorker;
    std::function<fs::path()> destination;
    std::function<fs::path()> backup;
    std::vector<std::type_index> afterPatch;
    const char* message;
    const char* event;
};

std::vector<Side> sides() {
    return {
        {"LPatch", &Launcher::LPatch::onValidationResult,
         [](std::shared_ptr<WorkerThread> thread, UpdatePackage p) -> std::shared_ptr<WorkerBase> {
             return std::make_shared<Launcher::LPatch>(std::move(thread), p.updateHash, p.updateVersion, p.isFullPatch);
         },
         [] { return bundleRootPath() / "Contents"; }, [] { return applicationSupport() / "Hexora.old.app"; },
         {typeid(Launcher::LRestart)}, "Launcher integrity check failed after download", "Downloaded Launcher"},
        {"GPatch", &Hexora::GPatch::onValidationResult,
         [](std::shared_ptr<WorkerThread> thread, UpdatePackage p) -> std::shared_ptr<WorkerBase> {
             return std::make_shared<Hexora::GPatch>(std::move(thread), p.updateHash, p.updateVersion, p.isFullPatch);
         },
         [] { return storagePath() / "Hexora.app" / "Contents"; }, [] { return tempPath() / "Hexora.old.app"; },
         {typeid(Common::CCleanUp), typeid(Hexora::GStart)}, "Game integrity check failed after download",
         "Downloaded Game"},
    };
}

class ValidationResultTest : public ::testing::Test {
protected:
    ValidationResultTest() { Rum::Api::takePendingRecords(); }
    ~ValidationResultTest() override { Rum::Api::takePendingRecords(); }

    test::TestBundle bundle;
    test::EngineHarness harness;
};

template <class Patch>
void expectPatch(const std::shared_ptr<WorkerBase>& worker, const fs::path& source, const Side& side) {
    const auto patch = std::dynamic_pointer_cast<Patch>(worker);
    ASSERT_TRUE(patch) << side.name;
    EXPECT_EQ(patch->srcPath, source) << side.name;
    EXPECT_EQ(patch->destPath, side.destination()) << side.name;
    EXPECT_EQ(patch->tempPath, side.backup()) << side.name;
}

TEST_F(ValidationResultTest, PassedPackageQueuesItsPatchAndWhatFollows) {
    for (const auto& side : sides()) {
        for (const bool full : {true, false}) {
            const UpdatePackage package{"H", full ? "2.0.2" : "2.0.2_2.0.1", full};
            side.onValidationResult(harness.thread, tempPath(), package, true);
            const auto queued = harness.takeQueued();
            ASSERT_EQ(queued.size(), 1 + side.afterPatch.size()) << side.name;
            const fs::path source = tempPath() / package.updateVersion / "Hexora.app" / "Contents";
            if (full) expectPatch<Common::CPatch>(queued[0], source, side);
            else expectPatch<Common::CSmartPatch>(queued[0], source, side);
            for (std::size_t i = 0; i < side.afterPatch.size(); ++i) {
                EXPECT_EQ(std::type_index(typeid(*queued[i + 1])), side.afterPatch[i]) << side.name;
            }
        }
    }
    EXPECT_TRUE(Rum::Api::takePendingRecords().empty());
}

TEST_F(ValidationResultTest, FailedPackageEndsTheRoadWithTheIntegrityError) {
    for (const auto& side : sides()) {
        const auto error = test::expectLauncherError(
            [&] { side.onValidationResult(harness.thread, tempPath(), {"H", "2.0.2", true}, false); });
        EXPECT_EQ(error.code, LauncherError::Code::Failed) << side.name;
        EXPECT_EQ(error.type, "CCheckValidationResult");
        EXPECT_EQ(error.message, side.message);
        EXPECT_EQ(error.state, LauncherState::Failed_Validation);
        EXPECT_EQ(error.terminateWhenAvailable, false);
        ASSERT_TRUE(error.rum);
        EXPECT_TRUE(test::recordIs(*error.rum, "CCheckValidationResult", side.event, "Failed", "INFO"));
        EXPECT_TRUE(harness.takeQueued().empty()) << side.name;
    }
    EXPECT_TRUE(Rum::Api::takePendingRecords().empty()) << "the record travels in the error";
}

// The result check the worker queues calls back into that worker's
// onValidationResult with its three fields and temp.
TEST_F(ValidationResultTest, TheQueuedResultCheckCallsTheWorkersCallback) {
    for (const auto& side : sides()) {
        side.makeWorker(harness.thread, {"H", "2.0.2_2.0.1", false})->work();
        const auto queued = harness.takeQueued();
        ASSERT_FALSE(queued.empty());
        const auto check = std::dynamic_pointer_cast<Common::CCheckValidationResult>(queued.back());
        ASSERT_TRUE(check && check->completionHandler()) << side.name;

        check->completionHandler()(true);
        const auto next = harness.takeQueued();
        ASSERT_FALSE(next.empty());
        expectPatch<Common::CSmartPatch>(next[0], tempPath() / "2.0.2_2.0.1" / "Hexora.app" / "Contents", side);

        const auto error = test::expectLauncherError([&] { check->completionHandler()(false); });
        EXPECT_EQ(error.message, side.message);
    }
}

}  // namespace
}  // namespace hexora
