#pragma once
// The driver of the worker engine: runs the installed product set-up (the
// process-wide domain lists and telemetry stream), owns the one worker thread
// and queues the first worker of the road. The application shell calls it:
//   setup()           when the main window is shown (creates the thread, not started)
//   handleOpenUrls()  when the launcher was opened with URLs (queues the hand-off)
//   start()           when launching has finished (queues the boot checks, starts the thread)
//   requestTerminate() when the user quits while the thread runs
//   stop()            when the event loop has ended (before the program returns)
// The driver does not enforce that order: a start or a hand-off before the
// set-up is logged and ignored.
//
// Thread: shared() may be called from any thread (the instance is made once).
// The operations are meant for the main thread; they are serialised, so a
// test calling them from elsewhere is safe as well.
#include "engine/LauncherFirstWorkers.hpp"
#include "engine/UIUpdateManager.hpp"
#include "engine/WorkerThread.hpp"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace hexora {

class Launcher {
public:
    /// The process-wide driver.
    static Launcher& shared();

    /// Installs how the first workers are made (the program does this once at
    /// start, before start() or handleOpenUrls()).
    void setFirstWorkers(LauncherFirstWorkers firstWorkers);

    /// Runs the installed product set-up (the program's rebuilds the API and
    /// file domain lists and sets the telemetry stream name); then creates
    /// the worker thread for `uiUpdateManager` (not started) and queues the
    /// "setup"/"Start" record, or, when a thread exists already, keeps it and
    /// queues "setup"/"Failed".
    /// `uiUpdateManager` must not be null.
    void setup(std::shared_ptr<UIUpdateManager> uiUpdateManager);

    /// Starts the run: without a thread or with one already running only logs;
    /// with a hand-off already queued only starts the thread; otherwise queues
    /// the boot worker and starts the thread.
    void start();

    /// Posts ReservedAppTerminating and sets the thread's terminate flag, once;
    /// nothing without a thread.
    void requestTerminate();

    /// The application ends: cancels the run while it runs, makes the last
    /// telemetry flush give up (WorkerThread::endLastFlush) and waits until
    /// the worker thread has ended; nothing without a thread or before its
    /// start. Not from the worker thread.
    void stop();

    /// Queues the "openUrls" record, then, when a thread exists and is not
    /// running, queues the hand-off worker with `urls` (absolute texts, in
    /// order) and sets the opened-URL flag. Otherwise the URLs are dropped.
    void handleOpenUrls(const std::vector<std::string>& urls);

    /// The worker thread; null before setup().
    std::shared_ptr<Worker::WorkerThread> workerThread() const;

    /// The text of the "openUrls" record: each URL followed by a line feed.
    static std::string openUrlsMessage(const std::vector<std::string>& urls);

    /// Tests: forgets the thread (a running one goes on until its run ends),
    /// the first-worker factories and the opened-URL flag.
    static void resetForTesting();

private:
    Launcher() = default;

    mutable std::mutex mutex_;
    std::shared_ptr<Worker::WorkerThread> workerThread_;
    LauncherFirstWorkers firstWorkers_;
};

}  // namespace hexora
