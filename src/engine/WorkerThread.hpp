#pragma once
// The launcher's one worker thread: the queue loop of WorkerThreadBase with
// the display, telemetry and logs of a run, its cancellation and its
// termination.
//
// A run ends when the queue is empty, when the run is cancelled (checked
// before each worker) or when a worker throws:
// - Worker::LauncherError: its state is posted to the display, its record
//   queued, terminateWhenAvailable true sets the terminate flag; then logged.
// - Worker::WorkerError: only logged.
// - anything else: logged as unexpected.
// Then the pending telemetry is flushed on this thread (the main thread goes
// on painting), and with the terminate flag set (by the run, or by a
// request while the flush runs) the application is terminated from the main
// queue; otherwise it stays up. A quit once the run has ended does not wait
// for that flush: endLastFlush() makes it give up at once.
//
// Thread: cancel() and requestTerminate() may be called from any thread (the
// shell calls them on the main thread).
#include "engine/UIUpdateManager.hpp"
#include "engine/WorkerThreadBase.hpp"

#include <atomic>
#include <memory>

namespace hexora::Worker {

class WorkerThread : public WorkerThreadBase {
public:
    /// `uiUpdateManager` must not be null.
    explicit WorkerThread(std::shared_ptr<UIUpdateManager> uiUpdateManager);

    const std::shared_ptr<UIUpdateManager>& uiUpdateManager() const { return uiUpdateManager_; }

    /// Cancels the current run (telemetry "cancel"/"Start" first); nothing
    /// before the first run or when already cancelled.
    void cancel() override;
    /// Sets the terminate flag, once, posting ReservedAppTerminating first
    /// while the run has not ended. The application terminates from the
    /// main queue once the thread is done (at once when it is).
    void requestTerminate() override;
    /// The application ends now: the last flush, when it runs or is still to
    /// come, stops waiting and aborts its uploads (within a poll of 0.01 s
    /// and the request layer's abort check). Any thread.
    void endLastFlush() { lastFlushEnded_ = true; }

protected:
    void main() override;
    /// Sends the pending telemetry and waits for it (Rum::Api::flushSync)
    /// unless endLastFlush() says otherwise; called on the worker thread at
    /// the end of main().
    virtual void flushTelemetry();
    bool isLastFlushEnded() const { return lastFlushEnded_; }

private:
    void handleFailure(std::exception_ptr error);

    std::shared_ptr<UIUpdateManager> uiUpdateManager_;
    std::atomic<bool> lastFlushEnded_{false};
};

}  // namespace hexora::Worker
