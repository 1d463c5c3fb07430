#pragma once
// The update pipeline shared by LPatch (the launcher) and GPatch (the game);
// UpdatePipelineProfile holds what differs between the two.
// V = the package name (updateVersion), temp = storage/"temp".
//
// work(), on the worker thread:
// - V must be one plain path component (not empty, ".", ".." and without
//   "/" or "\"), since it names files in temp; otherwise throws
//   Worker::LauncherError (code Failed, type the worker's name, message
//   "invalid package name: " + V, state Failed_Api_Unavailable_Version) and
//   touches nothing; so must the hash be (it names the package's folder on
//   the file server): otherwise the same error with "invalid package hash: "
//   + hash (requirePlainHash);
// - empties temp (a failure is ignored), then queues CDownload of
//   "/update/<hash>/V.zip" into temp, CUnzip of temp/V.zip into temp,
//   CValidation of temp/V/Hexora.app against temp/V/scheme.json (files the
//   scheme lists but the package lacks are passed over for a smart patch
//   only), and CCheckValidationResult, whose outcome goes to the worker's
//   onValidationResult (the profile's), which asks the one here.
// - every step it queues (the patch too) takes the package away when it
//   fails: temp is emptied but for the profile's backup location (see
//   packageCleanUp), so a failed road leaves no package and no partial files.
//
// onValidationResult(passed):
// - passed: queues CPatch (full) or CSmartPatch of temp/V/Hexora.app/Contents
//   over the profile's destination, with the profile's backup location and
//   its rules (owned folder, what must start afterwards, the road without the
//   swap), then the profile's next workers;
// - failed: throws Worker::LauncherError (code Failed, type
//   "CCheckValidationResult", the profile's message, state Failed_Validation,
//   record "CCheckValidationResult"/<the profile's event>/"Failed"/"INFO",
//   terminateWhenAvailable false). Nothing installed was touched.
#include "engine/Worker.hpp"
#include "workers/road/UpdatePipelineProfile.hpp"

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

namespace hexora::Worker::Common {

class UpdatePipeline {
public:
    using Package = UpdatePackage;

    /// `worker` and `profile` must outlive the object; `profile` must live for
    /// the process (the result check's callback holds it).
    UpdatePipeline(const Worker& worker, const UpdatePipelineProfile& profile, Package package);

    void work() const;

    static void onValidationResult(const std::shared_ptr<WorkerThread>& workerThread,
                                   const UpdatePipelineProfile& profile, const std::filesystem::path& temp,
                                   const Package& package, bool passed);

    /// The failure clean-up of the pipeline's steps: removes everything in
    /// temp except the profile's backup location; never throws.
    static std::function<void()> packageCleanUp(const UpdatePipelineProfile& profile,
                                                const std::filesystem::path& temp);

    /// True for a name that stays one path component below a folder.
    static bool isPlainName(const std::string& name);

    /// Throws Worker::LauncherError (code Failed, type `workerName`, message
    /// "invalid package hash: " + hash, state Failed_Api_Unavailable_Version,
    /// record `workerName`/"invalid package hash"/"Failed"/"ERROR" with
    /// "updateHash") unless `hash` is a plain name: a hash from the server
    /// must not lead anywhere but to its own folder under "/update".
    static void requirePlainHash(const std::string& workerName, const std::string& hash);

private:
    const Worker& worker_;
    const UpdatePipelineProfile& profile_;
    const Package package_;
};

}  // namespace hexora::Worker::Common
