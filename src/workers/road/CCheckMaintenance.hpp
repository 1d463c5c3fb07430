#pragma once
// The road taken when the update API answers on no domain: read the
// maintenance notice ("/config/maintenance.txt") from the file domains and,
// inside the announced window, let the user play with what is installed if
// it is intact.
//
// work() on the worker thread:
// - no notice on any file domain (each attempt recorded "download"
//   Start/Succeeded/Failed; each bounded by the download timeout, idle, and
//   by Http::WholeReplyTimeouts of it in all): throws "failed to get maintenance info"
//   (Worker::LauncherError, code Failed, type "CCheckMaintenance", state
//   Failed_Api);
// - a notice whose window does not hold now (UTC, both ends inclusive; a
//   date that does not parse is outside): throws "no maintenance period"
//   (same fields);
// - inside the window: queues the validation of the launcher bundle against
//   storage/"launcherScheme.json" and its result check, and returns; a pass
//   queues the same for the game bundle storage/"Hexora.app" against
//   "gameScheme.json", and a pass of that queues GStart. A failed validation
//   throws from the result check (type "CCheckValidationResult", state
//   UnderMaintenance) after the window, in local time, was set as the
//   second line of the UnderMaintenance message;
// - cancelled during the fetch: returns quietly, nothing queued.
// Always overwrites maintenanceStart()/maintenanceEnd() with the notice's
// window once a notice was read.
#include "engine/Worker.hpp"
#include "workers/common/maintenance/Info.hpp"

#include <filesystem>
#include <memory>
#include <optional>

namespace hexora::Worker::Common {

class CCheckMaintenance : public Worker {
public:
    explicit CCheckMaintenance(std::shared_ptr<WorkerThread> workerThread);

    void work() override;

    /// The notice from the first file domain that serves one, starting at the
    /// list's current index, or nullopt (also when cancelled). Never throws.
    std::optional<Info> checkMaintenance();

    /// Completion of the launcher's result check: a pass queues the game's
    /// validation and result check; a failure throws (see above).
    static void onLauncherValidationResult(const std::shared_ptr<WorkerThread>& workerThread,
                                           const std::filesystem::path& storage, bool passed);
    /// Completion of the game's result check: a pass queues GStart; a failure throws.
    static void onGameValidationResult(const std::shared_ptr<WorkerThread>& workerThread, bool passed);
};

}  // namespace hexora::Worker::Common
