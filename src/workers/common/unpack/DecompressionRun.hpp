#pragma once
// What CGunzip and CUnzip share around the multi-file shape: the input check
// and the end of a run, with their texts and records.
//
// Thread: the worker thread, inside the worker's work().
#include "workers/common/MultiFileWorker.hpp"

#include <string>
#include <vector>

namespace hexora::Worker {
class Worker;
}

namespace hexora::Worker::Common::DecompressionRun {

/// Throws the "count mismatches" Worker::LauncherError (state
/// Failed_DecompressFiles, type and MinorType `className`) unless `sources`
/// is not empty and as long as `targets`; the record is also queued.
void checkCounts(const std::string& className, const std::vector<std::string>& sources,
                 const std::vector<std::string>& targets);

/// The end of a run that was not cancelled: when the outcome did not pass,
/// throws a Worker::LauncherError with `failurePrefix` + sum + "/" + count
/// (no record; the failed units sent theirs); otherwise queues the
/// "completed" record, posts progress 100 and pauses (MultiFile::pauseAfterPassedStep).
void finish(const Worker& worker, const std::string& className, const std::string& failurePrefix,
            const MultiFileOutcome& outcome);

}  // namespace hexora::Worker::Common::DecompressionRun
