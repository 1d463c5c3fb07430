#include "workers/common/download/CDownload.hpp"

#include "engine/LauncherError.hpp"
#include "platform/FileOps.hpp"
#include "services/internal/Log.hpp"
#include "services/rum/LogData.hpp"
#include "workers/common/MultiFileWorker.hpp"
#include "workers/common/download/DownloadThread.hpp"

#include <charconv>
#include <filesystem>
#include <system_error>

namespace hexora::Worker::Common {
namespace fs = std::filesystem;

std::string shortestReal(double value) {
    char text[64];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    std::string written(text, end);
    if (written.find_first_of(".eEn") == std::string::npos) written += ".0";
    return written;
}

CDownload::CDownload(std::shared_ptr<WorkerThread> workerThread, std::vector<std::string> hashesIn,
                     std::vector<std::string> filesIn, std::string targetDirectoryIn)
    : Worker(std::move(workerThread)),
      hashes(std::move(hashesIn)),
      files(std::move(filesIn)),
      targetDirectory(std::move(targetDirectoryIn)) {}

void CDownload::fail(const std::string& event, const std::string& message, const std::string& path,
                     const std::string& innerError) const {
    Rum::LogData record("CDownload", event, "Failed", "ERROR");
    if (!path.empty()) record.addData("path", path);
    LauncherError error(LauncherError::Code::Failed, "CDownload", message);
    error.withState(LauncherState::Failed_Download).withRum(record).withTerminateWhenAvailable(false);
    if (!innerError.empty()) error.withError(innerError);
    throw error;
}

void CDownload::checkInputs() const {
    if (!hashes.empty() && hashes.size() == files.size()) return;
    fail("count mismatches", "hashes and files count mismatches " + std::to_string(hashes.size()) + " vs " +
                                 std::to_string(files.size()));
}

void CDownload::prepareTarget() const {
    const fs::path target(targetDirectory);
    std::error_code error;
    if (fs::is_directory(fs::status(target, error))) return;
    if (FileOps::itemExists(target)) {
        // A file (or a dangling link) in the way: the transfers make the folder.
        fs::remove(target, error);
        if (error) fail("cannot remove targetPath", "cannot remove targetPath", targetDirectory, error.message());
        return;
    }
    fs::create_directories(target, error);
    if (error) fail("cannot create targetPath", "cannot create targetPath", targetDirectory, error.message());
}

void CDownload::work() {
    checkInputs();
    prepareTarget();
    if (MultiFile::isCancelled(*this)) return;
    MultiFile::postState(*this, LauncherState::Downloading);

    for (std::size_t i = 0; i < hashes.size(); ++i) {
        const std::string downloadUrl = (fs::path(hashes[i]) / files[i]).string();
        const std::string targetPath = (fs::path(targetDirectory) / files[i]).string();
        auto unit = std::make_shared<DownloadUnit>(downloadUrl, targetPath);
        downloadRequests.push_back(unit);
        if (!FileOps::staysInside(files[i])) {
            unit->refuse("refused file name outside the target folder: " + files[i]);
            continue;
        }
        jobs.append(unit);
    }

    const MultiFileOutcome outcome =
        MultiFile::runUnits<DownloadUnit>(*this, downloadRequests, [this] { DownloadThread(*this).main(); });
    if (outcome.cancelled) return;
    if (!outcome.passed()) {
        fail("some downloads failed",
             "some downloads failed (" + shortestReal(outcome.sum) + "/" + shortestReal(outcome.count) + ")");
    }
    Log::info("Download complete");
    Rum::LogData("CDownload", "download", "Succeeded", "INFO").append();
    MultiFile::postProgress(*this, 100.0);
    MultiFile::pauseAfterPassedStep(*this);
}

}  // namespace hexora::Worker::Common
