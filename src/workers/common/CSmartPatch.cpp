#include "workers/common/CSmartPatch.hpp"

#include "services/internal/FileMove.hpp"
#include "services/internal/FileOps.hpp"
#include "services/rum/LogData.hpp"
#include "workers/common/PatchGuard.hpp"
#include "workers/common/PatchSteps.hpp"

#include <algorithm>
#include <system_error>
#include <vector>

namespace hexora::Worker::Common {
namespace fs = std::filesystem;
using PatchSteps::stepDone;

CSmartPatch::CSmartPatch(std::shared_ptr<WorkerThread> workerThread, fs::path src, fs::path dest, fs::path temp,
                         fs::path owned)
    : Worker(std::move(workerThread)),
      srcPath(std::move(src)),
      destPath(std::move(dest)),
      tempPath(std::move(temp)),
      ownedPath(std::move(owned)) {}

void CSmartPatch::keepUntouchedCopy() const {
    if (!FileOps::itemExists(destPath))
        throw fs::filesystem_error("CSmartPatch: no installed folder to patch", destPath,
                                   std::make_error_code(std::errc::no_such_file_or_directory));
    // Never through a link: neither the installed folder nor, inside the
    // owned folder, the folders that hold it.
    PatchGuard::requireFoldersBelow(ownedPath, destPath);
    PatchGuard::requireFolder(destPath);
    fs::create_directories(tempPath.parent_path());
    FileMove::copyItem(destPath, tempPath);
    stepDone("untouched copy made");
}

void CSmartPatch::moveFiles() const {
    // The listing is taken whole before anything moves out of the tree, and
    // sorted, so a run always moves the files in the same order. Links are
    // moved as they are, also those to folders.
    std::vector<fs::path> files;
    for (const auto& entry : fs::recursive_directory_iterator(srcPath)) {
        if (entry.is_symlink() || !entry.is_directory()) files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    std::vector<fs::path> links;
    for (const fs::path& file : files) {
        const fs::path relative = file.lexically_relative(srcPath);
        const fs::path target = destPath / relative;
        PatchGuard::requireParentInside(destPath, target);
        if (FileOps::isFolder(target)) {
            FileOps::removeAll(target);
            stepDone("folder in the way deleted");
        }
        fs::create_directories(target.parent_path());
        const bool link = fs::is_symlink(fs::symlink_status(file));
        FileMove::replaceFile(file, target);
        stepDone("file replaced");
        if (link) links.push_back(relative);
    }
    // With every link in place: together with the installed ones they still
    // stay inside the bundle.
    for (const fs::path& link : links) PatchGuard::requireLinkInsideBundle(destPath, link);
}

void CSmartPatch::work() {
    PatchSteps::requireSource("CSmartPatch", srcPath);
    PatchSteps::refuseOutwardLinks("CSmartPatch", srcPath);
    bool copied = false;
    try {
        if (FileOps::itemExists(tempPath)) {
            FileOps::removeAll(tempPath);
            stepDone("leftover backup deleted");
        }
        keepUntouchedCopy();
        copied = true;
        moveFiles();
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
