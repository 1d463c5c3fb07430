#include "e2e/Wait.hpp"

#include "platform/Clock.hpp"

namespace hexora::e2e {

bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        if (condition()) return true;
        if (std::chrono::steady_clock::now() >= deadline) return condition();
        platform::sleepSeconds(0.02);
    }
}

}  // namespace hexora::e2e
