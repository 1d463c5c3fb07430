#include "QuitSignals.hpp"

#include <cerrno>
#include <cmath>
#include <ctime>

namespace hexora::tools {

QuitSignals::QuitSignals() {
    sigemptyset(&signals_);
    sigaddset(&signals_, SIGTERM);
    sigaddset(&signals_, SIGINT);
    sigprocmask(SIG_BLOCK, &signals_, nullptr);
}

std::string QuitSignals::wait(std::optional<double> limitSeconds) const {
    for (;;) {
        int signal = 0;
        if (!limitSeconds) {
            if (sigwait(&signals_, &signal) == 0) return "signal " + std::to_string(signal);
            continue;
        }
        timespec timeout{};
        timeout.tv_sec = static_cast<time_t>(*limitSeconds);
        timeout.tv_nsec = static_cast<long>((*limitSeconds - std::floor(*limitSeconds)) * 1e9);
        signal = sigtimedwait(&signals_, nullptr, &timeout);
        if (signal > 0) return "signal " + std::to_string(signal);
        if (errno == EAGAIN) return "time";
        // EINTR: another signal arrived; the remaining time is not tracked
        // closely, which is good enough for a stand-in.
    }
}

}  // namespace hexora::tools
