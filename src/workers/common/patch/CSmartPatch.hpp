#pragma once
// The partial patch: moves every file of the unpacked folder srcPath over the
// installed folder destPath at the same relative path, leaving all other
// installed files alone. Links are moved as links, those to folders too
// (a framework's Versions/Current). Folders are not moved (an empty source
// folder does not appear).
//
// Never outside the installation (PatchGuard): a package whose links lead
// out of its own bundle is refused before anything is touched; destPath must
// be a folder (no link), and so must the folders that hold it inside the
// rules' ownedPath (empty: none); every file's folder, links resolved, lies
// inside destPath, and the links the patch put in resolve inside the bundle.
// Otherwise the step fails like any other. With the rules' startable bundle,
// the package laid over the installed folder must hold its executable and
// its bundle identifier (StartableBundle), else the step fails before
// anything is touched.
//
// First an untouched copy of the installed folder is made at tempPath
// (modification times kept). Then each file is put in place by a rename,
// never rewritten, so every file below destPath is at every moment either
// whole old or whole new, also when the process is killed. Between file
// systems a file is first copied beside its target and then renamed over it.
//
// A partial patch needs an installed folder: a missing destPath fails. A
// failure after the copy puts the untouched copy back in the place of the
// mixed folder (in one swap where the file system allows it); the copy is
// deleted only once destPath holds it again, otherwise it stays at tempPath
// and the failure is logged.
//
// work() on the worker thread: throws Worker::LauncherError (code Failed,
// type "CSmartPatch", state Failed_ReplaceFile) with "source path not found
// (...)" when srcPath is missing (nothing is touched) or "failed to replace
// file"; otherwise sends "completed" and returns. The completion handler is
// never called.
#include "engine/Worker.hpp"
#include "workers/common/patch/PatchRules.hpp"

#include <filesystem>
#include <memory>

namespace hexora::Worker::Common {

class CSmartPatch : public Worker {
public:
    CSmartPatch(std::shared_ptr<WorkerThread> workerThread, std::filesystem::path srcPath,
                std::filesystem::path destPath, std::filesystem::path tempPath, PatchRules rules = {});

    void work() override;

    const std::filesystem::path srcPath;
    const std::filesystem::path destPath;
    const std::filesystem::path tempPath;
    /// The owned folder around destPath (see PatchGuard) and what must be
    /// able to start afterwards.
    const PatchRules rules;
};

}  // namespace hexora::Worker::Common
