#include "workers/common/unpack/GunzipUnit.hpp"

#include "platform/FileOps.hpp"
#include "services/archive/GzipInflate.hpp"
#include "services/file/Schemes.hpp"
#include "services/internal/Log.hpp"
#include "services/rum/LogData.hpp"

#include <filesystem>
#include <system_error>

namespace hexora::Worker::Common {
namespace fs = std::filesystem;

GunzipUnit::GunzipUnit(std::string sourcePath, std::string targetPath)
    : sourcePath_(std::move(sourcePath)), targetPath_(std::move(targetPath)) {}

GunzipUnit::GunzipState GunzipUnit::state() const {
    std::lock_guard lock(mutex_);
    return state_;
}

void GunzipUnit::setState(GunzipState state) {
    std::lock_guard lock(mutex_);
    state_ = state;
}

bool GunzipUnit::isFinal() const {
    const GunzipState current = state();
    return current == GunzipState::Success || current == GunzipState::Failed;
}

void GunzipUnit::cancel() {
    {
        std::lock_guard lock(mutex_);
        if (state_ != GunzipState::None && state_ != GunzipState::Unzipping) return;
        state_ = GunzipState::Cancelling;
    }
    Log::info("GunzipUnit cancel : " + sourcePath_ + " -> " + targetPath_);
}

void GunzipUnit::gunzip() {
    GunzipState found;
    {
        std::lock_guard lock(mutex_);
        found = state_;
        if (found == GunzipState::Cancelling) state_ = GunzipState::Failed;
    }
    if (found != GunzipState::None) {
        Log::info("GunzipUnit can't start (" + std::to_string(static_cast<int>(found)) + ") : " + sourcePath_ + " -> " +
                  targetPath_);
        return;
    }
    run();
}

void GunzipUnit::failed(const std::string& description) {
    bool cancelling;
    {
        std::lock_guard lock(mutex_);
        cancelling = state_ == GunzipState::Cancelling;
        state_ = GunzipState::Failed;
    }
    if (!cancelling) {
        Log::error("GunzipUnit failed : " + sourcePath_ + " -> " + targetPath_ + " : " + description);
        Rum::LogData("CGunzip", "failed", "Failed", "ERROR").addData("Message", description).append();
    }
}

void GunzipUnit::run() {
    const fs::path target(targetPath_);
    const fs::path backup = target.parent_path() / (target.filename().string() + ".old");
    fs::path temporary;
    try {
        if (!Archive::GzipInflate::hasGzipMagic(sourcePath_)) {
            setState(GunzipState::Failed);
            return;
        }
        temporary = Archive::GzipInflate::inflateNextTo(sourcePath_, target, Schemes::MaxFileBytes);
        if (FileOps::itemExists(backup)) fs::remove_all(backup);
        if (FileOps::itemExists(target)) FileOps::renameItem(target, backup);
        FileOps::renameItem(temporary, target);
        if (FileOps::itemExists(backup)) fs::remove_all(backup);
    } catch (const std::exception& error) {
        std::error_code ignored;
        if (!temporary.empty()) fs::remove(temporary, ignored);
        failed(error.what());
        if (!FileOps::itemExists(target) && FileOps::itemExists(backup)) FileOps::renameItem(backup, target, ignored);
        return;
    }
    progress_.store(1.0);
    setState(GunzipState::Success);
    Log::info("GunzipUnit success : " + sourcePath_ + " -> " + targetPath_);
}

}  // namespace hexora::Worker::Common
