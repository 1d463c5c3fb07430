#include "workers/common/CSmartPatch.hpp"

#include "services/internal/FileMove.hpp"
#include "services/rum/LogData.hpp"
#include "workers/common/PatchSteps.hpp"

#include <algorithm>
#include <vector>

namespace hexora::Worker::Common {
namespace fs = std::filesystem;

CSmartPatch::CSmartPatch(std::shared_ptr<WorkerThread> workerThread, fs::path src, fs::path dest, fs::path temp)
    : Worker(std::move(workerThread)), srcPath(std::move(src)), destPath(std::move(dest)), tempPath(std::move(temp)) {}

void CSmartPatch::moveFiles() const {
    // The listing is taken whole before anything moves out of the tree, and
    // sorted, so a run always moves the files in the same order.
    std::vector<fs::path> files;
    for (const auto& entry : fs::recursive_directory_iterator(srcPath)) {
        if (!entry.is_directory()) files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) {
        const fs::path target = destPath / file.lexically_relative(srcPath);
        if (PatchSteps::itemExists(target)) fs::remove_all(target);
        fs::create_directories(target.parent_path());
        FileMove::moveItem(file, target);
    }
}

void CSmartPatch::work() {
    PatchSteps::requireSource("CSmartPatch", srcPath);
    bool movedToTemp = false;
    try {
        if (PatchSteps::itemExists(tempPath)) fs::remove_all(tempPath);
        if (PatchSteps::itemExists(destPath)) {
            fs::create_directories(tempPath.parent_path());
            FileMove::moveItem(destPath, tempPath);
            movedToTemp = true;
        }
        fs::copy(tempPath, destPath, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
        moveFiles();
    } catch (const std::exception&) {
        const std::exception_ptr error = std::current_exception();
        PatchSteps::restore(destPath, tempPath, movedToTemp);
        PatchSteps::failToReplace("CSmartPatch", error);
    }
    Rum::LogData("CSmartPatch", "completed", "Succeeded", "INFO").append();
    std::error_code ignored;
    fs::remove_all(tempPath, ignored);
}

}  // namespace hexora::Worker::Common
