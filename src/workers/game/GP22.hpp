#pragma once
// Asks the update API about the installed game (platform 33, gameVersion())
// and queues the road that follows: GPatch for a new version, the repair
// road that validates storage/"Hexora.app" against "gameScheme.json" (a
// second clean-up and GStart after a pass, a full GPatch after a failure),
// or CCheckMaintenance when no usable answer came. The algorithm and its
// failure are UpdateInfoDecision's; profile() holds the game's values.
//
// Thread: work() and requestUpdateInfo() on the worker thread, blocking for
// the posts. work() throws Worker::LauncherError (type "GP22.work", state
// Failed_Api_Unavailable_Version) when the reply names neither a usable new
// version nor a hash.
#include "engine/Worker.hpp"
#include "services/api/UpdateInfoResponse.hpp"
#include "workers/road/UpdateInfoProfile.hpp"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace hexora::Worker::Hexora {

class GP22 : public Worker {
public:
    using Worker::Worker;

    void work() override;

    /// Posts the update-info request for `version` (see UpdateInfoDecision);
    /// true when `reply` holds a usable reply.
    virtual bool requestUpdateInfo(const std::string& version, std::int64_t attempts,
                                   std::optional<ApiConf::UpdateInfo::Response>& reply);

    /// The completion callback handed to the repair road's result check
    /// (CCheckValidationResult), which holds the thread, temp and the reply:
    /// two clean-ups, then GStart on a pass, a full GPatch on a failure (see
    /// UpdateInfoDecision::onValidationResult).
    static void onValidationResult(const std::shared_ptr<WorkerThread>& workerThread,
                                   const std::filesystem::path& temp, const std::string& installedVersion,
                                   const ApiConf::UpdateInfo::Response& reply, bool passed);

    /// The game's values of the decision (lives for the process).
    static const Common::UpdateInfoProfile& profile();
};

}  // namespace hexora::Worker::Hexora
