#include "platform/HeadlessApplication.hpp"

namespace hexora::platform {

HeadlessApplication::HeadlessApplication() : thread_([this] { run(); }) {}

HeadlessApplication::~HeadlessApplication() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void HeadlessApplication::submitToMain(std::function<void()> block) {
    {
        std::lock_guard lock(mutex_);
        blocks_.push_back(std::move(block));
    }
    wake_.notify_one();
}

void HeadlessApplication::terminate() { terminated_ = true; }

void HeadlessApplication::showAlert(const std::string&, std::function<void()> dismissed) {
    if (dismissed) dismissed();
}

void HeadlessApplication::run() {
    for (;;) {
        std::function<void()> block;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || !blocks_.empty(); });
            if (blocks_.empty()) return;
            block = std::move(blocks_.front());
            blocks_.pop_front();
        }
        block();
    }
}

}  // namespace hexora::platform
