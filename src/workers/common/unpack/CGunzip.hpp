#pragma once
// Turns gzip files into plain files, several at a time: sourcePaths[i] is
// inflated into targetPaths[i] (see GunzipUnit for one file).
//
// work() on the worker thread:
// - throws Worker::LauncherError (code Failed, type "CGunzip", state
//   Failed_DecompressFiles) on "sourcePaths and targetPaths count mismatches"
//   (empty or unequal lists; its record is queued too) and on
//   "some files failed to gunzip <sum>/<count>" (no record of its own);
// - returns normally when every file was inflated ("completed" record,
//   progress 100, the passed-step pause) or, quietly, when the run was cancelled.
// Posts DecompressFiles, then progress every 0.01 s.
//
// Ownership: the worker owns its units; its unit threads are joined before
// work() returns.
#include "engine/ThreadSafeArray.hpp"
#include "engine/Worker.hpp"
#include "workers/common/unpack/GunzipUnit.hpp"

#include <memory>
#include <string>
#include <vector>

namespace hexora::Worker::Common {

class CGunzip : public Worker {
public:
    CGunzip(std::shared_ptr<WorkerThread> workerThread, std::vector<std::string> sourcePaths,
            std::vector<std::string> targetPaths);

    void work() override;

    const std::vector<std::string> sourcePaths;
    const std::vector<std::string> targetPaths;
    /// One unit per file, in list order; filled by work().
    std::vector<std::shared_ptr<GunzipUnit>> gunzipRequests;
    /// The queue the unit threads take units from.
    ThreadSafeArray<std::shared_ptr<GunzipUnit>> jobs;
};

}  // namespace hexora::Worker::Common
