#pragma once
// The application used when no shell is installed: main-queue blocks run in
// order on one private thread; terminate() only records the request.
// Thread: any. The private thread is joined when the object is destroyed,
// after the blocks already submitted have run.
#include "platform/Application.hpp"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace hexora::platform {

class HeadlessApplication final : public Application {
public:
    HeadlessApplication();
    ~HeadlessApplication() override;
    void submitToMain(std::function<void()> block) override;
    void terminate() override;
    /// No one can read it: dismissed at once.
    void showAlert(const std::string& message, std::function<void()> dismissed) override;
    bool terminateRequested() const { return terminated_.load(); }

private:
    void run();
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> blocks_;
    bool stopping_ = false;
    std::atomic<bool> terminated_{false};
    std::thread thread_;
};

}  // namespace hexora::platform
