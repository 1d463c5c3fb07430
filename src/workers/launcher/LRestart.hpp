#pragma once
// The last step of the launcher's self-update: starts the new launcher from
// the bundle (bundleRootPath()/"Contents/MacOS/Hexora", patched in place by
// the steps before, so the new executable is there before this process
// quits) with this process's id as its one argument and the folder that
// holds the bundle as its working folder, then asks the worker thread to
// terminate the application when its queue has ended.
//
// work() on the worker thread; never throws:
// - posts ReservedAppTerminating and records "restart"/"Start";
// - start failed: records "failed"/"Failed"/"ERROR" with "ErrorCode" (the
//   start's result), no pause;
// - started: pauses 1.0 s (clock seam), activates the process it started, by
//   its id (never the first launcher found by bundle identifier, which may be
//   this very process), hides the window when that process was found, and
//   records "succeeded"/"Succeeded";
// - then flushes telemetry without waiting and requests termination, also
//   after a failed start.
// The child's exit is logged from its waiter thread.
#include "engine/Worker.hpp"

namespace hexora::Worker::Launcher {

class LRestart : public Worker {
public:
    static constexpr double ActivationDelaySeconds = 1.0;

    using Worker::Worker;

    void work() override;
};

}  // namespace hexora::Worker::Launcher
