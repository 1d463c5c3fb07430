#include "workers/common/patch/CPatch.hpp"

#include "platform/FileOps.hpp"
#include "services/rum/LogData.hpp"
#include "workers/common/patch/FileByFile.hpp"
#include "workers/common/patch/PatchGuard.hpp"
#include "workers/common/patch/PatchSteps.hpp"

namespace hexora::Worker::Common {
namespace fs = std::filesystem;
using PatchSteps::stepDone;

CPatch::CPatch(std::shared_ptr<WorkerThread> workerThread, fs::path src, fs::path dest, fs::path temp, PatchRules rules)
    : Worker(std::move(workerThread)),
      srcPath(std::move(src)),
      destPath(std::move(dest)),
      tempPath(std::move(temp)),
      rules(std::move(rules)) {}

void CPatch::keepExchangedFolder() const {
    // srcPath now holds the installed folder and destPath the new one.
    try {
        FileOps::moveItem(srcPath, tempPath);
        stepDone("installed folder moved to the backup");
    } catch (const std::exception&) {
        // No backup, no patch: the installed folder goes back in one step.
        // Should even that fail, the new folder stays installed, whole.
        try {
            FileOps::exchange(srcPath, destPath);
            stepDone("installed folder exchanged back");
        } catch (const std::exception&) {
        }
        throw;
    }
}

void CPatch::replaceInstalledFolder(bool& fileByFile) const {
    fs::create_directories(tempPath.parent_path());
    if (FileOps::exchange(srcPath, destPath) == FileOps::ExchangeResult::Exchanged) {
        stepDone("new folder exchanged in");
        keepExchangedFolder();
        return;
    }
    if (rules.fileByFileWithoutSwap) {
        // Never a moment without the installed files: the new ones come in
        // one rename each, the untouched copy kept until the end.
        FileByFile::keepUntouchedCopy(destPath, tempPath, rules.ownedPath);
        fileByFile = true;
        FileByFile::replaceAll(srcPath, destPath);
        std::error_code ignored;
        FileOps::removeAll(srcPath, ignored);  // only the emptied folders are left
        return;
    }
    FileOps::moveItem(destPath, tempPath);
    stepDone("installed folder moved to the backup");
    FileOps::moveItem(srcPath, destPath);
    stepDone("new folder moved in");
}

void CPatch::work() {
    PatchSteps::requireSource("CPatch", srcPath);
    PatchSteps::refuseOutwardLinks("CPatch", srcPath);
    PatchSteps::refuseUnstartable("CPatch", rules, srcPath);
    // Set once the untouched copy is made for a patch file by file: a
    // failure then puts it back over the installed folder.
    bool fileByFile = false;
    try {
        if (FileOps::itemExists(tempPath)) {
            FileOps::removeAll(tempPath);
            stepDone("leftover backup deleted");
        }
        PatchGuard::clearWayBelow(rules.ownedPath, destPath);
        if (FileOps::itemExists(destPath)) {
            replaceInstalledFolder(fileByFile);
        } else {
            fs::create_directories(destPath.parent_path());
            FileOps::moveItem(srcPath, destPath);
            stepDone("new folder moved in");
        }
    } catch (const std::exception&) {
        const std::exception_ptr error = std::current_exception();
        if (fileByFile)
            PatchSteps::putBackUntouched("CPatch", destPath, tempPath);
        else
            PatchSteps::restore(destPath, tempPath);
        PatchSteps::failToReplace("CPatch", error);
    }
    Rum::LogData("CPatch", "completed", "Succeeded", "INFO").append();
    std::error_code ignored;
    FileOps::removeAll(tempPath, ignored);
    stepDone("backup deleted");
}

}  // namespace hexora::Worker::Common
