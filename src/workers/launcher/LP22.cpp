#include "workers/launcher/LP22.hpp"

#include "services/internal/InstalledVersions.hpp"
#include "services/internal/LauncherProduct.hpp"
#include "services/internal/Paths.hpp"
#include "workers/road/RoadSuccessors.hpp"
#include "workers/road/UpdateInfoDecision.hpp"
#include "workers/launcher/LPatch.hpp"
#include "workers/launcher/SelfRestart.hpp"

namespace hexora::Worker::Launcher {

const Common::UpdateInfoProfile& LP22::profile() {
    static const Common::UpdateInfoProfile launcher{
        .platform = LauncherProduct::UpdatePlatform,
        .workType = "LP22.work",
        .schemeArchiveName = LauncherProduct::SchemeArchiveName,
        .schemeName = LauncherProduct::SchemeName,
        .brokenListName = LauncherProduct::BrokenListName,
        .installedEvent = "Installed Launcher",
        .installedVersion = [] { return launcherVersion(); },
        .validatedFolder = [] { return bundleRootPath(); },
        .makeUpdateWorker =
            [](const std::shared_ptr<WorkerThread>& thread, const std::string& hash, const std::string& version,
               bool isFullPatch) { return std::make_shared<LPatch>(thread, hash, version, isFullPatch); },
        .afterPassedValidation =
            [](const std::shared_ptr<WorkerThread>& thread, const std::vector<std::filesystem::path>&) {
                return Common::UpdateInfoProfile::Workers{Common::RoadSuccessors::gameCheck(thread)};
            },
        .updatedThisStart = [] { return SelfRestart::previousLauncher().has_value(); },
        .onValidationResult = &LP22::onValidationResult,
    };
    return launcher;
}

void LP22::work() {
    const Common::UpdateInfoDecision decision(*this, profile());
    decision.work([this](const std::string& version, std::int64_t attempts,
                         std::optional<ApiConf::UpdateInfo::Response>& reply) {
        return requestUpdateInfo(version, attempts, reply);
    });
}

bool LP22::requestUpdateInfo(const std::string& version, std::int64_t attempts,
                             std::optional<ApiConf::UpdateInfo::Response>& reply) {
    return Common::UpdateInfoDecision(*this, profile()).requestUpdateInfo(version, attempts, reply);
}

void LP22::onValidationResult(const std::shared_ptr<WorkerThread>& thread, const std::filesystem::path& temp,
                              const std::string& installedVersion, const ApiConf::UpdateInfo::Response& reply,
                              bool passed) {
    Common::UpdateInfoDecision::onValidationResult(thread, profile(), temp, installedVersion, reply, passed);
}

}  // namespace hexora::Worker::Launcher
