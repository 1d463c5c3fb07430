#include "workers/common/download/DownloadUnit.hpp"

#include "services/api/ApiDomains.hpp"
#include "services/internal/Log.hpp"
#include "services/rum/LogData.hpp"
#include "workers/common/download/FileFetch.hpp"

namespace hexora::Worker::Common {
namespace {

int raw(DownloadUnit::DownloadState state) { return static_cast<int>(state); }

}  // namespace

std::optional<DownloadUnit::DownloadState> DownloadUnit::downloadStateFromRawValue(int value) {
    switch (value) {
        case 0: return DownloadState::None;
        case 1: return DownloadState::Downloading;
        case 2: return DownloadState::Cancelling;
        case 3: return DownloadState::Success;
        case -1: return DownloadState::Failed;
        default: return std::nullopt;
    }
}

std::string DownloadUnit::buildUrl(std::int64_t index, const std::string& path) {
    const auto list = ApiDomains::fileList();
    const std::string base = list ? list->urlAt(index) : std::string();
    return joinUrl(joinUrl(base, ApiDomains::CdnPath::Update), path);
}

DownloadUnit::DownloadUnit(std::string downloadUrl, std::string targetPath)
    : downloadUrl_(std::move(downloadUrl)),
      targetPath_(std::move(targetPath)),
      rotation_(ApiDomains::fileList().get()),
      url_(buildUrl(rotation_.index(), downloadUrl_)) {}

std::int64_t DownloadUnit::retryCount() const {
    std::lock_guard lock(mutex_);
    return rotation_.attemptsLeft();
}

std::int64_t DownloadUnit::currentIndex() const {
    std::lock_guard lock(mutex_);
    return rotation_.index();
}

bool DownloadUnit::mayRetry() const {
    std::lock_guard lock(mutex_);
    return rotation_.mayMoveOn();
}

void DownloadUnit::domainAnswered(const StoreDomainIndex& storeIndex) const {
    const DomainRotation rotation = [this] {
        std::lock_guard lock(mutex_);
        return rotation_;
    }();
    if (const auto list = ApiDomains::fileList()) rotation.answered(*list, storeIndex);
}

std::string DownloadUnit::url() const {
    std::lock_guard lock(mutex_);
    return url_;
}

DownloadUnit::DownloadState DownloadUnit::state() const {
    std::lock_guard lock(mutex_);
    return state_;
}

bool DownloadUnit::isFinal() const {
    std::lock_guard lock(mutex_);
    return state_ == DownloadState::Success || (state_ == DownloadState::Failed && !retryPending_);
}

bool DownloadUnit::retry() {
    std::lock_guard lock(mutex_);
    if (cancelled_) return false;
    state_ = DownloadState::None;
    retryPending_ = false;
    rotation_.moveOn(ApiDomains::fileList().get());
    url_ = buildUrl(rotation_.index(), downloadUrl_);
    return true;
}

void DownloadUnit::cancel() {
    std::lock_guard lock(mutex_);
    cancelled_ = true;
    retryPending_ = false;
    if (state_ != DownloadState::None && state_ != DownloadState::Downloading) return;
    state_ = DownloadState::Cancelling;
    abort_.store(true);
    Log::info("DownloadUnit cancel : " + url_ + " -> " + targetPath_);
}

void DownloadUnit::refuse(const std::string& reason) {
    {
        std::lock_guard lock(mutex_);
        cancelled_ = true;
    }
    finish(0, reason, false);
}

void DownloadUnit::start() {
    std::string attemptUrl;
    {
        std::lock_guard lock(mutex_);
        if (state_ != DownloadState::None) {
            if (state_ == DownloadState::Cancelling) state_ = DownloadState::Failed;
            Log::info("DownloadUnit can't start (" + std::to_string(raw(state_)) + ") : " + url_ + " -> " +
                      targetPath_);
            return;
        }
        state_ = DownloadState::Downloading;
        attemptUrl = url_;
    }
    Log::info("DownloadUnit start : " + attemptUrl + " -> " + targetPath_);

    FileFetchCallbacks callbacks;
    callbacks.shouldAbort = [this] { return abort_.load(); };
    callbacks.onProgress = [this](double fraction) { progress_.store(fraction); };
    const FileFetchResult result = fetchFile(attemptUrl, targetPath_, callbacks);
    finish(result.status, result.error, result.succeeded);
}

void DownloadUnit::finish(long status, const std::string& errorText, bool succeeded) {
    std::lock_guard lock(mutex_);
    if (succeeded) {
        progress_.store(1.0);
        state_ = DownloadState::Success;
        Log::info("DownloadUnit finished : " + url_ + " -> " + targetPath_);
        return;
    }
    Log::error("DownloadUnit has error: " + std::to_string(raw(state_)) + ", " + std::to_string(status) + ", " +
              errorText);
    Rum::LogData record("CDownload", "download", "Failed", "ERROR");
    record.addData("Uri", url_).addData("ErrorCode", std::to_string(status)).addData("ErrorDescription", errorText);
    record.append();
    // A body that arrived whole but could not be put in place is no file.
    if (progress_.load() >= 1.0) progress_.store(0.0);
    state_ = DownloadState::Failed;
    retryPending_ = !cancelled_ && rotation_.mayMoveOn();
}

}  // namespace hexora::Worker::Common
