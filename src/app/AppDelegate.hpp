#pragma once
// The application's delegate: turns the shell's life-cycle calls into the
// Launcher driver's operations, with their log lines.
//
// Every request to quit (the window's close button, SIGINT, SIGTERM, the
// worker thread's own termination) goes through applicationShouldTerminate():
// while the worker thread runs, the quit is deferred (terminate requested,
// run cancelled, the ReservedAppTerminating notice drawn at once, refused
// now) and the thread terminates the application once its run has ended;
// otherwise (before the run, or once it has ended) the application quits at
// once: applicationWillTerminate() makes a last telemetry flush still under
// way give up, so the process ends within a fraction of a second.
//
// Thread: GUI thread only. Qt-free, so it is tested without a window.
#include <functional>
#include <string>
#include <vector>

namespace hexora::app {

class AppDelegate {
public:
    /// `quit` ends the event loop at once (no further questions asked).
    explicit AppDelegate(std::function<void()> quit);

    /// Launching has finished: starts the driver.
    void applicationDidFinishLaunching();
    /// The event loop has ended: stops the driver (its thread is joined).
    void applicationWillTerminate();
    /// True: quit now. False: the quit is deferred (see above).
    bool applicationShouldTerminate();
    /// The launcher was opened with `urls` (absolute texts, in order).
    void applicationOpenUrls(const std::vector<std::string>& urls);

    /// True: closing the window quits the application (the shell gives it
    /// to Qt's quit-on-last-window-closed).
    bool applicationShouldTerminateAfterLastWindowClosed() const { return true; }

    /// Quits when applicationShouldTerminate() allows it.
    void terminate();

private:
    std::function<void()> quit_;
};

}  // namespace hexora::app
