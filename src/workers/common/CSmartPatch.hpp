#pragma once
// The partial patch: moves every file of the unpacked folder srcPath over the
// installed folder destPath at the same relative path, leaving all other
// installed files alone. Folders are not moved (an empty source folder does
// not appear). The installed folder is first moved to tempPath and copied
// back, so tempPath holds the untouched installation while files are moved.
//
// A partial patch needs an installed folder: a missing destPath fails. Any
// failure puts the untouched copy back at destPath (also after some files
// were already moved) and drops tempPath only then.
//
// work() on the worker thread: throws Worker::LauncherError (code Failed,
// type "CSmartPatch", state Failed_ReplaceFile) with "source path not found
// (...)" when srcPath is missing (nothing is touched) or "failed to replace
// file"; otherwise sends "completed" and returns. The completion handler is
// never called.
#include "engine/Worker.hpp"

#include <filesystem>
#include <memory>

namespace hexora::Worker::Common {

class CSmartPatch : public Worker {
public:
    CSmartPatch(std::shared_ptr<WorkerThread> workerThread, std::filesystem::path srcPath,
                std::filesystem::path destPath, std::filesystem::path tempPath);

    void work() override;

    const std::filesystem::path srcPath;
    const std::filesystem::path destPath;
    const std::filesystem::path tempPath;

private:
    void moveFiles() const;
};

}  // namespace hexora::Worker::Common
