#pragma once
// The one clock seam of the process: every wait, sleep and "now" of the
// launcher goes through Clock::current(), so tests can shorten waits while the
// production values stay as they are.
//
// Thread: any thread may call current(), sleepFor() and now(). install() is
// meant for process start and for tests (between runs); it is safe while other
// threads read, they see either the old or the new clock.
#include "platform/Wakeup.hpp"

#include <chrono>
#include <memory>

namespace hexora::platform {

class Clock {
public:
    using Seconds = std::chrono::duration<double>;
    using TimePoint = std::chrono::system_clock::time_point;

    virtual ~Clock() = default;
    /// Blocks the calling thread for about `duration` (a fake may shorten it).
    virtual void sleepFor(Seconds duration) = 0;
    /// Like sleepFor(duration), but ends early once `wakeup` is raised
    /// (lowering it). The default ignores the wakeup and sleeps through
    /// sleepFor(duration), so a fake that overrides only that one still sees
    /// every sleep.
    virtual void sleepForUnlessWoken(Seconds duration, Wakeup& wakeup);
    /// The wall-clock time.
    virtual TimePoint now() = 0;

    /// The installed clock; the system clock unless install() replaced it.
    static std::shared_ptr<Clock> current();
    /// Replaces the process clock; nullptr restores the system clock.
    static void install(std::shared_ptr<Clock> clock);
};

/// Real sleeps and the real wall clock.
class SystemClock final : public Clock {
public:
    void sleepFor(Seconds duration) override;
    void sleepForUnlessWoken(Seconds duration, Wakeup& wakeup) override;
    TimePoint now() override;
};

/// Shorthand for Clock::current()->sleepFor(seconds).
void sleepSeconds(double seconds);
/// Shorthand for Clock::current()->sleepForUnlessWoken(seconds, wakeup).
void sleepSecondsUnlessWoken(double seconds, Wakeup& wakeup);

}  // namespace hexora::platform
