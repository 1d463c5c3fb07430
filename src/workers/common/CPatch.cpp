#include "workers/common/CPatch.hpp"

#include "services/internal/FileMove.hpp"
#include "services/rum/LogData.hpp"
#include "workers/common/PatchSteps.hpp"

namespace hexora::Worker::Common {
namespace fs = std::filesystem;

CPatch::CPatch(std::shared_ptr<WorkerThread> workerThread, fs::path src, fs::path dest, fs::path temp)
    : Worker(std::move(workerThread)), srcPath(std::move(src)), destPath(std::move(dest)), tempPath(std::move(temp)) {}

void CPatch::work() {
    PatchSteps::requireSource("CPatch", srcPath);
    try {
        if (PatchSteps::itemExists(tempPath)) fs::remove_all(tempPath);
        if (PatchSteps::itemExists(destPath)) {
            fs::create_directories(tempPath.parent_path());
            FileMove::moveItem(destPath, tempPath);
        } else {
            fs::create_directories(destPath.parent_path());
        }
        FileMove::moveItem(srcPath, destPath);
    } catch (const std::exception&) {
        const std::exception_ptr error = std::current_exception();
        PatchSteps::restore(destPath, tempPath, false);
        PatchSteps::failToReplace("CPatch", error);
    }
    Rum::LogData("CPatch", "completed", "Succeeded", "INFO").append();
    std::error_code ignored;
    fs::remove_all(tempPath, ignored);
}

}  // namespace hexora::Worker::Common
