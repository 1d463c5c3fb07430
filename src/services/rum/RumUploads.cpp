#include "services/rum/RumUploads.hpp"

#include "services/http/CurlSession.hpp"
#include "services/http/TrustedCertificates.hpp"

#include <list>
#include <mutex>
#include <thread>

namespace hexora::Rum::RumUploads {
namespace {
struct Running {
    std::thread thread;
    std::shared_ptr<Upload> upload;
    std::shared_ptr<std::atomic<bool>> exited = std::make_shared<std::atomic<bool>>(false);
};

class InFlight {
public:
    ~InFlight() {
        std::list<Running> running;
        {
            std::lock_guard lock(mutex_);
            exiting_ = true;
            running.swap(running_);
        }
        for (auto& entry : running) entry.upload->abort = true;
        for (auto& entry : running) entry.thread.join();
    }

    std::shared_ptr<Upload> start(std::function<void(Upload&)> body) {
        auto upload = std::make_shared<Upload>();
        std::lock_guard lock(mutex_);
        reapExited();
        if (exiting_) {
            upload->finished = true;
            upload->done = true;
            return upload;
        }
        Running entry;
        entry.upload = upload;
        entry.thread = std::thread([body = std::move(body), upload, exited = entry.exited] {
            body(*upload);
            *exited = true;
        });
        running_.push_back(std::move(entry));
        return upload;
    }

private:
    // Joins the threads whose body has returned (they are about to end).
    void reapExited() {
        for (auto it = running_.begin(); it != running_.end();) {
            if (*it->exited) {
                it->thread.join();
                it = running_.erase(it);
            } else {
                ++it;
            }
        }
    }

    std::mutex mutex_;
    std::list<Running> running_;
    bool exiting_ = false;
};

// Built after the request layer's process state, so it is destroyed (and
// its uploads stopped) before that state goes away at exit.
InFlight& inFlight() {
    static InFlight& instance = [] () -> InFlight& {
        (void)Http::CurlSession::share();
        (void)Http::TrustedCertificates::extraCaFile();
        static InFlight uploads;
        return uploads;
    }();
    return instance;
}
}  // namespace

std::shared_ptr<Upload> start(std::function<void(Upload&)> body) { return inFlight().start(std::move(body)); }

Http::Headers collectorHeaders(const std::string& apiKey) {
    return {{"x-api-key", apiKey}, {"Content-Type", "application/json"}};
}

}  // namespace hexora::Rum::RumUploads
