#include "workers/common/PatchSteps.hpp"

#include "engine/ErrorDescription.hpp"
#include "engine/LauncherError.hpp"
#include "services/internal/FileMove.hpp"
#include "services/rum/LogData.hpp"

#include <system_error>

namespace hexora::Worker::Common::PatchSteps {
namespace fs = std::filesystem;

bool itemExists(const fs::path& path) {
    std::error_code ignored;
    return fs::symlink_status(path, ignored).type() != fs::file_type::not_found;
}

void requireSource(const std::string& className, const fs::path& srcPath) {
    if (itemExists(srcPath)) return;
    Rum::LogData record(className, "source not found", "Failed", "ERROR");
    record.addData("path", srcPath.string());
    throw LauncherError(LauncherError::Code::Failed, className, "source path not found (" + srcPath.string() + ")",
                        LauncherState::Failed_ReplaceFile, record, false);
}

void restore(const fs::path& destPath, const fs::path& tempPath, bool discardDest) {
    std::error_code ignored;
    if (itemExists(tempPath) && (discardDest || !itemExists(destPath))) {
        if (discardDest) fs::remove_all(destPath, ignored);
        try {
            if (!itemExists(destPath)) FileMove::moveItem(tempPath, destPath);
        } catch (const std::exception&) {
        }
    }
    if (itemExists(destPath)) fs::remove_all(tempPath, ignored);
}

void failToReplace(const std::string& className, const std::exception_ptr& error) {
    const std::string description = describeError(error);
    Rum::LogData record(className, "failed to replace", "Failed", "ERROR");
    record.addData("ErrorDescription", description);
    throw LauncherError(LauncherError::Code::Failed, className, "failed to replace file",
                        LauncherState::Failed_ReplaceFile, record, false)
        .withError(error);
}

}  // namespace hexora::Worker::Common::PatchSteps
