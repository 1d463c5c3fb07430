#include "support/Eventually.hpp"

#include <thread>

namespace hexora::test {

bool eventually(const std::function<bool()>& condition, std::chrono::milliseconds limit,
                std::chrono::milliseconds pause) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        const bool last = std::chrono::steady_clock::now() >= deadline;
        if (condition()) return true;
        if (last) return false;
        std::this_thread::sleep_for(pause);
    }
}

bool eventually(const std::function<bool()>& condition, double seconds) {
    return eventually(condition,
                      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::duration<double>(seconds)));
}

}  // namespace hexora::test
