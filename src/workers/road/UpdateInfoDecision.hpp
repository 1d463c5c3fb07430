#pragma once
// The update-info decision shared by LP22 (the launcher) and GP22 (the
// game); UpdateInfoProfile holds what differs between the two.
//
// requestUpdateInfo(version, attempts, reply) posts the update-info request
// ("/conf", p 22, the profile's platform, app_version = version) over the API
// domains from the list's current index, at most `attempts` posts (none when
// attempts < 1). The domain that answers becomes the current one and the
// loaded settings' api_dsa_index (in memory). Then the second-request rule:
// when the reply's v_check is a version text (isVersionString) that is not
// above `version`, the reply is not used: without v_check_url2 the result is
// false, otherwise the same request is posted once to v_check_url2 and its
// outcome is the result. v_check_url is never read. Posts the ApiRequest
// state first. True when `reply` holds a usable reply.
//
// work(request), for the worker's work(), on the worker thread:
// 1. attempts = URL retry count x number of API domains; asks `request`.
// 2. Flushes pending telemetry without waiting. When the run was cancelled
//    meanwhile: returns, queueing nothing and writing nothing.
// 3. No usable reply: queues CCheckMaintenance and returns.
// 4. Writes the settings file (atomically; a failure is ignored) and empties
//    the storage folder's temp folder (a failure is ignored).
// 5. Decides, after refusing a non-empty `hash` that is not one plain path
//    component (UpdatePipeline::requirePlainHash, type the profile's
//    workType; nothing is queued):
//    - new version (a non-empty `version` whose text differs from the
//      installed one, lower ones too): queues the update worker, a smart
//      patch to `file` when `file` holds "_", else a full patch to `version`;
//      but in a process its own update has put in place this start (the
//      profile's updatedThisStart) it records <workType>/"new version again
//      after an update"/"Exception"/"WARNING" with Data "AnnouncedVersion"
//      and "InstalledVersion" and queues the profile's workers of a passed
//      validation instead (for the launcher: on to the game's check);
//    - otherwise, with a non-empty `hash`, the repair road: CLoadSchemes
//      ("scheme.json.gz" under the hash), CGunzip, CValidation of the
//      profile's folder, CCheckValidationResult whose outcome goes to the
//      worker's onValidationResult (the profile's), which asks the one here;
//    - otherwise, and also for a new version without a hash (the package
//      cannot be named): throws Worker::LauncherError, code Failed, type and
//      MinorType the profile's workType, state Failed_Api_Unavailable_Version,
//      message "unavailable version <installed> from P22: no version or hash",
//      Event "unavailable version <installed>", terminateWhenAvailable false.
//
// onValidationResult(passed) queues a clean-up of temp, the downloaded
// ".json.gz" scheme and the broken-file list, then on a pass the profile's
// next workers; on a failure it records "CCheckValidationResult"/<the
// profile's installedEvent>/"Failed" and queues a full patch to the reply's
// version, or, when the reply names no version, throws the
// Failed_Api_Unavailable_Version error above. In a process updated this
// start (the profile's updatedThisStart) it throws instead: code Failed, type the profile's workType,
// state Failed_Validation, no record of its own, terminateWhenAvailable
// false; the window stays with the failure.
#include "engine/Worker.hpp"
#include "services/api/UpdateInfoResponse.hpp"
#include "workers/road/UpdateInfoProfile.hpp"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace hexora::Worker::Common {

class UpdateInfoDecision {
public:
    using Response = ApiConf::UpdateInfo::Response;
    using Request = std::function<bool(const std::string& version, std::int64_t attempts,
                                       std::optional<Response>& reply)>;

    /// `worker` and `profile` must outlive the object.
    UpdateInfoDecision(const Worker& worker, const UpdateInfoProfile& profile);

    bool requestUpdateInfo(const std::string& version, std::int64_t attempts, std::optional<Response>& reply) const;
    /// The whole decision; `request` is the worker's requestUpdateInfo.
    void work(const Request& request) const;

    /// `profile` must live for the process (the callback outlives the worker).
    static void onValidationResult(const std::shared_ptr<WorkerThread>& workerThread, const UpdateInfoProfile& profile,
                                   const std::filesystem::path& temp, const std::string& installedVersion,
                                   const Response& reply, bool passed);

private:
    void decide(const std::string& installedVersion, const Response& reply) const;
    void queueRepair(const Response& reply, const std::string& installedVersion) const;
    void declineUpdate(const std::string& installedVersion, const Response& reply) const;
    [[noreturn]] static void failRepairAgain(const UpdateInfoProfile& profile);
    [[noreturn]] static void failUnavailable(const UpdateInfoProfile& profile, const std::string& installedVersion);

    const Worker& worker_;
    const UpdateInfoProfile& profile_;
};

}  // namespace hexora::Worker::Common
