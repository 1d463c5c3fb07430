#include "workers/common/download/FileFetch.hpp"

#include "platform/Endpoints.hpp"
#include "platform/FileOps.hpp"
#include "services/http/HttpClient.hpp"

#include <filesystem>
#include <mutex>
#include <system_error>

namespace hexora::Worker::Common {
namespace fs = std::filesystem;
namespace {

// The production bounds; a test build's environment may lower the reserve
// (the end-to-end tests run the launcher on small file systems).
FileFetchBounds startingBounds() {
    FileFetchBounds bounds;
    if (const auto reserve = platform::Endpoints::diskReserveBytes()) bounds.keepFreeBytes = *reserve;
    return bounds;
}

std::mutex boundsMutex;
FileFetchBounds currentBounds = startingBounds();

void removeQuietly(const fs::path& path) {
    std::error_code ignored;
    fs::remove(path, ignored);
}

}  // namespace

FileFetchBounds fileFetchBounds() {
    std::lock_guard lock(boundsMutex);
    return currentBounds;
}

void setFileFetchBounds(const FileFetchBounds& bounds) {
    std::lock_guard lock(boundsMutex);
    currentBounds = bounds;
}

std::string joinUrl(const std::string& base, const std::string& path) {
    std::string trimmedBase = base;
    while (!trimmedBase.empty() && trimmedBase.back() == '/') trimmedBase.pop_back();
    std::size_t start = 0;
    while (start < path.size() && path[start] == '/') ++start;
    return trimmedBase + "/" + path.substr(start);
}

FileFetchResult fetchFile(const std::string& url, const std::string& targetPath, const FileFetchCallbacks& callbacks,
                          std::uint64_t maxBytes) {
    FileFetchResult outcome;
    const fs::path target(targetPath);
    std::error_code error;
    if (target.has_parent_path()) {
        fs::create_directories(target.parent_path(), error);
        if (error) {
            outcome.error = "Could not create " + target.parent_path().string() + ": " + error.message();
            return outcome;
        }
    }

    auto reserved = FileOps::createTemporarySibling(target, error);
    if (!reserved) {
        outcome.error = "Could not create a file next to " + targetPath + ": " + error.message();
        return outcome;
    }
    reserved->descriptor.close();
    const fs::path temporary = reserved->path;
    const FileFetchBounds bounds = fileFetchBounds();
    Http::Options options;
    options.timeoutSec = bounds.idleTimeoutSec;
    options.connectTimeoutSec = bounds.connectTimeoutSec;
    options.minBytesPerSec = bounds.minBytesPerSec;
    options.maxUnannouncedDownloadBytes = bounds.maxUnannouncedBytes;
    options.keepFreeBytes = bounds.keepFreeBytes;
    options.maxDownloadBytes = maxBytes;
    options.shouldAbort = callbacks.shouldAbort;
    const Http::DownloadProgress progress = [&](std::uint64_t written, std::uint64_t expected) {
        if (callbacks.onProgress && expected > 0) {
            callbacks.onProgress(std::min(1.0, static_cast<double>(written) / static_cast<double>(expected)));
        }
        return !(callbacks.shouldAbort && callbacks.shouldAbort());
    };
    const Http::Result reply = Http::download(url, temporary, options, progress);
    outcome.status = reply.status;
    outcome.error = reply.error;
    if (!reply.succeeded()) {
        removeQuietly(temporary);
        return outcome;
    }
    if (!FileOps::renameItem(temporary, target, error)) {
        removeQuietly(temporary);
        outcome.error = "Could not move the download to " + targetPath + ": " + error.message();
        return outcome;
    }
    outcome.succeeded = true;
    return outcome;
}

}  // namespace hexora::Worker::Common
