#pragma once
// The thread that runs the launcher's road: a first-in-first-out queue of
// workers taken one at a time on one long-lived std::thread. A worker's
// work() either returns (having appended the workers that come next) or
// throws, which ends the run: the workers still queued are never run.
//
// Thread: workers() takes appends from any thread; isRun(),
// isTerminateRequested() and cancellationTokenSource() may be read from any
// thread. start() is called once (by the driver, on the main thread).
// Ownership: held by std::shared_ptr (create it with std::make_shared); a
// queued or running worker holds its thread, and the running thread holds
// itself until main() has returned. The program joins the thread before it
// returns from main (join()), so the thread never outlives it.
#include "engine/CancellationTokenSource.hpp"
#include "engine/ThreadSafeArray.hpp"

#include <atomic>
#include <condition_variable>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace hexora::Worker {

class WorkerBase;

class WorkerThreadBase : public std::enable_shared_from_this<WorkerThreadBase> {
public:
    WorkerThreadBase();
    virtual ~WorkerThreadBase();
    WorkerThreadBase(const WorkerThreadBase&) = delete;
    WorkerThreadBase& operator=(const WorkerThreadBase&) = delete;

    /// The queue of workers still to run; never replaced.
    ThreadSafeArray<std::shared_ptr<WorkerBase>>& workers() { return workers_; }

    /// True from start() until the loop of main() has ended.
    bool isRun() const { return isRun_.load(); }
    /// Once true, true for ever.
    bool isTerminateRequested() const { return isTerminateRequested_.load(); }
    /// The source of the run, fresh at start(); null before the start.
    std::shared_ptr<CancellationTokenSource> cancellationTokenSource() const;
    /// True when the current run has been cancelled (false before any run).
    bool isCancelled() const;

    /// Asks the current run to stop; the base does nothing.
    virtual void cancel();
    /// Asks the application to terminate once the thread is done (its run
    /// and the end of it). A request that comes after main() has returned
    /// terminates the application from the main queue at once.
    virtual void requestTerminate();

    /// Starts main() on a new thread; false (and nothing happens) when the
    /// thread was started before.
    bool start();
    /// Blocks until main() has returned, then joins the thread (the first
    /// caller does; the thread has only its own hold to drop by then);
    /// returns at once when never started. Must not be called from the
    /// worker thread itself.
    void join();
    /// True once main() has returned.
    bool isFinished() const;
    /// True from start() until main() has returned: the run (isRun()), then
    /// the end of the run (the last telemetry flush).
    bool isActive() const;

protected:
    /// The thread's body. The base runs the queue without display events,
    /// telemetry or logs. After it has returned, the application's terminate
    /// is submitted to the main queue when termination was requested (by the
    /// run or while main() was still running).
    virtual void main();

    /// Runs workers until the run's source (made fresh by start()) is
    /// cancelled, the queue is empty or a worker throws; a throw is passed to
    /// `onFailure` (on this thread) and ends the loop.
    void runWorkers(const std::function<void(std::exception_ptr)>& onFailure);

    void setIsRun(bool value) { isRun_.store(value); }
    /// Sets the terminate flag (during the run: the run's end will see it).
    void markTerminateRequested();
    /// Sets the terminate flag unless it is set, running `beforeSetting`
    /// first while the run has not ended (after it, the window keeps what
    /// the run left); atomic with respect to endRun(). When main() had
    /// returned already, calls submitTermination().
    void requestTerminateWith(const std::function<void()>& beforeSetting);
    /// Ends the run: isRun becomes false; reports whether termination was
    /// requested by then. A later request is seen when main() returns.
    bool endRun();
    /// Submits the application's termination to the main queue.
    virtual void submitTermination();

private:
    /// After main(): isFinished becomes true; submits the termination when
    /// it was requested (atomically with respect to requestTerminateWith).
    void finish();

    ThreadSafeArray<std::shared_ptr<WorkerBase>> workers_;
    std::atomic<bool> isRun_{false};
    std::atomic<bool> isTerminateRequested_{false};

    std::mutex runEndMutex_;
    bool runEnded_ = false;

    mutable std::mutex sourceMutex_;
    std::shared_ptr<CancellationTokenSource> cancellationTokenSource_;

    mutable std::mutex threadMutex_;
    std::condition_variable finishedChanged_;
    bool started_ = false;
    bool finished_ = false;
    std::thread thread_;
};

}  // namespace hexora::Worker
