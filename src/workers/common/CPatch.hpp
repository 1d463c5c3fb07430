#pragma once
// The full patch: replaces the installed folder destPath (a bundle's
// Contents) by the unpacked folder srcPath, keeping the installed one at
// tempPath until the new one is in place. Moves fall back to copy and delete
// between file systems.
//
// At every moment the installed folder is at destPath or at tempPath; a
// failure puts it back at destPath and drops tempPath only then.
//
// work() on the worker thread: throws Worker::LauncherError (code Failed,
// type "CPatch", state Failed_ReplaceFile) with "source path not found (...)"
// when srcPath is missing (nothing is touched) or "failed to replace file"
// (inner error: what failed); otherwise sends "completed" and returns. The
// completion handler is never called.
#include "engine/Worker.hpp"

#include <filesystem>
#include <memory>

namespace hexora::Worker::Common {

class CPatch : public Worker {
public:
    CPatch(std::shared_ptr<WorkerThread> workerThread, std::filesystem::path srcPath, std::filesystem::path destPath,
           std::filesystem::path tempPath);

    void work() override;

    const std::filesystem::path srcPath;
    const std::filesystem::path destPath;
    const std::filesystem::path tempPath;
};

}  // namespace hexora::Worker::Common
