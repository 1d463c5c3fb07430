#include "workers/common/download/CLoadSchemes.hpp"

#include "services/api/DomainRotation.hpp"
#include "services/api/ApiDomains.hpp"
#include "services/file/LoadedSetting.hpp"
#include "services/file/Schemes.hpp"
#include "services/internal/Paths.hpp"
#include "services/rum/LogData.hpp"
#include "workers/common/download/FileFetch.hpp"

#include <filesystem>
#include <system_error>

namespace hexora::Worker::Common {
namespace fs = std::filesystem;

CLoadSchemes::CLoadSchemes(std::shared_ptr<WorkerThread> workerThread, std::string hashKeyIn,
                           std::string sourceNameIn, std::string destFileNameIn)
    : Worker(std::move(workerThread)),
      hashKey(std::move(hashKeyIn)),
      sourceName(std::move(sourceNameIn)),
      destFileName(std::move(destFileNameIn)) {}

bool CLoadSchemes::attempt(const std::string& base) const {
    const std::string url = joinUrl(joinUrl(joinUrl(base, ApiDomains::CdnPath::Update), hashKey), sourceName);

    Rum::LogData("CLoadSchemes", "download", "Start", "INFO").addData("Uri", url).append();
    FileFetchCallbacks callbacks;
    callbacks.shouldAbort = [this] { return isCancelled(); };
    const FileFetchResult result =
        fetchFile(url, (storagePath() / destFileName).string(), callbacks, Schemes::MaxArchiveBytes);
    if (result.succeeded) {
        Rum::LogData("CLoadSchemes", "download", "Succeeded", "INFO").addData("Uri", url).append();
        return true;
    }
    Rum::LogData record("CLoadSchemes", "download", "Failed", "INFO");
    record.addData("Uri", url);
    if (result.status != 0) record.addData("ErrorCode", std::to_string(result.status));
    if (!result.error.empty()) record.addData("ErrorDescription", result.error);
    record.append();
    return false;
}

void CLoadSchemes::work() {
    const auto list = ApiDomains::fileList();
    if (!list) return;
    // A cancelled run stops the transfer in flight and asks no other domain.
    const RotationOutcome outcome = rotateOverDomains(
        *list, [this](const std::string& base, std::int64_t) { return !isCancelled() && attempt(base); },
        [](std::int64_t index) { storeCdnDsaIndex(index); });
    if (outcome.succeeded || outcome.attemptsSent == 0 || isCancelled()) return;
    std::error_code ignored;
    fs::remove_all(storagePath() / destFileName, ignored);
}

}  // namespace hexora::Worker::Common
