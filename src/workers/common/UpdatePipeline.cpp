#include "workers/common/UpdatePipeline.hpp"

#include "engine/LauncherError.hpp"
#include "services/internal/Log.hpp"
#include "services/internal/Path.hpp"
#include "services/internal/Paths.hpp"
#include "services/rum/LogData.hpp"
#include "workers/common/CCheckValidationResult.hpp"
#include "workers/common/CDownload.hpp"
#include "workers/common/CPatch.hpp"
#include "workers/common/CSmartPatch.hpp"
#include "workers/common/CUnzip.hpp"
#include "workers/common/CValidation.hpp"

namespace hexora::Worker::Common {
namespace fs = std::filesystem;

UpdatePipeline::UpdatePipeline(const Worker& worker, const UpdatePipelineProfile& profile, Package package)
    : worker_(worker), profile_(profile), package_(std::move(package)) {}

bool UpdatePipeline::isPlainName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find_first_of("/\\") == std::string::npos &&
           name.find('\0') == std::string::npos;
}

void UpdatePipeline::work() const {
    const std::string& version = package_.updateVersion;
    if (!isPlainName(version)) {
        Rum::LogData record(profile_.workerName, "invalid package name", "Failed", "ERROR");
        record.addData("updateVersion", version);
        throw LauncherError(LauncherError::Code::Failed, profile_.workerName, "invalid package name: " + version)
            .withState(LauncherState::Failed_Api_Unavailable_Version)
            .withRum(record)
            .withTerminateWhenAvailable(false);
    }
    const fs::path temp = tempPath();
    try {
        Path::clear(temp);
    } catch (const std::exception& error) {
        Log::warning(profile_.workerName + ": cannot clear temp : " + error.what());
    }

    const auto thread = worker_.workerThread();
    const fs::path unpacked = temp / version;
    const fs::path brokenList = temp / profile_.brokenListName;
    worker_.enqueue(std::make_shared<CDownload>(thread, std::vector<std::string>{package_.updateHash},
                                                std::vector<std::string>{version + ".zip"}, temp.string()));
    worker_.enqueue(std::make_shared<CUnzip>(thread, std::vector<std::string>{unpacked.string() + ".zip"},
                                             std::vector<std::string>{temp.string()}));
    worker_.enqueue(std::make_shared<CValidation>(thread, (unpacked / "scheme.json").string(), unpacked / "Hexora.app",
                                                  brokenList, !package_.isFullPatch));
    const UpdatePipelineProfile& profile = profile_;
    const Package package = package_;
    worker_.enqueue(std::make_shared<CCheckValidationResult>(thread, brokenList, [thread, &profile, temp, package](bool passed) {
        onValidationResult(thread, profile, temp, package, passed);
    }));
}

void UpdatePipeline::onValidationResult(const std::shared_ptr<WorkerThread>& thread,
                                        const UpdatePipelineProfile& profile, const fs::path& temp,
                                        const Package& package, bool passed) {
    if (!passed) {
        Rum::LogData record("CCheckValidationResult", profile.downloadedEvent, "Failed", "INFO");
        throw LauncherError(LauncherError::Code::Failed, "CCheckValidationResult", profile.integrityMessage)
            .withState(LauncherState::Failed_Validation)
            .withRum(record)
            .withTerminateWhenAvailable(false);
    }
    const fs::path source = temp / package.updateVersion / "Hexora.app" / "Contents";
    const fs::path owned = profile.ownedFolder ? profile.ownedFolder() : fs::path();
    if (package.isFullPatch)
        thread->workers().append(
            std::make_shared<CPatch>(thread, source, profile.destination(), profile.backupLocation(), owned));
    else
        thread->workers().append(
            std::make_shared<CSmartPatch>(thread, source, profile.destination(), profile.backupLocation(), owned));
    for (auto& next : profile.afterPatch(thread, temp)) thread->workers().append(std::move(next));
}

}  // namespace hexora::Worker::Common
