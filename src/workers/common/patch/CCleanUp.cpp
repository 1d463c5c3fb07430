#include "workers/common/patch/CCleanUp.hpp"

#include "platform/FileOps.hpp"
#include "services/internal/Log.hpp"
#include "services/rum/LogData.hpp"

#include <system_error>

namespace hexora::Worker::Common {
namespace fs = std::filesystem;

CCleanUp::CCleanUp(std::shared_ptr<WorkerThread> workerThread, std::vector<fs::path> pathsIn,
                   CompletionHandler completionHandler)
    : Worker(std::move(workerThread), std::move(completionHandler)), paths(std::move(pathsIn)) {}

void CCleanUp::work() {
    bool failed = false;
    for (const fs::path& path : paths) {
        if (!FileOps::itemExists(path)) continue;
        std::error_code error;
        fs::remove_all(path, error);
        if (!error) continue;
        failed = true;
        Log::error("CCleanUp.worker failed : " + path.string());
        Rum::LogData("CCleanUp", "delete", "Failed", "ERROR")
            .addData("path", path.string())
            .addData("ErrorDescription", error.message())
            .append();
    }
    if (!failed) Rum::LogData("CCleanUp", "delete", "Succeeded", "INFO").append();
    callCompletionHandler(!failed);
}

}  // namespace hexora::Worker::Common
