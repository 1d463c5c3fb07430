#pragma once
// One file of a CGunzip run: a gzip file and the plain file it becomes.
//
// gunzip() checks the gzip magic (a source that holds anything else fails
// silently, without a record), inflates the source (a scheme: at most
// Schemes::MaxFileBytes, more fails the unit) in chunks into a
// temporary file next to the target (constant memory; a full disk fails the
// unit), keeps an existing target as its ".old" sibling while the new file
// is renamed into place, and deletes the ".old" file afterwards. A failure
// leaves the previous target in place (moved back from ".old" when needed)
// and no temporary file; it sends a "failed" record unless the unit was
// being cancelled.
//
// The state stays None while the operation runs (Unzipping is never
// entered), so a unit that the worker marks Cancelling mid-way still ends
// Success or Failed by its own outcome.
//
// Thread: gunzip() runs on a unit thread; cancel(), state(), progress() and
// isFinal() may be called from any thread. Nothing here throws.
#include <atomic>
#include <mutex>
#include <string>

namespace hexora::Worker::Common {

class GunzipUnit {
public:
    enum class GunzipState : int { None = 0, Unzipping = 1, Cancelling = 2, Success = 3, Failed = -1 };

    GunzipUnit(std::string sourcePath, std::string targetPath);
    virtual ~GunzipUnit() = default;
    GunzipUnit(const GunzipUnit&) = delete;
    GunzipUnit& operator=(const GunzipUnit&) = delete;

    void gunzip();
    /// Marks a None (or Unzipping) unit Cancelling; other states stay.
    void cancel();

    const std::string& sourcePath() const { return sourcePath_; }
    const std::string& targetPath() const { return targetPath_; }
    double progress() const { return progress_.load(); }
    GunzipState state() const;
    /// Success or Failed.
    bool isFinal() const;

private:
    void run();
    void failed(const std::string& description);
    void setState(GunzipState state);

    const std::string sourcePath_;
    const std::string targetPath_;
    std::atomic<double> progress_{0.0};
    mutable std::mutex mutex_;
    GunzipState state_ = GunzipState::None;
};

}  // namespace hexora::Worker::Common
