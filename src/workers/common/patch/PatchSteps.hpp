#pragma once
// The parts CPatch and CSmartPatch share: the missing-source error, the
// "failed to replace" error, putting the installed folder back from its
// backup after a failure, and the step notices that let a test stop a patch
// between two of its steps.
//
// Thread: the worker thread, inside the patch's work().
#include "workers/common/patch/PatchRules.hpp"

#include <exception>
#include <filesystem>
#include <functional>
#include <string>

namespace hexora::Worker::Common::PatchSteps {

/// Throws the "source path not found (<path>)" Worker::LauncherError (state
/// Failed_ReplaceFile, a "source not found" record) unless `srcPath` exists.
void requireSource(const std::string& className, const std::filesystem::path& srcPath);

/// Refuses a package whose links lead out of its own bundle (see
/// PatchGuard::requireLinksInsideBundle) before anything is touched: throws
/// the "failed to replace file" Worker::LauncherError of `className`.
void refuseOutwardLinks(const std::string& className, const std::filesystem::path& srcPath);

/// Refuses a patch whose result would not start (see StartableBundle; for a
/// partial patch `installedContents` is the folder the package is laid
/// over) before anything is touched: throws the "failed to replace file"
/// Worker::LauncherError of `className`. Nothing is checked without the
/// rules' startable bundle.
void refuseUnstartable(const std::string& className, const PatchRules& rules, const std::filesystem::path& srcPath,
                       const std::filesystem::path& installedContents = {});

/// After a failed full patch: when `destPath` is missing and `tempPath`
/// holds the installed folder, moves it back to `destPath`. Then deletes
/// `tempPath`, but only when `destPath` exists again, so the installed folder
/// is never lost. Errors are ignored.
void restore(const std::filesystem::path& destPath, const std::filesystem::path& tempPath);

/// After a failed partial patch (or a full one by file): puts the untouched
/// copy at `backupPath` in the place of the mixed folder at `destPath`, by one
/// exchange where the file system allows it (the copy is first brought beside
/// `destPath` when it lies on another file system), else file by file from
/// that copy (FileByFile::replaceAll), so `destPath` is never missing. The backup
/// is deleted only once `destPath` holds the untouched copy again; otherwise
/// it stays where it is, the failure is logged (naming `className` and the
/// backup) and false is returned. Never throws.
bool putBackUntouched(const std::string& className, const std::filesystem::path& destPath,
                      const std::filesystem::path& backupPath);

/// Throws the "failed to replace file" Worker::LauncherError for `error`
/// (state Failed_ReplaceFile, a "failed to replace" record carrying the
/// error's description).
[[noreturn]] void failToReplace(const std::string& className, const std::exception_ptr& error);

/// Told the name of each step of a patch that changed the disk, right after
/// it. A test sets one to stop a patch between two steps (a killed process);
/// the launcher sets none.
using StepObserver = std::function<void(const std::string& step)>;

/// Sets the process-wide step observer; nullptr removes it. Call only while
/// no patch runs.
void setStepObserver(StepObserver observer);

/// Tells the step observer, if any, that `step` is done.
void stepDone(const std::string& step);

}  // namespace hexora::Worker::Common::PatchSteps
