#pragma once
// One package of a CUnzip run: a zip file and the folder it is extracted
// into (see ZipExtract: nothing lands outside the folder, CRCs checked,
// Unix permissions and times kept; the package's entries are written by
// several threads, within the run's thread budget). The extraction keeps
// the free-space reserve the downloads keep (fileFetchBounds().keepFreeBytes):
// a package whose declared sizes do not fit beside it is refused before
// anything is written, and a write that would cut into it fails the unit.
//
// unzip() makes a fresh UnzipProgress (kept in unzipProgress()), whose
// fraction raises `progress` (never lowering it, and never to 1: only a
// success does that, so a unit whose last CRC check fails cannot count as
// done), and extracts through it. A failure sends an "unzip failed" record
// with "SourcePath", "TargetPath" and "ErrorDescription" unless the unit was
// being cancelled; the extraction has then taken away what it wrote. The
// state stays None while the extraction runs.
//
// cancel() marks a None unit Cancelling and cancels its running extraction,
// which stops within one chunk and ends the unit Failed.
//
// Thread: unzip() runs on a unit thread; cancel(), state(), progress(),
// isFinal() and unzipProgress() may be called from any thread. Nothing here
// throws.
#include "services/archive/ThreadBudget.hpp"
#include "services/archive/UnzipProgress.hpp"

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

namespace hexora::Worker::Common {

class UnzipUnit {
public:
    enum class UnzipState : int { None = 0, Unzipping = 1, Cancelling = 2, Success = 3, Failed = -1 };

    /// `budget` bounds the threads extracting at once across every unit
    /// that shares it (the run's); none: one per processor for this unit.
    UnzipUnit(std::string sourcePath, std::string targetPath, std::shared_ptr<Archive::ThreadBudget> budget = nullptr);
    virtual ~UnzipUnit() = default;
    UnzipUnit(const UnzipUnit&) = delete;
    UnzipUnit& operator=(const UnzipUnit&) = delete;

    void unzip();
    void cancel();

    const std::string& sourcePath() const { return sourcePath_; }
    const std::string& targetPath() const { return targetPath_; }
    double progress() const { return progress_.load(); }
    UnzipState state() const;
    /// Success or Failed.
    bool isFinal() const;
    /// Absent until the unit starts.
    std::shared_ptr<Archive::UnzipProgress> unzipProgress() const;

private:
    void raiseProgress(double fraction);

    const std::string sourcePath_;
    const std::string targetPath_;
    const std::shared_ptr<Archive::ThreadBudget> budget_;
    std::atomic<double> progress_{0.0};
    mutable std::mutex mutex_;
    UnzipState state_ = UnzipState::None;
    std::shared_ptr<Archive::UnzipProgress> unzipProgress_;
};

}  // namespace hexora::Worker::Common
