#include "workers/common/validate/CCheckValidationResult.hpp"

#include "platform/FileOps.hpp"

namespace hexora::Worker::Common {
namespace fs = std::filesystem;

CCheckValidationResult::CCheckValidationResult(std::shared_ptr<WorkerThread> workerThread, fs::path path,
                                               CompletionHandler completionHandler)
    : Worker(std::move(workerThread), std::move(completionHandler)), brokenListPath(std::move(path)) {}

void CCheckValidationResult::work() {
    if (!completionHandler()) return;
    callCompletionHandler(!FileOps::itemExists(brokenListPath));
}

}  // namespace hexora::Worker::Common
