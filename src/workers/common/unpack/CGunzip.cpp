#include "workers/common/unpack/CGunzip.hpp"

#include "workers/common/unpack/DecompressionRun.hpp"
#include "workers/common/unpack/GunzipThread.hpp"
#include "workers/common/MultiFileWorker.hpp"

namespace hexora::Worker::Common {

CGunzip::CGunzip(std::shared_ptr<WorkerThread> workerThread, std::vector<std::string> sources,
                 std::vector<std::string> targets)
    : Worker(std::move(workerThread)), sourcePaths(std::move(sources)), targetPaths(std::move(targets)) {}

void CGunzip::work() {
    DecompressionRun::checkCounts("CGunzip", sourcePaths, targetPaths);
    MultiFile::postState(*this, LauncherState::DecompressFiles);
    for (std::size_t i = 0; i < sourcePaths.size(); ++i) {
        auto unit = std::make_shared<GunzipUnit>(sourcePaths[i], targetPaths[i]);
        gunzipRequests.push_back(unit);
        jobs.append(unit);
    }
    const MultiFileOutcome outcome =
        MultiFile::runUnits<GunzipUnit>(*this, gunzipRequests, [this] { GunzipThread(*this).main(); });
    if (outcome.cancelled) return;
    DecompressionRun::finish(*this, "CGunzip", "some files failed to gunzip ", outcome);
}

}  // namespace hexora::Worker::Common
