#include "support/FakeApplication.hpp"

#include <chrono>

namespace hexora::test {

void FakeApplication::submitToMain(std::function<void()> block) {
    {
        std::lock_guard lock(mutex_);
        blocks_.push_back(std::move(block));
    }
    submitted_.notify_all();
}

void FakeApplication::terminate() {
    std::function<void()> hook;
    {
        std::lock_guard lock(mutex_);
        ++terminateCount_;
        hook = onTerminate_;
    }
    if (hook) hook();
}

int FakeApplication::runMainQueue() {
    int ran = 0;
    for (;;) {
        std::function<void()> block;
        {
            std::lock_guard lock(mutex_);
            if (blocks_.empty()) return ran;
            block = std::move(blocks_.front());
            blocks_.pop_front();
        }
        block();
        ++ran;
    }
}

int FakeApplication::pendingBlocks() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(blocks_.size());
}

bool FakeApplication::waitForBlock(double seconds) {
    std::unique_lock lock(mutex_);
    return submitted_.wait_for(lock, std::chrono::duration<double>(seconds), [this] { return !blocks_.empty(); });
}

int FakeApplication::terminateCount() const {
    std::lock_guard lock(mutex_);
    return terminateCount_;
}

void FakeApplication::setOnTerminate(std::function<void()> hook) {
    std::lock_guard lock(mutex_);
    onTerminate_ = std::move(hook);
}

void FakeApplication::showAlert(const std::string& message, std::function<void()> dismissed) {
    std::lock_guard lock(mutex_);
    alerts_.push_back(message);
    openAlerts_.push_back(std::move(dismissed));
}

std::vector<std::string> FakeApplication::alerts() const {
    std::lock_guard lock(mutex_);
    return alerts_;
}

bool FakeApplication::dismissAlert() {
    std::function<void()> dismissed;
    {
        std::lock_guard lock(mutex_);
        if (openAlerts_.empty()) return false;
        dismissed = std::move(openAlerts_.front());
        openAlerts_.pop_front();
    }
    if (dismissed) dismissed();
    return true;
}

}  // namespace hexora::test
