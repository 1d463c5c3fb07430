#include "services/rum/RumUploads.hpp"

#include "platform/ExitGate.hpp"
#include "services/http/RequestThreads.hpp"

#include <mutex>

namespace hexora::Rum::RumUploads {
namespace {
struct Started {
    std::mutex mutex;
    std::vector<std::weak_ptr<Upload>> uploads;
};
// Never destroyed: a flush may look at it from any thread until the very end.
Started& started() {
    static Started* const instance = new Started;
    return *instance;
}

void remember(const std::shared_ptr<Upload>& upload) {
    std::lock_guard lock(started().mutex);
    auto& uploads = started().uploads;
    std::erase_if(uploads, [](const std::weak_ptr<Upload>& entry) {
        const auto held = entry.lock();
        return !held || held->done;
    });
    uploads.push_back(upload);
}
}  // namespace

std::shared_ptr<Upload> start(std::function<void(Upload&)> body) {
    auto upload = std::make_shared<Upload>();
    // The transfer's abort flag lives in the upload and is shared with it.
    std::shared_ptr<std::atomic<bool>> abort(upload, &upload->abort);
    // The registry exists before the gate is first used, so the gate shuts
    // before the registry goes away and no upload reaches it after that.
    auto& threads = RequestThreads::leftRunning();
    bool started = false;
    platform::ExitGate::runUnlessClosed([&] {
        started = threads.run(std::move(abort), [body = std::move(body), upload] { body(*upload); });
        if (started) remember(upload);
    });
    if (!started) {
        upload->refused = true;
        upload->finished = true;
        upload->done = true;
    }
    return upload;
}

std::vector<std::shared_ptr<Upload>> inFlight() {
    std::lock_guard lock(started().mutex);
    std::vector<std::shared_ptr<Upload>> running;
    for (const auto& entry : started().uploads) {
        if (auto held = entry.lock(); held && !held->done) running.push_back(std::move(held));
    }
    return running;
}

Http::Headers collectorHeaders(const std::string& apiKey) {
    return {{"x-api-key", apiKey}, {"Content-Type", "application/json"}};
}

}  // namespace hexora::Rum::RumUploads
