#pragma once
// Checks a folder tree against a scheme (a file list with a SHA-1 per file),
// several files at a time, and leaves the verdict on disk at brokenListPath:
//
// - the scheme cannot be loaded or lists no files: the literal body
//   {"broken":"scheme not found"};
// - targetPath is missing or no folder: {"broken":"path not found"};
// - some file failed: the scheme (its version and header) with only the
//   entries whose file failed, exactly as the scheme writes them, compact
//   JSON with "/" not escaped;
// - every file passed: no list. A list left by an earlier run is removed,
//   and every regular file below targetPath/Contents that the scheme does
//   not list is deleted ("cleanup" record).
//
// A listed file that is missing (or is a folder) fails and enters the list,
// so a repair brings it back. With skipMissingFiles the check passes over
// such entries instead: only for a package that brings just the changed
// files (the unpacked smart-patch package).
//
// A directory that begins with "Hexora.app/" loses every "Hexora.app/" in it
// (the scheme of the game names its files from above the bundle).
//
// Nothing outside targetPath is read or deleted: an entry whose directory or
// file is absolute or climbs out with ".." fails without anything being
// opened; a file reached through a link that points out of the folder counts
// as missing; only regular files are hashed (a pipe or a device fails its
// entry at once); the clean-up never follows a link and deletes only regular
// files. The broken list is replaced atomically.
//
// work() on the worker thread: throws Worker::LauncherError (code Failed,
// type "CValidation", state Failed_Validation, a "Failed"/"ERROR" record) only
// when the verdict cannot be written; returns normally otherwise, and quietly
// without writing anything when the run is cancelled. Posts ValidateFiles,
// then progress every 0.01 s, and 100 after a pass.
//
// Ownership: the worker owns its units (validationRequests, shared with
// jobs); its unit threads are joined before work() returns.
#include "engine/ThreadSafeArray.hpp"
#include "engine/Worker.hpp"
#include "services/file/SchemeFormat.hpp"
#include "workers/common/validate/ValidationUnit.hpp"

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace hexora::Worker::Common {

class CValidation : public Worker {
public:
    CValidation(std::shared_ptr<WorkerThread> workerThread, std::string schemePath, std::filesystem::path targetPath,
                std::filesystem::path brokenListPath, bool skipMissingFiles = false);

    void work() override;

    const std::string schemePath;
    const std::filesystem::path targetPath;
    const std::filesystem::path brokenListPath;
    const bool skipMissingFiles;
    /// One unit per checked file, in scheme order; filled by work().
    std::vector<std::shared_ptr<ValidationUnit>> validationRequests;
    /// The queue the unit threads take units from.
    ThreadSafeArray<std::shared_ptr<ValidationUnit>> jobs;

    /// The literal bodies of the broken list.
    static constexpr const char* SchemeNotFoundBody = "{\"broken\":\"scheme not found\"}";
    static constexpr const char* PathNotFoundBody = "{\"broken\":\"path not found\"}";

    /// The scheme directory as it lies below the checked folder: a directory
    /// that begins with "Hexora.app/" loses every occurrence of it.
    static std::string localDirectory(const std::string& directory);

private:
    void writeLiteral(const char* body, const std::string& event, const std::string& dataKey,
                      const std::string& dataValue, const std::string& message) const;
    void makeUnits(const SchemeFormat& scheme, std::vector<const SchemeFileInfo*>& entries,
                   std::vector<std::string>& checkedPaths);
    /// True when `path`, links resolved, is a regular file inside targetPath.
    bool isFileInside(const std::filesystem::path& path) const;
    void removeStaleBrokenList() const;
    void cleanUp(const std::vector<std::string>& checkedPaths) const;
    void writeBrokenList(const SchemeFormat& scheme, const std::vector<const SchemeFileInfo*>& entries) const;
    [[noreturn]] void fail(const std::string& event, const std::string& dataKey, const std::string& dataValue,
                           const std::string& message) const;
};

}  // namespace hexora::Worker::Common
