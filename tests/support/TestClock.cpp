#include "support/TestClock.hpp"

#include <thread>

namespace hexora::test {

void TestClock::sleepFor(Seconds duration) {
    if (duration.count() <= 0) return;
    sleptMicros_ += static_cast<long long>(duration.count() * 1e6);
    std::this_thread::sleep_for(duration * scale_);
}

void TestClock::sleepForUnlessWoken(Seconds duration, platform::Wakeup& wakeup) {
    if (duration.count() > 0) sleptMicros_ += static_cast<long long>(duration.count() * 1e6);
    wakeup.waitFor(duration * scale_);
}

platform::Clock::TimePoint TestClock::now() { return std::chrono::system_clock::now(); }

}  // namespace hexora::test
