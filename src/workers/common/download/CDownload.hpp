#pragma once
// Downloads a set of files from the file server into one folder, several at
// a time: file i is "/update/" + hashes[i] + "/" + files[i] on the current
// file domain and lands at targetDirectory/files[i]. A failed file is tried
// again on the next file domain while its attempts allow; a file that
// succeeds makes its domain the current one (and the settings' cdn_dsa_index).
//
// work() on the worker thread:
// - throws Worker::LauncherError (code Failed, type "CDownload", state
//   Failed_Download, terminateWhenAvailable false, a "Failed"/"ERROR" record)
//   on "count mismatches" (hashes empty or of another length than files; the
//   target is not touched), "cannot remove targetPath" (a non-folder stands
//   at targetDirectory and cannot be deleted), "cannot create targetPath"
//   and "some downloads failed (sum/count)" (the sum of the transfer
//   fractions is not the number of files);
// - returns normally when every file arrived (log "Download complete", a
//   "download"/"Succeeded" record, progress 100, the passed-step pause, cut
//   short by a cancel) or when the run was cancelled (quietly, once every
//   unit is final; the transfers are aborted and each sends its own failure
//   record).
// Posts Downloading once, then progress (sum / count x 100) every 0.01 s.
//
// The unit threads are DownloadThreads: each runs start() (the whole
// transfer) and then the after-unit step: on Success the unit's domain is
// recorded as the answering one (the file domain list's current index, 0 when
// out of range, and the loaded settings' cdn_dsa_index in memory); Failed
// with attempts left and not cancelled: retry() on the next domain and back
// to the end of jobs; anything else: the unit is dropped.
//
// Ownership: the worker owns its units (downloadRequests, shared with jobs);
// its unit threads are joined before work() returns.
#include "engine/ThreadSafeArray.hpp"
#include "engine/Worker.hpp"
#include "workers/common/download/DownloadUnit.hpp"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace hexora::Worker::Common {

class CDownload : public Worker {
public:
    CDownload(std::shared_ptr<WorkerThread> workerThread, std::vector<std::string> hashes,
              std::vector<std::string> files, std::string targetDirectory);

    void work() override;

    const std::vector<std::string> hashes;
    const std::vector<std::string> files;
    const std::string targetDirectory;
    /// One unit per file, in list order; filled by work().
    std::vector<std::shared_ptr<DownloadUnit>> downloadRequests;
    /// The queue the unit threads take units from.
    ThreadSafeArray<std::shared_ptr<DownloadUnit>> jobs;
    /// Called on the unit thread once a success has been recorded as its
    /// domain's answer, with that domain's index (tests follow the order of
    /// the answers with it); may be empty. Set before work().
    std::function<void(std::int64_t index)> onDomainAnswered;

private:
    void checkInputs() const;
    void prepareTarget() const;
    [[noreturn]] void fail(const std::string& event, const std::string& message, const std::string& path = {},
                           const std::string& innerError = {}) const;
};

/// A real in its shortest form, always with a fractional part ("2.5", "3.0").
std::string shortestReal(double value);

}  // namespace hexora::Worker::Common
