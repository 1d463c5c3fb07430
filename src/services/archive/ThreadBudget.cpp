#include "services/archive/ThreadBudget.hpp"

#include <algorithm>
#include <chrono>

namespace hexora::Archive {

ThreadBudget::ThreadBudget(std::size_t limit) : limit_(std::max<std::size_t>(1, limit)) {}

bool ThreadBudget::acquire(const std::function<bool()>& cancelled) {
    std::unique_lock lock(mutex_);
    while (used_ >= limit_) {
        if (cancelled && cancelled()) return false;
        freed_.wait_for(lock, std::chrono::milliseconds(10));
    }
    ++used_;
    return true;
}

bool ThreadBudget::tryAcquire() {
    std::lock_guard lock(mutex_);
    if (used_ >= limit_) return false;
    ++used_;
    return true;
}

void ThreadBudget::release() {
    {
        std::lock_guard lock(mutex_);
        if (used_ > 0) --used_;
    }
    freed_.notify_one();
}

}  // namespace hexora::Archive
