#pragma once
// The end of the process as the threads that outlive their callers see it
// (process waiters, telemetry uploads): such a thread runs its callback
// through the gate, and once the process has begun to end the gate stays
// shut, so no callback starts while the program's static state is torn down.
//
// The end begins with close(): the program calls it before it returns from
// main, the request layer's thread registry calls it before it goes away,
// and an exit handler registered when the gate is first used calls it at the
// latest. close() waits for the callbacks running at that moment.
//
// Thread: any. The gate's own state is never destroyed, so it may be used
// during static destruction.
#include <functional>

namespace hexora::platform {

class ExitGate {
public:
    ExitGate() = delete;

    /// Runs `body` unless the gate is shut and reports whether it ran; the
    /// gate does not shut while `body` runs. `body` must not call close().
    static bool runUnlessClosed(const std::function<void()>& body);
    /// Shuts the gate for good, then waits for the bodies that run now. A
    /// second call returns at once. Must not be called from within a body.
    static void close();
    static bool isClosed();
};

}  // namespace hexora::platform
