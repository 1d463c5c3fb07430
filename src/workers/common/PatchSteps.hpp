#pragma once
// The parts CPatch and CSmartPatch share: the missing-source error, the
// "failed to replace" error, and putting the installed folder back from its
// backup after a failure.
//
// Thread: the worker thread, inside the patch's work().
#include <exception>
#include <filesystem>
#include <string>

namespace hexora::Worker::Common::PatchSteps {

/// Throws the "source path not found (<path>)" Worker::LauncherError (state
/// Failed_ReplaceFile, a "source not found" record) unless `srcPath` exists.
void requireSource(const std::string& className, const std::filesystem::path& srcPath);

/// After a failure: when `destPath` is missing (or `discardDest` is set,
/// which first removes what stands there) and `tempPath` holds the installed
/// folder, moves it back to `destPath`. Then deletes `tempPath`, but only
/// when `destPath` exists again, so the installed folder is never lost.
/// Errors are ignored.
void restore(const std::filesystem::path& destPath, const std::filesystem::path& tempPath, bool discardDest);

/// Throws the "failed to replace file" Worker::LauncherError for `error`
/// (state Failed_ReplaceFile, a "failed to replace" record carrying the
/// error's description).
[[noreturn]] void failToReplace(const std::string& className, const std::exception_ptr& error);

/// True when something (also a dangling link) stands at `path`.
bool itemExists(const std::filesystem::path& path);

}  // namespace hexora::Worker::Common::PatchSteps
