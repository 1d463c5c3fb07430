#include "services/rum/RumUploads.hpp"

#include "services/http/RequestThreads.hpp"

namespace hexora::Rum::RumUploads {

std::shared_ptr<Upload> start(std::function<void(Upload&)> body) {
    auto upload = std::make_shared<Upload>();
    // The transfer's abort flag lives in the upload and is shared with it.
    std::shared_ptr<std::atomic<bool>> abort(upload, &upload->abort);
    const bool started =
        RequestThreads::leftRunning().run(std::move(abort), [body = std::move(body), upload] { body(*upload); });
    if (!started) {
        upload->finished = true;
        upload->done = true;
    }
    return upload;
}

Http::Headers collectorHeaders(const std::string& apiKey) {
    return {{"x-api-key", apiKey}, {"Content-Type", "application/json"}};
}

}  // namespace hexora::Rum::RumUploads
