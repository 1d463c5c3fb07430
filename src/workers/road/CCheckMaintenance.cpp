#include "workers/road/CCheckMaintenance.hpp"

#include "engine/LauncherError.hpp"
#include "engine/StateMessages.hpp"
#include "platform/Clock.hpp"
#include "services/api/ApiConfig.hpp"
#include "services/api/ApiDomains.hpp"
#include "services/api/DomainRotation.hpp"
#include "services/file/LoadedSetting.hpp"
#include "services/http/HttpClient.hpp"
#include "services/internal/Dates.hpp"
#include "services/internal/GameProduct.hpp"
#include "services/internal/LauncherProduct.hpp"
#include "services/internal/Log.hpp"
#include "services/internal/Paths.hpp"
#include "services/rum/LogData.hpp"
#include "workers/common/validate/CCheckValidationResult.hpp"
#include "workers/common/validate/CValidation.hpp"
#include "workers/common/maintenance/MaintenanceWindow.hpp"
#include "workers/road/RoadSuccessors.hpp"

namespace hexora::Worker::Common {
namespace fs = std::filesystem;

namespace {

constexpr const char* DateFormat = "yyyy-MM-dd HH:mm:ss";

std::string noticeUrl(std::string base) {
    while (!base.empty() && base.back() == '/') base.pop_back();
    return base + "/config/maintenance.txt";
}

bool isValidUtf8(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto byte = static_cast<unsigned char>(text[i]);
        std::size_t length = byte < 0x80 ? 1 : (byte >> 5) == 0x6 ? 2 : (byte >> 4) == 0xe ? 3 : (byte >> 3) == 0x1e ? 4 : 0;
        if (length == 0 || i + length > text.size()) return false;
        for (std::size_t k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) >> 6) != 0x2) return false;
        }
        i += length;
    }
    return true;
}

[[noreturn]] void failApi(const std::string& event) {
    throw LauncherError::failure("CCheckMaintenance", event, LauncherState::Failed_Api,
                                 Rum::LogData("CCheckMaintenance", event, "Failed", "ERROR"));
}

// Shows the window on the second line of the UnderMaintenance message, then
// ends the road with that state.
[[noreturn]] void failUnderMaintenance(const std::string& which) {
    const auto start = maintenanceStart();
    const auto end = maintenanceEnd();
    StateMessages::underMaintenance()->setAdditionalMessage(
        (start ? formatLocalDate(*start, DateFormat) : std::string()) + " ~ " +
        (end ? formatLocalDate(*end, DateFormat) : std::string()));
    const std::string event = "integrity check failed during maintenance period (" + which + ")";
    throw LauncherError::failure("CCheckValidationResult", event, LauncherState::UnderMaintenance,
                                 Rum::LogData("CCheckMaintenance", event, "Failed", "ERROR"));
}

}  // namespace

CCheckMaintenance::CCheckMaintenance(std::shared_ptr<WorkerThread> workerThread) : Worker(std::move(workerThread)) {}

std::optional<Info> CCheckMaintenance::checkMaintenance() {
    const auto list = ApiDomains::fileList();
    if (!list) return std::nullopt;
    std::optional<Info> notice;
    bool cancelled = false;

    const auto attempt = [&](const std::string& base, std::int64_t) {
        if (cancelled || isCancelled()) {
            cancelled = true;
            return false;
        }
        const std::string url = noticeUrl(base);
        Rum::LogData("CCheckMaintenance", "download", "Start", "INFO").addData("Uri", url).append();

        Http::Options options;
        options.timeoutSec = ApiConfig::Download::timeoutSec.load();
        options.maxDurationTimeouts = Http::WholeReplyTimeouts;
        options.headers = {{"Content-Type", "application/json"}};
        options.shouldAbort = [this] { return isCancelled(); };
        const Http::Result result = Http::get(url, options);
        if (isCancelled()) {
            cancelled = true;
            return false;
        }

        std::string description = result.completed() ? std::string() : result.error;
        std::optional<Info> decoded;
        if (result.completed() && !result.body.empty()) decoded = Info::decode(result.body, &description);
        else if (result.completed()) description = "the reply has no body";
        if (decoded && result.succeeded()) {
            Rum::LogData("CCheckMaintenance", "download", "Succeeded", "INFO").addData("Uri", url).append();
            notice = std::move(decoded);
            return true;
        }
        Rum::LogData record("CCheckMaintenance", "download", "Failed", "ERROR");
        record.addData("Uri", url).addData("ErrorCode", std::to_string(result.status));
        if (!description.empty()) record.addData("ErrorDescription", description);
        if (!result.body.empty() && isValidUtf8(result.body)) record.addData("ResponseBody", result.body);
        record.append();
        Log::error("CCheckMaintenance download failed : " + url + " (" + std::to_string(result.status) + ") " +
                   description);
        return false;
    };
    rotateOverDomains(*list, attempt, [](std::int64_t index) { storeCdnDsaIndex(index); });
    if (cancelled) return std::nullopt;
    return notice;
}

void CCheckMaintenance::work() {
    const std::optional<Info> notice = checkMaintenance();
    if (isCancelled()) return;
    if (!notice) failApi("failed to get maintenance info");

    setMaintenanceStart(parseDate(notice->start_dt, DateFormat, "UTC"));
    setMaintenanceEnd(parseDate(notice->end_dt, DateFormat, "UTC"));
    const auto start = maintenanceStart();
    const auto end = maintenanceEnd();
    const Date now = platform::Clock::current()->now();
    if (!start || !end || now < *start || *end < now) failApi("no maintenance period");

    const fs::path storage = storagePath();
    const auto thread = workerThread();
    const fs::path brokenList = storage / LauncherProduct::BrokenListName;
    enqueue(std::make_shared<CValidation>(thread, (storage / LauncherProduct::SchemeName).string(), bundleRootPath(),
                                          brokenList));
    enqueue(std::make_shared<CCheckValidationResult>(
        thread, brokenList,
        [thread, storage](bool passed) { onLauncherValidationResult(thread, storage, passed); }));
    Log::info("now maintenance period from " + notice->start_dt + " to " + notice->end_dt);
}

void CCheckMaintenance::onLauncherValidationResult(const std::shared_ptr<WorkerThread>& thread, const fs::path& storage,
                                                   bool passed) {
    if (!passed) failUnderMaintenance("launcher");
    const fs::path brokenList = storage / GameProduct::BrokenListName;
    thread->workers().append(std::make_shared<CValidation>(thread, (storage / GameProduct::SchemeName).string(),
                                                           GameProduct::bundlePath(), brokenList));
    thread->workers().append(std::make_shared<CCheckValidationResult>(
        thread, brokenList, [thread](bool gamePassed) { onGameValidationResult(thread, gamePassed); }));
}

void CCheckMaintenance::onGameValidationResult(const std::shared_ptr<WorkerThread>& thread, bool passed) {
    if (!passed) failUnderMaintenance("game");
    thread->workers().append(RoadSuccessors::gameStart(thread));
}

}  // namespace hexora::Worker::Common
