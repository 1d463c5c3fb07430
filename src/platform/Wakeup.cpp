#include "platform/Wakeup.hpp"

namespace hexora::platform {

void Wakeup::raise() {
    {
        std::lock_guard lock(mutex_);
        raised_ = true;
    }
    raisedChanged_.notify_all();
}

void Wakeup::waitFor(std::chrono::duration<double> duration) {
    std::unique_lock lock(mutex_);
    if (duration.count() > 0) raisedChanged_.wait_for(lock, duration, [&] { return raised_; });
    raised_ = false;
}

}  // namespace hexora::platform
