#pragma once
// The base of every worker: one step of the road, run by a worker thread.
//
// Thread: work() runs on the worker thread only, one worker at a time.
// Ownership: a worker holds its thread (std::shared_ptr); the thread's queue
// holds the worker until it is taken to run.
#include <cstdint>
#include <functional>
#include <memory>

namespace hexora::Worker {

class WorkerThreadBase;

class WorkerBase {
public:
    /// Told whether the step succeeded; may throw, which fails the worker.
    using CompletionHandler = std::function<void(bool)>;

    WorkerBase(std::shared_ptr<WorkerThreadBase> workerThread, CompletionHandler completionHandler = nullptr);
    virtual ~WorkerBase() = default;
    WorkerBase(const WorkerBase&) = delete;
    WorkerBase& operator=(const WorkerBase&) = delete;

    /// Does the step; throws to end the run. The base calls the completion
    /// handler with true when there is one.
    virtual void work();

    /// What the worker thread calls: work(), and when it throws, the failure
    /// clean-up (if one was set) before the failure goes on unchanged.
    void run();
    /// Set by the worker's creator before it is queued: what to take away
    /// when the step fails (for an update step, the package in temp). Must
    /// not throw; it runs on the worker thread.
    void setFailureCleanUp(std::function<void()> cleanUp);

    const std::shared_ptr<WorkerThreadBase>& workerThread() const { return workerThread_; }
    /// The machine's processor count at construction (at least 1); the
    /// thread count of the multi-file workers.
    std::int64_t coreCount() const { return coreCount_; }
    const CompletionHandler& completionHandler() const { return completionHandler_; }

protected:
    /// Calls the completion handler with `succeeded` when there is one.
    void callCompletionHandler(bool succeeded) const;

private:
    std::shared_ptr<WorkerThreadBase> workerThread_;
    std::int64_t coreCount_;
    CompletionHandler completionHandler_;
    std::function<void()> failureCleanUp_;
};

}  // namespace hexora::Worker
