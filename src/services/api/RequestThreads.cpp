#include "services/api/RequestThreads.hpp"

#include "services/http/CurlSession.hpp"
#include "services/http/TrustedCertificates.hpp"

namespace hexora {

RequestThreads::~RequestThreads() {
    std::list<Running> running;
    {
        std::lock_guard lock(mutex_);
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
        static RequestThreads threads;
        return threads;
    }();
    return instance;
}

}  // namespace hexora
