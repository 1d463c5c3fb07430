#pragma once
// Putting a folder's files in place over an installed folder one rename at a
// time, so that every file below the installed folder is at every moment
// either whole old or whole new, also when the process is killed: the
// partial patch's road (CSmartPatch), the full patch's road where the file
// system cannot swap two folders (CPatch), and putting an untouched copy back
// there (PatchSteps). Every change on the disk is told to the step observer
// (PatchSteps::stepDone).
//
// Never outside the installation (PatchGuard): every target's folder, links
// resolved, lies inside the installed folder, and the links put in resolve
// inside the bundle that holds it.
//
// Thread: the worker thread, inside a patch's work(). Failures throw
// std::filesystem::filesystem_error or std::runtime_error (a refusal); what
// was put in until then stays.
#include <filesystem>

namespace hexora::Worker::Common::FileByFile {

/// Copies the installed folder `destPath` to `tempPath` (modification times
/// kept). `destPath` must exist and be a folder (no link), and so must the
/// folders that hold it inside `ownedPath` (empty: none).
void keepUntouchedCopy(const std::filesystem::path& destPath, const std::filesystem::path& tempPath,
                       const std::filesystem::path& ownedPath);

/// Moves every file and link below `srcPath` over the item at the same
/// relative path below `destPath`, in sorted order; a folder in a file's way
/// is deleted, missing folders are made. Installed files the source does not
/// bring stay; folders of the source are not moved (an empty one does not
/// appear).
void moveFiles(const std::filesystem::path& srcPath, const std::filesystem::path& destPath);

/// Makes `destPath` the same tree as `srcPath` without ever removing what
/// `srcPath` also has: moves every file and link over the installed one,
/// makes the source's folders (replacing a file or link in their place),
/// and then deletes every installed item the source does not have.
void replaceAll(const std::filesystem::path& srcPath, const std::filesystem::path& destPath);

}  // namespace hexora::Worker::Common::FileByFile
