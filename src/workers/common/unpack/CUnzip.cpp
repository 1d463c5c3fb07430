#include "workers/common/unpack/CUnzip.hpp"

#include "workers/common/unpack/DecompressionRun.hpp"
#include "workers/common/MultiFileWorker.hpp"
#include "workers/common/unpack/UnzipThread.hpp"

namespace hexora::Worker::Common {

CUnzip::CUnzip(std::shared_ptr<WorkerThread> workerThread, std::vector<std::string> sources,
               std::vector<std::string> targets)
    : Worker(std::move(workerThread)), sourcePaths(std::move(sources)), targetPaths(std::move(targets)) {}

void CUnzip::work() {
    DecompressionRun::checkCounts("CUnzip", sourcePaths, targetPaths);
    MultiFile::postState(*this, LauncherState::DecompressFiles);
    // One budget for every package: at most coreCount threads extract at once.
    auto budget = std::make_shared<Archive::ThreadBudget>(static_cast<std::size_t>(MultiFile::threadLimit(*this)));
    for (std::size_t i = 0; i < sourcePaths.size(); ++i) {
        auto unit = std::make_shared<UnzipUnit>(sourcePaths[i], targetPaths[i], budget);
        unzipRequests.push_back(unit);
        jobs.append(unit);
    }
    const MultiFileOutcome outcome =
        MultiFile::runUnits<UnzipUnit>(*this, unzipRequests, [this] { UnzipThread(*this).main(); });
    if (outcome.cancelled) return;
    DecompressionRun::finish(*this, "CUnzip", "unzip failed : ", outcome);
}

}  // namespace hexora::Worker::Common
