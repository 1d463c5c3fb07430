#include "workers/road/UpdateInfoDecision.hpp"

#include "engine/LauncherError.hpp"
#include "services/api/ApiConfig.hpp"
#include "services/api/ApiDomains.hpp"
#include "services/api/DomainRotation.hpp"
#include "services/api/UpdateInfoRequest.hpp"
#include "services/file/LoadedSetting.hpp"
#include "services/internal/Log.hpp"
#include "services/internal/Path.hpp"
#include "services/internal/Paths.hpp"
#include "services/internal/Versions.hpp"
#include "services/rum/LogData.hpp"
#include "services/rum/RumApi.hpp"
#include "workers/road/CCheckMaintenance.hpp"
#include "workers/common/validate/CCheckValidationResult.hpp"
#include "workers/common/patch/CCleanUp.hpp"
#include "workers/common/unpack/CGunzip.hpp"
#include "workers/common/download/CLoadSchemes.hpp"
#include "workers/common/validate/CValidation.hpp"
#include "workers/road/UpdatePipeline.hpp"

namespace hexora::Worker::Common {
namespace fs = std::filesystem;

namespace {

constexpr const char* SchemeSourceName = "scheme.json.gz";

bool hasText(const std::optional<std::string>& text) { return text && !text->empty(); }

bool updatedThisStart(const UpdateInfoProfile& profile) {
    return profile.updatedThisStart && profile.updatedThisStart();
}

// The second-request rule: a reply whose v_check is not above the version
// asked about is not used as it is.
bool mustAskAgain(const UpdateInfoDecision::Response& reply, const std::string& version) {
    if (!hasText(reply.v_check) || !isVersionString(*reply.v_check)) return false;
    return compareVersion(*reply.v_check, version) != -1;
}

}  // namespace

UpdateInfoDecision::UpdateInfoDecision(const Worker& worker, const UpdateInfoProfile& profile)
    : worker_(worker), profile_(profile) {}

bool UpdateInfoDecision::requestUpdateInfo(const std::string& version, std::int64_t attempts,
                                           std::optional<Response>& reply) const {
    worker_.post(UIUpdateEvent::stateChange(LauncherState::ApiRequest));
    const ApiConf::UpdateInfo::Request request(version, profile_.platform);
    reply.reset();
    if (attempts < 1) return false;

    const double timeoutSec = ApiConfig::Common::webTimeoutSec.load();
    // A cancelled run stops the request in flight and sends no other.
    const auto cancelled = [this] { return worker_.isCancelled(); };
    auto list = ApiDomains::apiList();
    if (!list) list = std::make_shared<ApiDomainArray>(std::vector<std::string>{});
    rotateOverDomains(
        *list, attempts,
        [&](const std::string& url, std::int64_t) {
            return !cancelled() && request.post(url, timeoutSec, reply, cancelled);
        },
        [](std::int64_t index) { storeApiDsaIndex(index); });
    if (!reply) return false;

    if (!mustAskAgain(*reply, version)) return true;
    if (!reply->v_check_url2) {
        Log::info(profile_.workType + ": v_check " + *reply->v_check + " without v_check_url2, reply not used");
        return false;
    }
    const std::string secondUrl = *reply->v_check_url2;
    if (cancelled()) return false;
    return request.post(secondUrl, timeoutSec, reply, cancelled);
}

void UpdateInfoDecision::work(const Request& request) const {
    const std::string installed = profile_.installedVersion();
    const auto list = ApiDomains::apiList();
    const std::int64_t attempts = list ? rotationAttempts(*list) : 0;

    std::optional<Response> reply;
    const bool answered = request(installed, attempts, reply);
    Rum::Api::flushAsync();
    if (worker_.isCancelled()) return;
    if (!answered || !reply) {
        worker_.enqueue(std::make_shared<CCheckMaintenance>(worker_.workerThread()));
        return;
    }

    if (const auto setting = loadedSetting()) setting->write();
    try {
        Path::clear(tempPath());
    } catch (const std::exception& error) {
        Log::warning(profile_.workType + ": cannot clear temp : " + error.what());
    }
    decide(installed, *reply);
}

void UpdateInfoDecision::decide(const std::string& installed, const Response& reply) const {
    if (hasText(reply.hash)) UpdatePipeline::requirePlainHash(profile_.workType, *reply.hash);
    const bool newVersion = hasText(reply.version) && *reply.version != installed;
    if (newVersion) {
        const auto& thread = worker_.workerThread();
        if (updatedThisStart(profile_)) return declineUpdate(installed, reply);
        if (!hasText(reply.hash)) failUnavailable(profile_, installed);
        if (hasText(reply.file) && reply.file->find('_') != std::string::npos)
            worker_.enqueue(profile_.makeUpdateWorker(thread, *reply.hash, *reply.file, false));
        else
            worker_.enqueue(profile_.makeUpdateWorker(thread, *reply.hash, *reply.version, true));
        return;
    }
    if (!hasText(reply.hash)) failUnavailable(profile_, installed);
    queueRepair(reply, installed);
}

void UpdateInfoDecision::declineUpdate(const std::string& installed, const Response& reply) const {
    Log::warning(profile_.workType + ": offered " + *reply.version + " again after an update to " + installed +
                 " in this start; going on without updating");
    Rum::LogData record(profile_.workType, "new version again after an update", "Exception", "WARNING");
    record.addData("AnnouncedVersion", *reply.version);
    record.addData("InstalledVersion", installed);
    record.append();
    for (auto& next : profile_.afterPassedValidation(worker_.workerThread(), {})) worker_.enqueue(std::move(next));
}

void UpdateInfoDecision::queueRepair(const Response& reply, const std::string& installed) const {
    const fs::path storage = storagePath();
    const fs::path archive = storage / profile_.schemeArchiveName;
    const fs::path scheme = storage / profile_.schemeName;
    const fs::path brokenList = storage / profile_.brokenListName;
    const auto thread = worker_.workerThread();
    const UpdateInfoProfile& profile = profile_;
    const fs::path temp = tempPath();

    worker_.enqueue(std::make_shared<CLoadSchemes>(thread, *reply.hash, SchemeSourceName, profile.schemeArchiveName));
    worker_.enqueue(std::make_shared<CGunzip>(thread, std::vector<std::string>{archive.string()},
                                              std::vector<std::string>{scheme.string()}));
    worker_.enqueue(std::make_shared<CValidation>(thread, scheme.string(), profile.validatedFolder(), brokenList));
    worker_.enqueue(std::make_shared<CCheckValidationResult>(
        thread, brokenList, [thread, &profile, temp, installed, reply](bool passed) {
            profile.onValidationResult(thread, temp, installed, reply, passed);
        }));
}

void UpdateInfoDecision::onValidationResult(const std::shared_ptr<WorkerThread>& thread,
                                            const UpdateInfoProfile& profile, const fs::path& temp,
                                            const std::string& installed, const Response& reply, bool passed) {
    const fs::path storage = storagePath();
    const std::vector<fs::path> cleanUpPaths = {temp, storage / profile.schemeArchiveName,
                                                storage / profile.brokenListName};
    thread->workers().append(std::make_shared<CCleanUp>(thread, cleanUpPaths));
    if (passed) {
        for (auto& next : profile.afterPassedValidation(thread, cleanUpPaths)) thread->workers().append(std::move(next));
        return;
    }
    Rum::LogData("CCheckValidationResult", profile.installedEvent, "Failed", "INFO").append();
    if (updatedThisStart(profile)) failRepairAgain(profile);
    // A failed repair needs the version to name the full package.
    if (!hasText(reply.version) || !hasText(reply.hash)) failUnavailable(profile, installed);
    thread->workers().append(profile.makeUpdateWorker(thread, *reply.hash, *reply.version, true));
}

void UpdateInfoDecision::failRepairAgain(const UpdateInfoProfile& profile) {
    throw LauncherError::failure(profile.workType, "validation failed again after a self-update: no further update",
                                 LauncherState::Failed_Validation);
}

void UpdateInfoDecision::failUnavailable(const UpdateInfoProfile& profile, const std::string& installed) {
    const std::string event = "unavailable version " + installed;
    throw LauncherError::failure(profile.workType, event + " from P22: no version or hash",
                                 LauncherState::Failed_Api_Unavailable_Version,
                                 Rum::LogData(profile.workType, event, "Failed", "ERROR"));
}

}  // namespace hexora::Worker::Common
