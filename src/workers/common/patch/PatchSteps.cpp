#include "workers/common/patch/PatchSteps.hpp"

#include "engine/ErrorDescription.hpp"
#include "engine/LauncherError.hpp"
#include "platform/FileOps.hpp"
#include "services/internal/Log.hpp"
#include "services/rum/LogData.hpp"
#include "workers/common/patch/FileByFile.hpp"
#include "workers/common/patch/PatchGuard.hpp"

#include <system_error>

namespace hexora::Worker::Common::PatchSteps {
namespace fs = std::filesystem;

namespace {

StepObserver& stepObserver() {
    static StepObserver observer;
    return observer;
}

bool exchange(const fs::path& first, const fs::path& second) {
    return FileOps::exchange(first, second) == FileOps::ExchangeResult::Exchanged;
}

// Brings the untouched copy to `destPath`, the mixed folder going to the
// place the copy came from (which the caller then deletes). Throws when
// `destPath` does not hold the copy in the end.
void replaceMixedFolder(const fs::path& destPath, const fs::path& copyPath) {
    if (exchange(copyPath, destPath)) return;
    // No swap: the copy's files go back one rename each, so the installed
    // folder is never missing; the backup stays in place until it is done.
    FileByFile::replaceAll(copyPath, destPath);
}

}  // namespace

void requireSource(const std::string& className, const fs::path& srcPath) {
    if (FileOps::itemExists(srcPath)) return;
    Rum::LogData record(className, "source not found", "Failed", "ERROR");
    record.addData("path", srcPath.string());
    throw LauncherError::failure(className, "source path not found (" + srcPath.string() + ")",
                                 LauncherState::Failed_ReplaceFile, record);
}

void refuseOutwardLinks(const std::string& className, const fs::path& srcPath) {
    try {
        PatchGuard::requireLinksInsideBundle(srcPath);
    } catch (const std::exception&) {
        failToReplace(className, std::current_exception());
    }
}

void refuseUnstartable(const std::string& className, const PatchRules& rules, const fs::path& srcPath,
                       const fs::path& installedContents) {
    if (!rules.startable) return;
    try {
        rules.startable->require(srcPath, installedContents);
    } catch (const std::exception&) {
        failToReplace(className, std::current_exception());
    }
}

void restore(const fs::path& destPath, const fs::path& tempPath) {
    std::error_code ignored;
    if (FileOps::itemExists(tempPath) && !FileOps::itemExists(destPath)) {
        try {
            FileOps::moveItem(tempPath, destPath);
            stepDone("installed folder moved back");
        } catch (const std::exception&) {
        }
    }
    if (FileOps::itemExists(destPath)) FileOps::removeAll(tempPath, ignored);
}

bool putBackUntouched(const std::string& className, const fs::path& destPath, const fs::path& backupPath) {
    // The backup may lie on another file system than the installed folder;
    // then a copy of it is made beside the installed folder first, and the
    // backup itself stays until the copy is in place.
    fs::path copyPath = backupPath;
    std::error_code ignored;
    try {
        if (!exchange(backupPath, destPath)) {
            copyPath = FileOps::freeSiblingName(destPath);
            FileOps::copyItem(backupPath, copyPath);
            stepDone("untouched copy brought beside the installed folder");
            replaceMixedFolder(destPath, copyPath);
        }
        stepDone("untouched copy put back");
    } catch (const std::exception& error) {
        if (copyPath != backupPath && FileOps::itemExists(destPath)) FileOps::removeAll(copyPath, ignored);
        Log::error(className + ": the installed folder could not be put back (" + error.what() +
                   "); its untouched copy stays at " + backupPath.string());
        return false;
    }
    FileOps::removeAll(copyPath, ignored);
    if (copyPath != backupPath) FileOps::removeAll(backupPath, ignored);
    stepDone("backup deleted");
    return true;
}

void failToReplace(const std::string& className, const std::exception_ptr& error) {
    const std::string description = describeError(error);
    Rum::LogData record(className, "failed to replace", "Failed", "ERROR");
    record.addData("ErrorDescription", description);
    throw LauncherError::failure(className, "failed to replace file", LauncherState::Failed_ReplaceFile, record)
        .withError(error);
}

void setStepObserver(StepObserver observer) { stepObserver() = std::move(observer); }

void stepDone(const std::string& step) {
    if (const StepObserver& observer = stepObserver()) observer(step);
}

}  // namespace hexora::Worker::Common::PatchSteps
