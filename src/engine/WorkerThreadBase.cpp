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
        // After the run the window keeps what the run left (a failure).
        if (!runEnded_ && beforeSetting) beforeSetting();
        isTerminateRequested_.store(true);
        lateRequest = isFinished();
    }
    if (lateRequest) submitTermination();
}

bool WorkerThreadBase::endRun() {
    std::lock_guard lock(runEndMutex_);
    isRun_.store(false);
    runEnded_ = true;
    return isTerminateRequested_.load();
}

void WorkerThreadBase::finish() {
    bool terminate = false;
    {
        std::lock_guard lock(runEndMutex_);
        {
            std::lock_guard threadLock(threadMutex_);
            finished_ = true;
        }
        terminate = isTerminateRequested_.load();
    }
    finishedChanged_.notify_all();
    if (terminate) submitTermination();
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
        self->finish();
        self.reset();
    });
    return true;
}

void WorkerThreadBase::join() {
    std::thread ended;
    {
        std::unique_lock lock(threadMutex_);
        finishedChanged_.wait(lock, [this] { return !started_ || finished_; });
        if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) ended = std::move(thread_);
    }
    // Past its end the thread only drops its own hold and returns.
    if (ended.joinable()) ended.join();
}

bool WorkerThreadBase::isActive() const {
    std::lock_guard lock(threadMutex_);
    return started_ && !finished_;
}

bool WorkerThreadBase::isFinished() const {
    std::lock_guard lock(threadMutex_);
    return finished_;
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
    endRun();
}

}  // namespace hexora::Worker
