#include "services/http/RequestThreads.hpp"

#include "platform/ExitGate.hpp"
#include "services/http/CurlSession.hpp"
#include "services/http/TrustedCertificates.hpp"

namespace hexora {

RequestThreads::~RequestThreads() {
    std::list<Running> running;
    {
        std::lock_guard lock(mutex_);
        exiting_ = true;
        running.swap(running_);
    }
    for (auto& entry : running) *entry.abort = true;
    for (auto& entry : running) {
        if (entry.thread.joinable()) entry.thread.join();
    }
}

void RequestThreads::adopt(std::vector<Running> running) {
    std::lock_guard lock(mutex_);
    joinExited();
    for (auto& entry : running) {
        if (entry.thread.joinable()) running_.push_back(std::move(entry));
    }
}

bool RequestThreads::run(std::shared_ptr<std::atomic<bool>> abort, std::function<void()> body) {
    std::lock_guard lock(mutex_);
    joinExited();
    if (exiting_) return false;
    Running entry;
    entry.abort = std::move(abort);
    entry.thread = std::thread([body = std::move(body), exited = entry.exited] {
        body();
        *exited = true;
    });
    running_.push_back(std::move(entry));
    return true;
}

std::size_t RequestThreads::count() {
    std::lock_guard lock(mutex_);
    joinExited();
    return running_.size();
}

void RequestThreads::joinExited() {
    for (auto it = running_.begin(); it != running_.end();) {
        if (*it->exited) {
            it->thread.join();
            it = running_.erase(it);
        } else {
            ++it;
        }
    }
}

RequestThreads& RequestThreads::leftRunning() {
    static RequestThreads& instance = []() -> RequestThreads& {
        (void)Http::CurlSession::share();
        (void)Http::TrustedCertificates::extraCaFile();
        // The process ends: nothing that goes through the gate may start a
        // request from here on, then the threads are aborted and joined.
        struct ProcessWide {
            ~ProcessWide() { platform::ExitGate::close(); }
            RequestThreads threads;
        };
        static ProcessWide processWide;
        return processWide.threads;
    }();
    return instance;
}

}  // namespace hexora
