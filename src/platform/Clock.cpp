#include "platform/Clock.hpp"

#include "platform/LayerSlot.hpp"

#include <thread>

namespace hexora::platform {
namespace {
using Slot = LayerSlot<Clock, SystemClock>;
}  // namespace

std::shared_ptr<Clock> Clock::current() { return Slot::current(); }

void Clock::install(std::shared_ptr<Clock> clock) { Slot::install(std::move(clock)); }

void Clock::sleepForUnlessWoken(Seconds duration, Wakeup&) { sleepFor(duration); }

void SystemClock::sleepFor(Seconds duration) {
    if (duration.count() > 0) std::this_thread::sleep_for(duration);
}

void SystemClock::sleepForUnlessWoken(Seconds duration, Wakeup& wakeup) { wakeup.waitFor(duration); }

Clock::TimePoint SystemClock::now() { return std::chrono::system_clock::now(); }

void sleepSeconds(double seconds) { Clock::current()->sleepFor(Clock::Seconds(seconds)); }

void sleepSecondsUnlessWoken(double seconds, Wakeup& wakeup) {
    Clock::current()->sleepForUnlessWoken(Clock::Seconds(seconds), wakeup);
}

}  // namespace hexora::platform
