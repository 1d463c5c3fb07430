#pragma once
// One file of a CValidation run: the file to check and the hash the scheme
// gives for it. validate() hashes the file (streaming, constant memory) and
// compares the text exactly (no case folding, no trimming): a match is
// Success with progress 1; a missing file, a folder, an unreadable file or
// another hash is Failed with progress 0 and a "target not found" or "hash
// mismatch" record.
//
// With a root (the validated folder), nothing outside it is opened: a path
// that climbs out of the root lexically fails as not found without touching
// the disk, and a path whose links resolve outside the root fails as not
// found too. Only regular files are hashed; a pipe, socket or device fails at
// once (its hash is absent).
//
// Thread: validate() runs on a unit thread; cancel(), state(), progress() and
// isFinal() may be called from any thread (the worker thread polls them); the
// state is guarded by the unit's lock. Held by std::shared_ptr (the unit list
// and the jobs queue share it). Nothing here throws.
#include <atomic>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>

namespace hexora::Worker::Common {

class ValidationUnit {
public:
    enum class ValidationState : int { None = 0, Validating = 1, Cancelling = 2, Success = 3, Failed = -1, Cancelled = -2 };

    /// `root`: the folder `fullPath` must lie in; empty for no such check.
    ValidationUnit(std::string fullPath, std::string hashed, std::filesystem::path root = {});
    virtual ~ValidationUnit() = default;
    ValidationUnit(const ValidationUnit&) = delete;
    ValidationUnit& operator=(const ValidationUnit&) = delete;

    /// Checks the file when the unit is None; a Cancelling unit becomes
    /// Cancelled without a check; other states only log.
    virtual void validate();
    /// Marks a None or Validating unit Cancelling; other states stay. A unit
    /// caught while Validating still ends Success or Failed.
    void cancel();

    const std::string& fullPath() const { return fullPath_; }
    const std::string& hashed() const { return hashed_; }
    double progress() const { return progress_.load(); }
    ValidationState state() const;
    /// Success, Failed or Cancelled.
    bool isFinal() const;

private:
    void setState(ValidationState state);
    /// The file to hash, links resolved when there is a root; nullopt when it
    /// lies outside the root or cannot be resolved.
    std::optional<std::filesystem::path> fileToHash() const;

    const std::string fullPath_;
    const std::string hashed_;
    const std::filesystem::path root_;
    std::atomic<double> progress_{0.0};
    mutable std::mutex mutex_;
    ValidationState state_ = ValidationState::None;
};

}  // namespace hexora::Worker::Common
