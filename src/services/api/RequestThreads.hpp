#pragma once
// The request threads a multi-URL text fetch leaves running when it returns
// (the slower domains): they finish on their own and still report, and at
// process exit every one still running is aborted and joined before the
// process-wide state they use (the request layer, the telemetry batch, the
// device record, the log) goes away.
//
// The process-wide instance is made when the first fetch hands over its
// threads: by then one request of that fetch has run to its end, so every
// piece of state a request touches already exists and outlives the instance.
//
// Thread: adopt() from any thread; the threads run on their own.
#include <atomic>
#include <list>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace hexora {

class RequestThreads {
public:
    /// One request thread: it sets `exited` as its last step and stops its
    /// transfer soon after `abort` is set.
    struct Running {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> abort = std::make_shared<std::atomic<bool>>(false);
        std::shared_ptr<std::atomic<bool>> exited = std::make_shared<std::atomic<bool>>(false);
    };

    RequestThreads() = default;
    /// Aborts every thread still running and waits for all of them.
    ~RequestThreads();
    RequestThreads(const RequestThreads&) = delete;
    RequestThreads& operator=(const RequestThreads&) = delete;

    /// Takes over `running`; threads that have already exited are joined now.
    void adopt(std::vector<Running> running);
    /// The number of threads held and not yet joined.
    std::size_t count();

    /// The process-wide instance (see the header comment).
    static RequestThreads& leftRunning();

private:
    void joinExited();

    std::mutex mutex_;
    std::list<Running> running_;
};

}  // namespace hexora
