#pragma once
// What differs between the launcher's and the game's update-info decision
// (LP22 and GP22); everything else is UpdateInfoDecision.
//
//   item                          LP22                     GP22
//   platform sent                 32                       33
//   version sent and compared     launcherVersion()        gameVersion()
//   error type, MinorType         "LP22.work"              "GP22.work"
//   scheme saved as (storage)     "launcherScheme.json.gz" "gameScheme.json.gz"
//   gunzipped scheme (storage)    "launcherScheme.json"    "gameScheme.json"
//   folder validated              the launcher bundle      storage/"Hexora.app"
//   broken-file list (storage)    "launcherRetry.json"     "gameRetry.json"
//   update worker                 LPatch                   GPatch
//   after a passed validation     GCheckProcess            a second clean-up, GStart
//   event of a failed validation  "Installed Launcher"     "Installed Game"
//   update after a failed repair  not after a self-restart always
#include "engine/WorkerBase.hpp"
#include "engine/WorkerThread.hpp"

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace hexora::Worker::Common {

struct UpdateInfoProfile {
    using Workers = std::vector<std::shared_ptr<WorkerBase>>;
    /// The update worker for a package: (thread, hash, package name, full patch).
    using MakeUpdateWorker = std::function<std::shared_ptr<WorkerBase>(const std::shared_ptr<WorkerThread>&,
                                                                       const std::string&, const std::string&, bool)>;
    /// The workers that follow a passed validation, behind the clean-up of
    /// `cleanUpPaths` that is always queued first.
    using AfterPass = std::function<Workers(const std::shared_ptr<WorkerThread>&,
                                            const std::vector<std::filesystem::path>& cleanUpPaths)>;

    int platform;
    std::string workType;
    std::string schemeArchiveName;
    std::string schemeName;
    std::string brokenListName;
    std::string installedEvent;
    std::function<std::string()> installedVersion;
    std::function<std::filesystem::path()> validatedFolder;
    MakeUpdateWorker makeUpdateWorker;
    AfterPass afterPassedValidation;
    /// Whether a failed repair may update once more; absent: always. The
    /// launcher that a self-update has just put in place does not, so that a
    /// broken scheme on the server cannot make it update and restart forever.
    std::function<bool()> updatesAfterFailedRepair;
};

}  // namespace hexora::Worker::Common
