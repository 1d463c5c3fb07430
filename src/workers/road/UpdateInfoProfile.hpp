#pragma once
// What differs between the launcher's and the game's update-info decision
// (LP22 and GP22); everything else is UpdateInfoDecision.
//
//   item                          LP22                     GP22
//   platform sent                 LauncherProduct's        GameProduct's
//   version sent and compared     launcherVersion()        gameVersion()
//   error type, MinorType         "LP22.work"              "GP22.work"
//   scheme saved as (storage)     "launcherScheme.json.gz" "gameScheme.json.gz"
//   gunzipped scheme (storage)    "launcherScheme.json"    "gameScheme.json"
//   folder validated              the launcher bundle      storage/"Hexora.app"
//   broken-file list (storage)    "launcherRetry.json"     "gameRetry.json"
//   update worker                 LPatch                   GPatch
//   after a passed validation     GCheckProcess            a second clean-up, GStart
//   event of a failed validation  "Installed Launcher"     "Installed Game"
//   updated already this start    after a self-restart     never
//   result check's completion     LP22::onValidationResult GP22::onValidationResult
#include "engine/WorkerBase.hpp"
#include "engine/WorkerThread.hpp"
#include "services/api/UpdateInfoResponse.hpp"

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
    /// The worker's completion of the repair road's result check
    /// (LP22::onValidationResult, GP22::onValidationResult): given the
    /// thread, temp, the installed version, the reply and whether it passed.
    using ValidationResult = void (*)(const std::shared_ptr<WorkerThread>&, const std::filesystem::path& temp,
                                      const std::string& installedVersion, const ApiConf::UpdateInfo::Response& reply,
                                      bool passed);

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
    /// True in the process that its own update has just put in place (the
    /// launcher started by its self-restart); absent: never. Such a process
    /// updates no further in this start by the user: neither after a failed
    /// repair nor when it is offered a new version again, so that a broken
    /// scheme or a package that carries another version than the one
    /// announced cannot make it update and restart forever.
    std::function<bool()> updatedThisStart;
    ValidationResult onValidationResult;
};

}  // namespace hexora::Worker::Common
