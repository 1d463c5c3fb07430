#include "engine/Worker.hpp"

#include "platform/Clock.hpp"
#include "platform/Wakeup.hpp"

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

void Worker::sleepUnlessCancelled(double seconds) const {
    // The cancel raises the wakeup; a callback left behind after the sleep
    // finds it gone.
    auto wakeup = std::make_shared<platform::Wakeup>();
    const auto source = thread_->cancellationTokenSource();
    const auto raise = [weak = std::weak_ptr<platform::Wakeup>(wakeup)] {
        if (const auto held = weak.lock()) held->raise();
    };
    if (source && !source->registerCallback(raise)) return;  // cancelled already
    platform::sleepSecondsUnlessWoken(seconds, *wakeup);
}

}  // namespace hexora::Worker
