#pragma once
// The launcher program around its event loop: the application object, the
// delegate, the main window, the platform seams the engine uses (main queue,
// termination, alerts, screens), SIGINT/SIGTERM, the opened URLs of the
// command line, then the event loop. The driver's first workers must be
// installed before (workers/FirstWorkers.hpp).
//
// Start-up order: the window loads and appears (the driver is set up), the
// command line's URLs are handed over, then the driver starts. At the end the
// driver's worker thread is joined and the process's ExitGate shut before
// this returns.
//
// Thread: the process's main thread; returns the event loop's exit code.
namespace hexora::app {

int runLauncherApp(int argc, char** argv);

}  // namespace hexora::app
