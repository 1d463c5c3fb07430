#include "platform/Clock.hpp"

#include <mutex>
#include <thread>

namespace hexora::platform {
namespace {
std::mutex& slotMutex() {
    static std::mutex mutex;
    return mutex;
}
std::shared_ptr<Clock>& slot() {
    static std::shared_ptr<Clock> clock = std::make_shared<SystemClock>();
    return clock;
}
}  // namespace

std::shared_ptr<Clock> Clock::current() {
    std::lock_guard lock(slotMutex());
    return slot();
}

void Clock::install(std::shared_ptr<Clock> clock) {
    if (!clock) clock = std::make_shared<SystemClock>();
    std::lock_guard lock(slotMutex());
    slot().swap(clock);
}

void SystemClock::sleepFor(Seconds duration) {
    if (duration.count() > 0) std::this_thread::sleep_for(duration);
}

Clock::TimePoint SystemClock::now() { return std::chrono::system_clock::now(); }

void sleepSeconds(double seconds) { Clock::current()->sleepFor(Clock::Seconds(seconds)); }

}  // namespace hexora::platform
