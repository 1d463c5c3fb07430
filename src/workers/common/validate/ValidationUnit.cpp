#include "workers/common/validate/ValidationUnit.hpp"

#include "platform/FileOps.hpp"
#include "services/internal/Log.hpp"
#include "services/internal/SHA1.hpp"
#include "services/rum/LogData.hpp"

namespace hexora::Worker::Common {
namespace fs = std::filesystem;

ValidationUnit::ValidationUnit(std::string fullPath, std::string hashed, fs::path root)
    : fullPath_(std::move(fullPath)), hashed_(std::move(hashed)), root_(std::move(root)) {}

ValidationUnit::ValidationState ValidationUnit::state() const {
    std::lock_guard lock(mutex_);
    return state_;
}

void ValidationUnit::setState(ValidationState state) {
    std::lock_guard lock(mutex_);
    state_ = state;
}

bool ValidationUnit::isFinal() const {
    const ValidationState current = state();
    return current == ValidationState::Success || current == ValidationState::Failed ||
           current == ValidationState::Cancelled;
}

void ValidationUnit::validate() {
    ValidationState found;
    {
        std::lock_guard lock(mutex_);
        found = state_;
        if (found == ValidationState::None) state_ = ValidationState::Validating;
        if (found == ValidationState::Cancelling) state_ = ValidationState::Cancelled;
    }
    if (found != ValidationState::None) {
        Log::info("ValidationUnit can't start (" + std::to_string(static_cast<int>(found)) + ") : " + fullPath_);
        return;
    }

    const std::optional<fs::path> file = fileToHash();
    std::error_code error;
    const fs::file_status status = file ? fs::status(*file, error) : fs::file_status{};
    if (!fs::exists(status) || fs::is_directory(status)) {
        Log::info("ValidationUnit not found: " + fullPath_);
        Rum::LogData("CValidation", "target not found", "Failed", "ERROR").addData("path", fullPath_).append();
        setState(ValidationState::Failed);
        return;
    }
    const std::optional<std::string> hash = SHA1::sha1HexOfFile(file->string());
    if (hash && *hash == hashed_) {
        progress_.store(1.0);
        setState(ValidationState::Success);
        return;
    }
    const std::string computed = hash.value_or("NULL");
    Log::info("ValidationUnit failed: " + fullPath_ + ", " + computed + " vs " + hashed_);
    Rum::LogData("CValidation", "hash mismatch", "Failed", "ERROR")
        .addData("path", fullPath_)
        .addData("hashes", computed + " vs " + hashed_)
        .append();
    setState(ValidationState::Failed);
}

std::optional<fs::path> ValidationUnit::fileToHash() const {
    if (root_.empty()) return fs::path(fullPath_);
    const fs::path relative = fs::path(fullPath_).lexically_normal().lexically_relative(root_.lexically_normal());
    if (!FileOps::staysInside(relative)) {
        Log::info("ValidationUnit outside the validated folder: " + fullPath_);
        return std::nullopt;
    }
    return FileOps::resolveInside(root_, fullPath_);
}

void ValidationUnit::cancel() {
    {
        std::lock_guard lock(mutex_);
        if (state_ != ValidationState::None && state_ != ValidationState::Validating) return;
        state_ = ValidationState::Cancelling;
    }
    Log::info("ValidationUnit cancel : " + fullPath_);
}

}  // namespace hexora::Worker::Common
