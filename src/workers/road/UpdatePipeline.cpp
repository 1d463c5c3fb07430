#include "workers/road/UpdatePipeline.hpp"

#include "engine/LauncherError.hpp"
#include "platform/FileOps.hpp"
#include "services/internal/Log.hpp"
#include "services/internal/Path.hpp"
#include "services/internal/Paths.hpp"
#include "services/rum/LogData.hpp"
#include "workers/common/download/CDownload.hpp"
#include "workers/common/patch/CPatch.hpp"
#include "workers/common/patch/CSmartPatch.hpp"
#include "workers/common/unpack/CUnzip.hpp"
#include "workers/common/validate/CCheckValidationResult.hpp"
#include "workers/common/validate/CValidation.hpp"

namespace hexora::Worker::Common {
namespace fs = std::filesystem;

UpdatePipeline::UpdatePipeline(const Worker& worker, const UpdatePipelineProfile& profile, Package package)
    : worker_(worker), profile_(profile), package_(std::move(package)) {}

bool UpdatePipeline::isPlainName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find_first_of("/\\") == std::string::npos &&
           name.find('\0') == std::string::npos;
}

void UpdatePipeline::requirePlainHash(const std::string& workerName, const std::string& hash) {
    if (isPlainName(hash)) return;
    Rum::LogData record(workerName, "invalid package hash", "Failed", "ERROR");
    record.addData("updateHash", hash);
    throw LauncherError::failure(workerName, "invalid package hash: " + hash,
                                 LauncherState::Failed_Api_Unavailable_Version, record);
}

void UpdatePipeline::work() const {
    const std::string& version = package_.updateVersion;
    if (!isPlainName(version)) {
        Rum::LogData record(profile_.workerName, "invalid package name", "Failed", "ERROR");
        record.addData("updateVersion", version);
        throw LauncherError::failure(profile_.workerName, "invalid package name: " + version,
                                     LauncherState::Failed_Api_Unavailable_Version, record);
    }
    requirePlainHash(profile_.workerName, package_.updateHash);
    const fs::path temp = tempPath();
    try {
        Path::clear(temp);
    } catch (const std::exception& error) {
        Log::warning(profile_.workerName + ": cannot clear temp : " + error.what());
    }

    const auto thread = worker_.workerThread();
    const fs::path unpacked = temp / version;
    const fs::path brokenList = temp / profile_.brokenListName;
    const UpdatePipelineProfile& profile = profile_;
    const Package package = package_;
    const auto queue = [&](std::shared_ptr<WorkerBase> step) {
        step->setFailureCleanUp(packageCleanUp(profile, temp));
        worker_.enqueue(std::move(step));
    };
    queue(std::make_shared<CDownload>(thread, std::vector<std::string>{package_.updateHash},
                                      std::vector<std::string>{version + ".zip"}, temp.string()));
    queue(std::make_shared<CUnzip>(thread, std::vector<std::string>{unpacked.string() + ".zip"},
                                   std::vector<std::string>{temp.string()}));
    queue(std::make_shared<CValidation>(thread, (unpacked / "scheme.json").string(), unpacked / "Hexora.app",
                                        brokenList, !package_.isFullPatch));
    queue(std::make_shared<CCheckValidationResult>(thread, brokenList, [thread, &profile, temp, package](bool passed) {
        profile.onValidationResult(thread, temp, package, passed);
    }));
}

std::function<void()> UpdatePipeline::packageCleanUp(const UpdatePipelineProfile& profile, const fs::path& temp) {
    const fs::path backup = profile.backupLocation();
    return [temp, backup] {
        // The backup of the installed bundle may lie in temp: a patch that
        // could not put it back leaves the only whole copy there.
        if (!FileOps::isFolder(temp)) return;
        std::error_code error;
        for (fs::directory_iterator it(temp, error), end; !error && it != end; it.increment(error)) {
            if (it->path() == backup) continue;
            std::error_code ignored;
            fs::remove_all(it->path(), ignored);
        }
        Log::info("UpdatePipeline: the package was removed from temp after a failed step");
    };
}

void UpdatePipeline::onValidationResult(const std::shared_ptr<WorkerThread>& thread,
                                        const UpdatePipelineProfile& profile, const fs::path& temp,
                                        const Package& package, bool passed) {
    if (!passed) {
        throw LauncherError::failure("CCheckValidationResult", profile.integrityMessage, LauncherState::Failed_Validation,
                                     Rum::LogData("CCheckValidationResult", profile.downloadedEvent, "Failed", "INFO"));
    }
    const fs::path source = temp / package.updateVersion / "Hexora.app" / "Contents";
    PatchRules rules;
    if (profile.ownedFolder) rules.ownedPath = profile.ownedFolder();
    if (profile.startable) rules.startable = profile.startable();
    rules.fileByFileWithoutSwap = profile.fileByFileWithoutSwap;
    std::shared_ptr<WorkerBase> patch;
    if (package.isFullPatch)
        patch = std::make_shared<CPatch>(thread, source, profile.destination(), profile.backupLocation(), rules);
    else
        patch = std::make_shared<CSmartPatch>(thread, source, profile.destination(), profile.backupLocation(), rules);
    patch->setFailureCleanUp(packageCleanUp(profile, temp));
    thread->workers().append(std::move(patch));
    for (auto& next : profile.afterPatch(thread, temp)) thread->workers().append(std::move(next));
}

}  // namespace hexora::Worker::Common
