#include "workers/common/CCheckValidationResult.hpp"

#include <system_error>

namespace hexora::Worker::Common {
namespace fs = std::filesystem;

CCheckValidationResult::CCheckValidationResult(std::shared_ptr<WorkerThread> workerThread, fs::path path,
                                               CompletionHandler completionHandler)
    : Worker(std::move(workerThread), std::move(completionHandler)), brokenListPath(std::move(path)) {}

void CCheckValidationResult::work() {
    if (!completionHandler()) return;
    std::error_code ignored;
    const bool listExists = fs::symlink_status(brokenListPath, ignored).type() != fs::file_type::not_found;
    callCompletionHandler(!listExists);
}

}  // namespace hexora::Worker::Common
