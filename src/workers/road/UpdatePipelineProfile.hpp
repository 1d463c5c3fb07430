#pragma once
// What differs between the launcher's and the game's update pipeline (LPatch
// and GPatch); everything else is UpdatePipeline. temp = storage/"temp".
//
//   item                      LPatch                                GPatch
//   broken-file list          temp/"launcherRetry.json"             temp/"gameRetry.json"
//   patch destination         the launcher bundle/"Contents"        storage/"Hexora.app/Contents"
//   backup of the replaced    applicationSupport()/"Hexora.old.app" temp/"Hexora.old.app"
//   owned around the bundle   none                                  storage
//   must start afterwards     MacOS/Hexora, the launcher's id       MacOS/Hexora, the game's id
//   full patch without swap   file by file                          two moves (costs a download)
//   after the patch           LRestart                              CCleanUp of temp, GStart
//   failed validation message "Launcher integrity check failed      "Game integrity check failed
//                              after download"                       after download"
//   failed validation Event   "Downloaded Launcher"                 "Downloaded Game"
//   result check's completion LPatch::onValidationResult            GPatch::onValidationResult
#include "engine/WorkerBase.hpp"
#include "engine/WorkerThread.hpp"
#include "workers/common/patch/StartableBundle.hpp"

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace hexora::Worker::Common {

/// The package a pipeline installs: the update worker's three fields.
struct UpdatePackage {
    std::string updateHash;
    std::string updateVersion;
    bool isFullPatch = true;
};

struct UpdatePipelineProfile {
    using Workers = std::vector<std::shared_ptr<WorkerBase>>;
    /// The worker's completion of the package's result check
    /// (LPatch::onValidationResult, GPatch::onValidationResult): given the
    /// thread, temp, the package and whether it passed.
    using ValidationResult = void (*)(const std::shared_ptr<WorkerThread>&, const std::filesystem::path& temp,
                                      const UpdatePackage& package, bool passed);

    std::string workerName;
    std::string brokenListName;
    std::function<std::filesystem::path()> destination;
    std::function<std::filesystem::path()> backupLocation;
    /// The folder inside which the patch may replace what stands in the
    /// bundle's way (see PatchGuard); empty function: none.
    std::function<std::filesystem::path()> ownedFolder;
    /// What the patched bundle must hold to start (see StartableBundle).
    std::function<StartableBundle()> startable;
    /// Whether a full patch without the one-step swap goes file by file
    /// (see CPatch), so that the bundle is never without its executable.
    bool fileByFileWithoutSwap = false;
    /// The workers queued behind the patch; given the thread and temp.
    std::function<Workers(const std::shared_ptr<WorkerThread>&, const std::filesystem::path& temp)> afterPatch;
    std::string integrityMessage;
    std::string downloadedEvent;
    ValidationResult onValidationResult;
};

}  // namespace hexora::Worker::Common
