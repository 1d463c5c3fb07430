#pragma once
// A clock for tests: sleeps are scaled down (by default to 1/100 of their
// length, so a production 0.01 s poll becomes 0.1 ms) and counted.
// ScopedTestClock installs one for the life of a test and puts the clock
// before it back afterwards.
#include "platform/Clock.hpp"
#include "support/ScopedLayer.hpp"

#include <atomic>
#include <memory>

namespace hexora::test {

class TestClock final : public platform::Clock {
public:
    explicit TestClock(double scale = 0.01) : scale_(scale) {}
    void sleepFor(Seconds duration) override;
    void sleepForUnlessWoken(Seconds duration, platform::Wakeup& wakeup) override;
    TimePoint now() override;
    /// Total of the requested (unscaled) sleeps, in seconds.
    double sleptSeconds() const { return sleptMicros_.load() / 1e6; }

private:
    double scale_;
    std::atomic<long long> sleptMicros_{0};
};

/// ScopedTestClock clock{scale} installs TestClock(scale).
using ScopedTestClock = ScopedLayer<platform::Clock, TestClock>;

}  // namespace hexora::test
