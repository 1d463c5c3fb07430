#pragma once
// The full patch: replaces the installed folder destPath (a bundle's
// Contents) by the unpacked folder srcPath and keeps the installed one at
// tempPath until the patch is done.
//
// Where the file system can swap the two folders in one step, it does so
// first, and only then moves the installed folder (now at srcPath) to
// tempPath: destPath holds a whole folder, old or new, at every moment, also
// when the process is killed. Should that move fail, the swap is undone and
// the patch fails. Without the swap (or across file systems) the installed
// folder is moved to tempPath and the new one to destPath; the installed
// folder is then at destPath or at tempPath at every moment, but between the
// two moves destPath is missing. Where that must never be (the launcher's own
// bundle: the rules' fileByFileWithoutSwap), the partial patch's road is
// taken instead: an untouched copy at tempPath, then every new file put in by
// one rename, the new folders made, and the installed items the package lacks
// deleted last (FileByFile::replaceAll); every file below destPath is then
// whole old or whole new at every moment. Moves fall back to copy and delete
// between file systems. A failure puts the installed folder back at destPath
// (by file from the untouched copy on the file-by-file road) and drops
// tempPath only then.
//
// With the rules' startable bundle, the unpacked folder must hold the
// executable and the bundle identifier (StartableBundle); otherwise the step
// fails with "failed to replace file" before anything is touched.
//
// A package whose links lead out of its own bundle (srcPath's parent) is
// refused before anything is touched (PatchGuard). Inside the rules'
// ownedPath (the storage folder for the game; empty: none), whatever is not
// a folder where destPath's parents belong (a file, a link) is removed, never
// followed, and the folders are made.
//
// work() on the worker thread: throws Worker::LauncherError (code Failed,
// type "CPatch", state Failed_ReplaceFile) with "source path not found (...)"
// when srcPath is missing (nothing is touched) or "failed to replace file"
// (inner error: what failed); otherwise sends "completed" and returns. The
// completion handler is never called.
#include "engine/Worker.hpp"
#include "workers/common/patch/PatchRules.hpp"

#include <filesystem>
#include <memory>

namespace hexora::Worker::Common {

class CPatch : public Worker {
public:
    CPatch(std::shared_ptr<WorkerThread> workerThread, std::filesystem::path srcPath, std::filesystem::path destPath,
           std::filesystem::path tempPath, PatchRules rules = {});

    void work() override;

    const std::filesystem::path srcPath;
    const std::filesystem::path destPath;
    const std::filesystem::path tempPath;
    /// The folder whose contents the patch may clear out of destPath's way,
    /// what must be able to start afterwards, and the road without the swap.
    const PatchRules rules;

private:
    /// Sets `fileByFile` once the untouched copy of the file-by-file road is made.
    void replaceInstalledFolder(bool& fileByFile) const;
    void keepExchangedFolder() const;
};

}  // namespace hexora::Worker::Common
