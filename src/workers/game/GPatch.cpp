#include "workers/game/GPatch.hpp"

#include "services/internal/GameProduct.hpp"
#include "services/internal/Paths.hpp"
#include "workers/common/patch/CCleanUp.hpp"
#include "workers/common/patch/PatchRules.hpp"
#include "workers/road/UpdatePipeline.hpp"
#include "workers/game/GStart.hpp"

namespace hexora::Worker::Hexora {

const Common::UpdatePipelineProfile& GPatch::profile() {
    static const Common::UpdatePipelineProfile game{
        .workerName = "GPatch",
        .brokenListName = GameProduct::BrokenListName,
        .destination = [] { return GameProduct::bundlePath() / "Contents"; },
        .backupLocation = [] { return tempPath() / Common::BackupBundleName; },
        .ownedFolder = [] { return storagePath(); },
        .startable =
            [] {
                const auto contents = GameProduct::bundlePath() / "Contents";
                return Common::StartableBundle{GameProduct::executablePath().lexically_relative(contents),
                                               GameProduct::BundleIdentifier};
            },
        .fileByFileWithoutSwap = false,
        .afterPatch =
            [](const std::shared_ptr<WorkerThread>& thread, const std::filesystem::path& temp) {
                return Common::UpdatePipelineProfile::Workers{
                    std::make_shared<Common::CCleanUp>(thread, std::vector<std::filesystem::path>{temp}),
                    std::make_shared<GStart>(thread)};
            },
        .integrityMessage = "Game integrity check failed after download",
        .downloadedEvent = "Downloaded Game",
        .onValidationResult = &GPatch::onValidationResult,
    };
    return game;
}

void GPatch::work() {
    Common::UpdatePipeline(*this, profile(), {updateHash, updateVersion, isFullPatch}).work();
}

void GPatch::onValidationResult(const std::shared_ptr<WorkerThread>& thread, const std::filesystem::path& temp,
                                const Common::UpdatePackage& package, bool passed) {
    Common::UpdatePipeline::onValidationResult(thread, profile(), temp, package, passed);
}

}  // namespace hexora::Worker::Hexora
