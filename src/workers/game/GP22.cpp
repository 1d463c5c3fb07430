#include "workers/game/GP22.hpp"

#include "services/internal/GameProduct.hpp"
#include "services/internal/InstalledVersions.hpp"
#include "workers/common/patch/CCleanUp.hpp"
#include "workers/road/UpdateInfoDecision.hpp"
#include "workers/game/GPatch.hpp"
#include "workers/game/GStart.hpp"

namespace hexora::Worker::Hexora {

const Common::UpdateInfoProfile& GP22::profile() {
    static const Common::UpdateInfoProfile game{
        .platform = GameProduct::UpdatePlatform,
        .workType = "GP22.work",
        .schemeArchiveName = GameProduct::SchemeArchiveName,
        .schemeName = GameProduct::SchemeName,
        .brokenListName = GameProduct::BrokenListName,
        .installedEvent = "Installed Game",
        .installedVersion = [] { return gameVersion(); },
        .validatedFolder = [] { return GameProduct::bundlePath(); },
        .makeUpdateWorker =
            [](const std::shared_ptr<WorkerThread>& thread, const std::string& hash, const std::string& version,
               bool isFullPatch) { return std::make_shared<GPatch>(thread, hash, version, isFullPatch); },
        .afterPassedValidation =
            [](const std::shared_ptr<WorkerThread>& thread, const std::vector<std::filesystem::path>& cleanUpPaths) {
                return Common::UpdateInfoProfile::Workers{std::make_shared<Common::CCleanUp>(thread, cleanUpPaths),
                                                          std::make_shared<GStart>(thread)};
            },
        .updatedThisStart = {},
        .onValidationResult = &GP22::onValidationResult,
    };
    return game;
}

void GP22::work() {
    const Common::UpdateInfoDecision decision(*this, profile());
    decision.work([this](const std::string& version, std::int64_t attempts,
                         std::optional<ApiConf::UpdateInfo::Response>& reply) {
        return requestUpdateInfo(version, attempts, reply);
    });
}

bool GP22::requestUpdateInfo(const std::string& version, std::int64_t attempts,
                             std::optional<ApiConf::UpdateInfo::Response>& reply) {
    return Common::UpdateInfoDecision(*this, profile()).requestUpdateInfo(version, attempts, reply);
}

void GP22::onValidationResult(const std::shared_ptr<WorkerThread>& thread, const std::filesystem::path& temp,
                              const std::string& installedVersion, const ApiConf::UpdateInfo::Response& reply,
                              bool passed) {
    Common::UpdateInfoDecision::onValidationResult(thread, profile(), temp, installedVersion, reply, passed);
}

}  // namespace hexora::Worker::Hexora
