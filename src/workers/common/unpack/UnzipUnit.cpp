#include "workers/common/unpack/UnzipUnit.hpp"

#include "services/archive/ZipExtract.hpp"
#include "services/internal/Log.hpp"
#include "services/rum/LogData.hpp"
#include "workers/common/download/FileFetch.hpp"

#include <algorithm>
#include <cmath>

namespace hexora::Worker::Common {

UnzipUnit::UnzipUnit(std::string sourcePath, std::string targetPath, std::shared_ptr<Archive::ThreadBudget> budget)
    : sourcePath_(std::move(sourcePath)), targetPath_(std::move(targetPath)), budget_(std::move(budget)) {}

UnzipUnit::UnzipState UnzipUnit::state() const {
    std::lock_guard lock(mutex_);
    return state_;
}

bool UnzipUnit::isFinal() const {
    const UnzipState current = state();
    return current == UnzipState::Success || current == UnzipState::Failed;
}

std::shared_ptr<Archive::UnzipProgress> UnzipUnit::unzipProgress() const {
    std::lock_guard lock(mutex_);
    return unzipProgress_;
}

void UnzipUnit::raiseProgress(double fraction) {
    // Only success makes the unit whole: the last bytes are written before
    // their CRC is checked, and a unit that then fails must not count as 1.
    fraction = std::min(fraction, std::nextafter(1.0, 0.0));
    double current = progress_.load();
    while (fraction > current && !progress_.compare_exchange_weak(current, fraction)) {
    }
}

void UnzipUnit::cancel() {
    std::shared_ptr<Archive::UnzipProgress> running;
    {
        std::lock_guard lock(mutex_);
        if (state_ != UnzipState::None && state_ != UnzipState::Unzipping) return;
        state_ = UnzipState::Cancelling;
        running = unzipProgress_;
    }
    if (running && !running->isCancelled()) {
        Log::info("UnzipUnit cancel : " + sourcePath_ + " -> " + targetPath_);
        running->cancel();
    }
}

void UnzipUnit::unzip() {
    UnzipState found;
    auto progress = std::make_shared<Archive::UnzipProgress>();
    {
        std::lock_guard lock(mutex_);
        found = state_;
        if (found == UnzipState::Cancelling) state_ = UnzipState::Failed;
        if (found == UnzipState::None) unzipProgress_ = progress;
    }
    if (found != UnzipState::None) {
        Log::info("UnzipUnit can't start (" + std::to_string(static_cast<int>(found)) + ") : " + sourcePath_ + " -> " +
                  targetPath_);
        return;
    }

    progress->observe([this](double fraction) { raiseProgress(fraction); });
    std::string failure;
    try {
        Archive::ZipExtract::extract(sourcePath_, targetPath_,
                                     {[&](double fraction) { progress->setFractionCompleted(fraction); },
                                      [&] { return progress->isCancelled(); }, fileFetchBounds().keepFreeBytes},
                                     budget_.get());
    } catch (const std::exception& error) {
        failure = error.what();
        if (failure.empty()) failure = "unzip failed";
    }
    progress->stopObserving();

    bool cancelling;
    {
        std::lock_guard lock(mutex_);
        cancelling = state_ == UnzipState::Cancelling;
        if (failure.empty()) {
            progress_.store(1.0);
            state_ = UnzipState::Success;
        } else {
            state_ = UnzipState::Failed;
        }
    }
    if (failure.empty()) {
        Log::info("UnzipUnit success : " + sourcePath_ + " -> " + targetPath_);
    } else if (!cancelling) {
        Log::error("UnzipUnit failed : " + sourcePath_ + " -> " + targetPath_ + " :\n" + failure);
        Rum::LogData("CUnzip", "unzip failed", "Failed", "ERROR")
            .addData("SourcePath", sourcePath_)
            .addData("TargetPath", targetPath_)
            .addData("ErrorDescription", failure)
            .append();
    }
}

}  // namespace hexora::Worker::Common
