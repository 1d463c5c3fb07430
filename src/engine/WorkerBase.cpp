#include "engine/WorkerBase.hpp"

#include <algorithm>
#include <thread>

namespace hexora::Worker {

WorkerBase::WorkerBase(std::shared_ptr<WorkerThreadBase> workerThread, CompletionHandler completionHandler)
    : workerThread_(std::move(workerThread)),
      coreCount_(std::max<std::int64_t>(1, std::thread::hardware_concurrency())),
      completionHandler_(std::move(completionHandler)) {}

void WorkerBase::work() { callCompletionHandler(true); }

void WorkerBase::run() {
    try {
        work();
    } catch (...) {
        if (failureCleanUp_) failureCleanUp_();
        throw;
    }
}

void WorkerBase::setFailureCleanUp(std::function<void()> cleanUp) { failureCleanUp_ = std::move(cleanUp); }

void WorkerBase::callCompletionHandler(bool succeeded) const {
    if (completionHandler_) completionHandler_(succeeded);
}

}  // namespace hexora::Worker
