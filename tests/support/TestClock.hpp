#pragma once
// A clock for tests: sleeps are scaled down (by default to 1/100 of their
// length, so a production 0.01 s poll becomes 0.1 ms; 0 does not sleep at
// all) and counted. A test may stop the wall clock at one moment (standStill)
// and give a hook that runs at the start of every sleep (onSleep), e.g. to
// hold the first one or to make something happen during a wait.
// ScopedTestClock installs one for the life of a test and puts the clock
// before it back afterwards.
//
// Thread: set the moment and the hook before anything uses the clock; the
// clock is then used from any thread, and the hook runs on the sleeping one.
#include "platform/Clock.hpp"
#include "support/ScopedLayer.hpp"

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

namespace hexora::test {

class TestClock final : public platform::Clock {
public:
    /// Given the number of sleeps before this one (0 for the first).
    using SleepHook = std::function<void(int sleepsBefore)>;

    explicit TestClock(double scale = 0.01) : scale_(scale) {}
    void sleepFor(Seconds duration) override;
    void sleepForUnlessWoken(Seconds duration, platform::Wakeup& wakeup) override;
    /// The wall clock, or the moment given to standStill().
    TimePoint now() override;
    /// Total of the requested (unscaled) sleeps, in seconds.
    double sleptSeconds() const { return sleptMicros_.load() / 1e6; }

    /// now() returns `at` from here on.
    void standStill(TimePoint at) { stillAt_ = at; }
    /// Runs `hook` at the start of every later sleep, before it is counted.
    void onSleep(SleepHook hook) { hook_ = std::move(hook); }

private:
    void begin(Seconds duration);

    double scale_;
    std::atomic<long long> sleptMicros_{0};
    std::atomic<int> sleeps_{0};
    std::optional<TimePoint> stillAt_;
    SleepHook hook_;
};

/// ScopedTestClock clock{scale} installs TestClock(scale).
using ScopedTestClock = ScopedLayer<platform::Clock, TestClock>;

}  // namespace hexora::test
