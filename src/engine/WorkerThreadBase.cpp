#include "engine/WorkerThreadBase.hpp"

#include "engine/WorkerBase.hpp"
#include "platform/Application.hpp"

namespace hexora::Worker {

WorkerThreadBase::WorkerThreadBase() = default;

WorkerThreadBase::~WorkerThreadBase() {
    if (!thread_.joinable()) return;
    // The last owner may be the worker thread itself, dropping its own hold
    // after main() returned: it cannot join itself.
    if (thread_.get_id() == std::this_thread::get_id())
        thread_.detach();
    else
        thread_.join();
}

std::shared_ptr<CancellationTokenSource> WorkerThreadBase::cancellationTokenSource() const {
    std::lock_guard lock(sourceMutex_);
    return cancellationTokenSource_;
}

bool WorkerThreadBase::isCancelled() const {
    auto source = cancellationTokenSource();
    return source && source->isCancelled();
}

void WorkerThreadBase::cancel() {}

void WorkerThreadBase::requestTerminate() { requestTerminateWith({}); }

void WorkerThreadBase::markTerminateRequested() {
    std::lock_guard lock(runEndMutex_);
    isTerminateRequested_.store(true);
}

void WorkerThreadBase::requestTerminateWith(const std::function<void()>& beforeSetting) {
    bool lateRequest = false;
    {
        std::lock_guard lock(runEndMutex_);
        if (isTerminateRequested_.load()) return;
        if (beforeSetting) beforeSetting();
        isTerminateRequested_.store(true);
        lateRequest = runEnded_;
    }
    if (lateRequest) submitTermination();
}

bool WorkerThreadBase::endRun() {
    std::lock_guard lock(runEndMutex_);
    isRun_.store(false);
    runEnded_ = true;
    return isTerminateRequested_.load();
}

void WorkerThreadBase::submitTermination() {
    auto application = platform::Application::current();
    application->submitToMain([application] { application->terminate(); });
}

bool WorkerThreadBase::start() {
    std::lock_guard lock(threadMutex_);
    if (started_) return false;
    started_ = true;
    // Running, with the run's source, from here on: a quit right after the
    // start is deferred and its cancel reaches the run.
    isRun_.store(true);
    {
        std::lock_guard sourceLock(sourceMutex_);
        cancellationTokenSource_ = std::make_shared<CancellationTokenSource>();
    }
    thread_ = std::thread([self = shared_from_this()]() mutable {
        self->main();
        self->markFinished();
        self.reset();
    });
    return true;
}

void WorkerThreadBase::join() {
    std::unique_lock lock(threadMutex_);
    finishedChanged_.wait(lock, [this] { return !started_ || finished_; });
}

bool WorkerThreadBase::isFinished() const {
    std::lock_guard lock(threadMutex_);
    return finished_;
}

void WorkerThreadBase::markFinished() {
    {
        std::lock_guard lock(threadMutex_);
        finished_ = true;
    }
    finishedChanged_.notify_all();
}

void WorkerThreadBase::runWorkers(const std::function<void(std::exception_ptr)>& onFailure) {
    std::shared_ptr<CancellationTokenSource> source;
    {
        std::lock_guard lock(sourceMutex_);
        if (!cancellationTokenSource_) cancellationTokenSource_ = std::make_shared<CancellationTokenSource>();
        source = cancellationTokenSource_;
    }
    while (!source->isCancelled()) {
        auto worker = workers_.takeFirst();
        if (!worker) break;
        try {
            (*worker)->run();
        } catch (...) {
            onFailure(std::current_exception());
            break;
        }
    }
}

void WorkerThreadBase::main() {
    setIsRun(true);
    runWorkers([](std::exception_ptr) {});
    if (endRun()) submitTermination();
}

}  // namespace hexora::Worker
