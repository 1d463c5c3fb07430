#pragma once
// The base of every concrete worker: a WorkerBase run by the launcher's
// WorkerThread, posting display events to that thread's UIUpdateManager.
//
//   class CExample : public Worker::Worker {
//   public:
//       CExample(std::shared_ptr<WorkerThread> thread, Settings settings, CompletionHandler done = nullptr)
//           : Worker(std::move(thread), std::move(done)), settings_(std::move(settings)) {}
//       void work() override;
//   };
//
// Thread: as WorkerBase; post() and enqueue() may be called from any thread.
#include "engine/UIUpdateEvent.hpp"
#include "engine/UIUpdateManager.hpp"
#include "engine/WorkerBase.hpp"
#include "engine/WorkerThread.hpp"

#include <memory>

namespace hexora::Worker {

class Worker : public WorkerBase {
public:
    // Inside a class derived from Worker, the name "Worker" means this class;
    // the alias keeps "Worker::WorkerThread" naming the thread type there too.
    using WorkerThread = hexora::Worker::WorkerThread;

    /// `workerThread` must not be null.
    explicit Worker(std::shared_ptr<WorkerThread> workerThread, CompletionHandler completionHandler = nullptr);

    const std::shared_ptr<WorkerThread>& workerThread() const { return thread_; }
    const std::shared_ptr<UIUpdateManager>& uiUpdateManager() const { return uiUpdateManager_; }

    /// Appends `event` to the display queue.
    void post(UIUpdateEvent event) const;
    /// Appends `worker` to the thread's queue, behind every worker queued before.
    void enqueue(std::shared_ptr<WorkerBase> worker) const;
    /// True when the current run has been cancelled.
    bool isCancelled() const;
    /// Sleeps `seconds` through the clock seam as one sleep, ending at once
    /// when the run is cancelled (also when it was before the call). Worker
    /// thread.
    void sleepUnlessCancelled(double seconds) const;

private:
    std::shared_ptr<WorkerThread> thread_;
    std::shared_ptr<UIUpdateManager> uiUpdateManager_;
};

}  // namespace hexora::Worker
