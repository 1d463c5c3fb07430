#pragma once
// The repeating timer that drives the UIUpdateManager on the main thread.
// The Qt shell implements it with a QTimer; tests fire ticks by hand.
//
// Thread: main thread only; `onTick` is called on the main thread.
#include <functional>

namespace hexora {

class IDisplayTimer {
public:
    virtual ~IDisplayTimer() = default;
    /// Schedules `onTick` every `intervalSeconds` until stop(); reports false
    /// when no timer could be scheduled. Called only while stopped.
    virtual bool start(double intervalSeconds, std::function<void()> onTick) = 0;
    /// Cancels the timer; `onTick` is not called afterwards.
    virtual void stop() = 0;
};

}  // namespace hexora
