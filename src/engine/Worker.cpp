#include "engine/Worker.hpp"

#include <stdexcept>

namespace hexora::Worker {
namespace {
std::shared_ptr<WorkerThread> required(std::shared_ptr<WorkerThread> thread) {
    if (!thread) throw std::invalid_argument("a worker needs a WorkerThread");
    return thread;
}
}  // namespace

Worker::Worker(std::shared_ptr<WorkerThread> workerThread, CompletionHandler completionHandler)
    : WorkerBase(required(workerThread), std::move(completionHandler)),
      thread_(std::move(workerThread)),
      uiUpdateManager_(thread_->uiUpdateManager()) {}

void Worker::post(UIUpdateEvent event) const { uiUpdateManager_->queue().append(event); }

void Worker::enqueue(std::shared_ptr<WorkerBase> worker) const { thread_->workers().append(std::move(worker)); }

bool Worker::isCancelled() const { return thread_->isCancelled(); }

}  // namespace hexora::Worker
