#include "workers/launcher/LPatch.hpp"

#include "services/internal/LauncherProduct.hpp"
#include "services/internal/Paths.hpp"
#include "workers/common/patch/PatchRules.hpp"
#include "workers/road/UpdatePipeline.hpp"
#include "workers/launcher/LRestart.hpp"

namespace hexora::Worker::Launcher {

const Common::UpdatePipelineProfile& LPatch::profile() {
    static const Common::UpdatePipelineProfile launcher{
        .workerName = "LPatch",
        .brokenListName = LauncherProduct::BrokenListName,
        .destination = [] { return bundleRootPath() / "Contents"; },
        .backupLocation = [] { return applicationSupport() / Common::BackupBundleName; },
        .ownedFolder = nullptr,
        .startable =
            [] {
                return Common::StartableBundle{std::filesystem::path("MacOS") / "Hexora", LauncherProduct::BundleIdentifier};
            },
        .fileByFileWithoutSwap = true,
        .afterPatch =
            [](const std::shared_ptr<WorkerThread>& thread, const std::filesystem::path&) {
                return Common::UpdatePipelineProfile::Workers{std::make_shared<LRestart>(thread)};
            },
        .integrityMessage = "Launcher integrity check failed after download",
        .downloadedEvent = "Downloaded Launcher",
        .onValidationResult = &LPatch::onValidationResult,
    };
    return launcher;
}

void LPatch::work() {
    Common::UpdatePipeline(*this, profile(), {updateHash, updateVersion, isFullPatch}).work();
}

void LPatch::onValidationResult(const std::shared_ptr<WorkerThread>& thread, const std::filesystem::path& temp,
                                const Common::UpdatePackage& package, bool passed) {
    Common::UpdatePipeline::onValidationResult(thread, profile(), temp, package, passed);
}

}  // namespace hexora::Worker::Launcher
