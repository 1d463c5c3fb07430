#include "support/TestClock.hpp"

#include <thread>

namespace hexora::test {

void TestClock::begin(Seconds duration) {
    const int before = sleeps_.fetch_add(1);
    if (hook_) hook_(before);
    if (duration.count() > 0) sleptMicros_ += static_cast<long long>(duration.count() * 1e6);
}

void TestClock::sleepFor(Seconds duration) {
    begin(duration);
    if (duration.count() > 0 && scale_ > 0) std::this_thread::sleep_for(duration * scale_);
}

void TestClock::sleepForUnlessWoken(Seconds duration, platform::Wakeup& wakeup) {
    begin(duration);
    wakeup.waitFor(duration * scale_);
}

platform::Clock::TimePoint TestClock::now() { return stillAt_ ? *stillAt_ : std::chrono::system_clock::now(); }

}  // namespace hexora::test
