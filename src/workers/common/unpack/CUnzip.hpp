#pragma once
// Extracts zip packages into folders, several at a time: sourcePaths[i] into
// the folder targetPaths[i] (see UnzipUnit and ZipExtract for one package).
//
// work() on the worker thread:
// - throws Worker::LauncherError (code Failed, type "CUnzip", state
//   Failed_DecompressFiles) on "sourcePaths and targetPaths count mismatches"
//   (empty or unequal lists; its record is queued too) and on
//   "unzip failed : <sum>/<count>" (no record of its own; each failed unit
//   sent an "unzip failed" record);
// - returns normally when every package was extracted ("completed" record,
//   progress 100, the passed-step pause) or, quietly, when the run was cancelled
//   (running extractions are stopped).
// Posts DecompressFiles, then progress every 0.01 s (by bytes written); the
// progress of a unit never goes down. The entries of each package are written
// by several threads; the packages share one budget, so at most coreCount
// threads extract at any time however many packages run.
//
// The unit threads are UnzipThreads; each logs "Start UnzipThread : " and
// "Ended UnzipThread : " with "<UnzipThread: thread id>" when it begins and ends.
//
// Ownership: the worker owns its units; its unit threads are joined before
// work() returns.
#include "engine/ThreadSafeArray.hpp"
#include "engine/Worker.hpp"
#include "workers/common/unpack/UnzipUnit.hpp"

#include <memory>
#include <string>
#include <vector>

namespace hexora::Worker::Common {

class CUnzip : public Worker {
public:
    CUnzip(std::shared_ptr<WorkerThread> workerThread, std::vector<std::string> sourcePaths,
           std::vector<std::string> targetPaths);

    void work() override;

    const std::vector<std::string> sourcePaths;
    const std::vector<std::string> targetPaths;
    /// One unit per package, in list order; filled by work().
    std::vector<std::shared_ptr<UnzipUnit>> unzipRequests;
    /// The queue the unit threads take units from.
    ThreadSafeArray<std::shared_ptr<UnzipUnit>> jobs;
};

}  // namespace hexora::Worker::Common
