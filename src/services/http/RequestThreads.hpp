#pragma once
// The request threads nobody waits for: those a multi-URL text fetch leaves
// running when it returns (the slower domains) and the telemetry uploads.
// They finish on their own and still report, and at process exit every one
// still running is aborted and joined before the process-wide state they use
// (the request layer, the telemetry batch, the device record, the log) goes
// away.
//
// The process-wide instance is made after the request layer's own state, and
// at the earliest when a fetch hands over its threads or an upload starts: by
// then every piece of state a request touches already exists and outlives
// the instance.
//
// Thread: adopt() and run() from any thread; the threads run on their own.
#include <atomic>
#include <functional>
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
    /// Runs `body` on a new thread held here; the body stops its transfer
    /// soon after `abort` is set. False, with `body` not run, once the
    /// instance is going away (the process exits).
    bool run(std::shared_ptr<std::atomic<bool>> abort, std::function<void()> body);
    /// The number of threads held and not yet joined.
    std::size_t count();

    /// The process-wide instance (see the header comment). Before it goes
    /// away it shuts the process's platform::ExitGate.
    static RequestThreads& leftRunning();

private:
    void joinExited();

    std::mutex mutex_;
    std::list<Running> running_;
    bool exiting_ = false;
};

}  // namespace hexora
