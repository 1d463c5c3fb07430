#include "workers/common/patch/CSmartPatch.hpp"

#include "platform/FileOps.hpp"
#include "services/rum/LogData.hpp"
#include "workers/common/patch/FileByFile.hpp"
#include "workers/common/patch/PatchSteps.hpp"

#include <system_error>

namespace hexora::Worker::Common {
namespace fs = std::filesystem;
using PatchSteps::stepDone;

CSmartPatch::CSmartPatch(std::shared_ptr<WorkerThread> workerThread, fs::path src, fs::path dest, fs::path temp,
                         PatchRules rules)
    : Worker(std::move(workerThread)),
      srcPath(std::move(src)),
      destPath(std::move(dest)),
      tempPath(std::move(temp)),
      rules(std::move(rules)) {}

void CSmartPatch::work() {
    PatchSteps::requireSource("CSmartPatch", srcPath);
    PatchSteps::refuseOutwardLinks("CSmartPatch", srcPath);
    PatchSteps::refuseUnstartable("CSmartPatch", rules, srcPath, destPath);
    bool copied = false;
    try {
        if (FileOps::itemExists(tempPath)) {
            FileOps::removeAll(tempPath);
            stepDone("leftover backup deleted");
        }
        FileByFile::keepUntouchedCopy(destPath, tempPath, rules.ownedPath);
        copied = true;
        FileByFile::moveFiles(srcPath, destPath);
    } catch (const std::exception&) {
        const std::exception_ptr error = std::current_exception();
        if (copied) PatchSteps::putBackUntouched("CSmartPatch", destPath, tempPath);
        PatchSteps::failToReplace("CSmartPatch", error);
    }
    Rum::LogData("CSmartPatch", "completed", "Succeeded", "INFO").append();
    std::error_code ignored;
    FileOps::removeAll(tempPath, ignored);
    stepDone("backup deleted");
}

}  // namespace hexora::Worker::Common
