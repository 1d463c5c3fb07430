#pragma once
// Fetches one gzip-compressed scheme file from the file server,
// "/update/" + hashKey + "/" + sourceName, into storagePath()/destFileName,
// trying the file domains in turn from the list's current index
// (URL retry count x number of domains attempts; none when that is 0).
//
// work() on the worker thread, blocking for each attempt:
// - each attempt queues a "download"/"Start" record, then "Succeeded", or
//   "Failed" at level "INFO" with "ErrorCode" only when a status arrived and
//   "ErrorDescription" only when there is one; an attempt succeeds on a whole
//   2xx reply;
// - the first success makes that domain the current one (and the loaded
//   settings' cdn_dsa_index, in memory) and returns;
// - when every attempt failed it still returns normally, leaving the domain
//   index and the settings as they were; whatever stood at the destination
//   is removed then, so the gunzip step that follows fails on it rather than
//   reading a scheme of an earlier run.
// - a cancel of the run aborts the transfer in flight (its attempt is
//   recorded "Failed" with the abort's description), asks no further domain
//   and returns, leaving the destination as it was.
// It never throws, posts no display state and never calls its completion
// handler. The file at the destination is replaced only by a complete body
// of at most Schemes::MaxArchiveBytes (a reply that announces or sends more
// fails its attempt, its "Failed" record naming the cap); a failed attempt
// leaves no temporary file (those of a killed run go at the next start).
#include "engine/Worker.hpp"

#include <memory>
#include <string>

namespace hexora::Worker::Common {

class CLoadSchemes : public Worker {
public:
    CLoadSchemes(std::shared_ptr<WorkerThread> workerThread, std::string hashKey, std::string sourceName,
                 std::string destFileName);

    void work() override;

    const std::string hashKey;
    const std::string sourceName;
    const std::string destFileName;

private:
    /// One attempt on the file domain `base`; true on success.
    bool attempt(const std::string& base) const;
};

}  // namespace hexora::Worker::Common
