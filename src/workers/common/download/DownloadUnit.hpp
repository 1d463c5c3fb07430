#pragma once
// One file of a CDownload run: where it comes from on the file server, where
// it goes, which file domain the current attempt uses and how many attempts
// on another domain are left.
//
// Each attempt downloads from `url` (file domain + "/update/" + hash + "/" +
// file) into a temporary file next to `targetPath`, and only a complete body
// of a 2xx reply is renamed onto `targetPath`; a failed or cancelled attempt
// leaves no partial file under the final name and the previous file, if any,
// in place. A body cut short is a failed attempt.
//
// Thread: start() and retry() run on a unit thread (start() blocks there for
// the whole transfer); cancel(), state(), progress() and isFinal() may be
// called from any thread (the worker thread polls them). Every field is
// guarded by the unit's own lock or atomic. Held by std::shared_ptr (the unit
// list and the jobs queue share it). Nothing here throws.
#include "services/api/DomainRotation.hpp"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

namespace hexora::Worker::Common {

class DownloadUnit {
public:
    enum class DownloadState : int { None = 0, Downloading = 1, Cancelling = 2, Success = 3, Failed = -1 };
    /// The state with raw value `raw`; nullopt for any other integer.
    static std::optional<DownloadState> downloadStateFromRawValue(int raw);

    /// A unit in state None with progress 0 and the file domain list's
    /// DomainRotation: on the list's current domain, with the rotation's
    /// attempts (URL retry count x number of domains) - 1 further attempts
    /// allowed. An absent or empty domain list gives index 0 and an empty
    /// base address.
    DownloadUnit(std::string downloadUrl, std::string targetPath);
    virtual ~DownloadUnit() = default;
    DownloadUnit(const DownloadUnit&) = delete;
    DownloadUnit& operator=(const DownloadUnit&) = delete;

    /// Moves the unit to the next file domain for another attempt: state
    /// None, the rotation moved on (one attempt fewer left, its next index),
    /// url rebuilt.
    /// Returns false and changes nothing once the unit
    /// was cancelled: a cancelled unit is never tried again.
    virtual bool retry();
    /// Runs the current attempt when the unit is None (blocking until the
    /// transfer ended, Success or Failed); a Cancelling unit becomes Failed
    /// without a transfer; other states only log.
    virtual void start();
    /// Marks a None or Downloading unit Cancelling and aborts its transfer
    /// (the transfer notices within a fraction of a second and the unit ends
    /// Failed). From then on the unit is never retried. Other states stay.
    void cancel();
    /// Whether the rotation allows another attempt after a failed one.
    bool mayRetry() const;
    /// The current attempt's domain answered: the rotation records it
    /// (storeIndex, then the file domain list's current index). Without a
    /// file domain list nothing is recorded.
    void domainAnswered(const StoreDomainIndex& storeIndex) const;
    /// Ends a unit that must not be fetched (its target would lie outside
    /// its folder): Failed at once, with its failure record, never retried.
    void refuse(const std::string& reason);

    const std::string& downloadUrl() const { return downloadUrl_; }
    const std::string& targetPath() const { return targetPath_; }
    /// 0 when made; the completed fraction of the current 2xx body; 1 on success.
    double progress() const { return progress_.load(); }
    /// The rotation's attempts left after the current one.
    std::int64_t retryCount() const;
    /// The rotation's domain of the current attempt.
    std::int64_t currentIndex() const;
    std::string url() const;
    DownloadState state() const;
    /// Success, or Failed with no further attempt to come.
    bool isFinal() const;

    /// The address of `path` (below "/update") on the file domain `index`.
    static std::string buildUrl(std::int64_t index, const std::string& path);

private:
    void finish(long status, const std::string& errorText, bool succeeded);

    const std::string downloadUrl_;
    const std::string targetPath_;
    std::atomic<double> progress_{0.0};
    std::atomic<bool> abort_{false};

    mutable std::mutex mutex_;
    DomainRotation rotation_;
    std::string url_;
    DownloadState state_ = DownloadState::None;
    bool cancelled_ = false;
    bool retryPending_ = false;
};

}  // namespace hexora::Worker::Common
