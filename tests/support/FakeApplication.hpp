#pragma once
// An application for tests: main-queue blocks are recorded and run only when
// the test calls runMainQueue(), on the test's thread; terminate() is counted;
// alerts are kept until the test dismisses them.
// ScopedFakeApplication installs one for the life of a test.
#include "platform/Application.hpp"
#include "support/ScopedLayer.hpp"

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace hexora::test {

class FakeApplication final : public platform::Application {
public:
    void submitToMain(std::function<void()> block) override;
    void terminate() override;
    void showAlert(const std::string& message, std::function<void()> dismissed) override;

    /// Runs the blocks submitted so far (and those they submit), in order; returns how many ran.
    int runMainQueue();
    /// Blocks submitted and not yet run.
    int pendingBlocks() const;
    /// Waits up to `seconds` of real time for a block to be pending.
    bool waitForBlock(double seconds = 5.0);
    int terminateCount() const;
    /// Called inside terminate(), e.g. to see what had happened before it.
    void setOnTerminate(std::function<void()> hook);
    /// The messages of every alert shown so far, in order.
    std::vector<std::string> alerts() const;
    /// Closes the oldest open alert (its dismissal runs on the caller's
    /// thread); false when none is open.
    bool dismissAlert();

private:
    mutable std::mutex mutex_;
    std::condition_variable submitted_;
    std::deque<std::function<void()>> blocks_;
    int terminateCount_ = 0;
    std::function<void()> onTerminate_;
    std::vector<std::string> alerts_;
    std::deque<std::function<void()>> openAlerts_;
};

using ScopedFakeApplication = ScopedLayer<platform::Application, FakeApplication>;

}  // namespace hexora::test
