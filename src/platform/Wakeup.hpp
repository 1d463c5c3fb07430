#pragma once
// A signal that ends one thread's sleep early: another thread raises it, and
// a sleep through Clock::sleepForUnlessWoken(duration, wakeup) then returns at once
// instead of at the end of its duration. A raise while nobody sleeps is
// kept for the next sleep, which it ends and which lowers it again.
//
// Thread: raise() from any thread; one thread at a time sleeps on it.
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace hexora::platform {

class Wakeup {
public:
    void raise();
    /// Blocks for `duration` of real time or until raised, whichever comes
    /// first; lowers the signal.
    void waitFor(std::chrono::duration<double> duration);

private:
    std::mutex mutex_;
    std::condition_variable raisedChanged_;
    bool raised_ = false;
};

}  // namespace hexora::platform
