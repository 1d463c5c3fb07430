#include "workers/common/CValidation.hpp"

#include "engine/LauncherError.hpp"
#include "services/file/Schemes.hpp"
#include "services/internal/Log.hpp"
#include "services/rum/LogData.hpp"
#include "workers/common/MultiFileWorker.hpp"
#include "workers/common/ValidationThread.hpp"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <system_error>
#include <unistd.h>

namespace hexora::Worker::Common {
namespace fs = std::filesystem;

namespace {

constexpr const char* BundlePrefix = "Hexora.app/";

bool itemExists(const fs::path& path) {
    std::error_code ignored;
    return fs::symlink_status(path, ignored).type() != fs::file_type::not_found;
}

// Writes `bytes` to `path` through a temporary file in the same folder and a
// rename, so the path holds either the old or the complete new content.
bool writeAtomically(const fs::path& path, const std::string& bytes) {
    std::string pattern = (path.parent_path() / ("." + path.filename().string() + ".XXXXXX")).string();
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) return false;
    bool written = true;
    std::size_t done = 0;
    while (written && done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) written = false;
        else done += static_cast<std::size_t>(n);
    }
    if (::close(fd) != 0) written = false;
    if (!written || std::rename(pattern.c_str(), path.c_str()) != 0) {
        std::remove(pattern.c_str());
        return false;
    }
    return true;
}

bool writePlainly(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return static_cast<bool>(out);
}

}  // namespace

CValidation::CValidation(std::shared_ptr<WorkerThread> workerThread, std::string schemePathIn,
                         fs::path targetPathIn, fs::path brokenListPathIn, bool skipMissingFilesIn)
    : Worker(std::move(workerThread)),
      schemePath(std::move(schemePathIn)),
      targetPath(std::move(targetPathIn)),
      brokenListPath(std::move(brokenListPathIn)),
      skipMissingFiles(skipMissingFilesIn) {}

std::string CValidation::localDirectory(const std::string& directory) {
    if (directory.rfind(BundlePrefix, 0) != 0) return directory;
    std::string result;
    const std::string prefix = BundlePrefix;
    std::size_t from = 0;
    for (std::size_t at = directory.find(prefix); at != std::string::npos; at = directory.find(prefix, from)) {
        result.append(directory, from, at - from);
        from = at + prefix.size();
    }
    result.append(directory, from, std::string::npos);
    return result;
}

void CValidation::fail(const std::string& event, const std::string& dataKey, const std::string& dataValue,
                       const std::string& message) const {
    Rum::LogData record("CValidation", event, "Failed", "ERROR");
    record.addData(dataKey, dataValue);
    throw LauncherError(LauncherError::Code::Failed, "CValidation", message, LauncherState::Failed_Validation, record,
                        false);
}

void CValidation::writeLiteral(const char* body, const std::string& event, const std::string& dataKey,
                               const std::string& dataValue, const std::string& message) const {
    const fs::path path = brokenListPath.lexically_normal();
    std::error_code error;
    if (itemExists(path)) fs::remove_all(path, error);
    if (error || !writeAtomically(path, body)) fail(event, dataKey, dataValue, message);
}

void CValidation::makeUnits(const SchemeFormat& scheme, std::vector<const SchemeFileInfo*>& entries,
                            std::vector<std::string>& checkedPaths) {
    for (const SchemeFileInfo& info : scheme.files) {
        const fs::path fullPath = targetPath / localDirectory(info.directory) / info.file;
        if (skipMissingFiles) {
            std::error_code error;
            const auto status = fs::status(fullPath, error);
            if (!fs::exists(status) || fs::is_directory(status)) continue;
        }
        auto unit = std::make_shared<ValidationUnit>(fullPath.string(), info.hash);
        validationRequests.push_back(unit);
        entries.push_back(&info);
        jobs.append(unit);
        checkedPaths.push_back(fullPath.lexically_normal().string());
    }
}

void CValidation::removeStaleBrokenList() const {
    if (!itemExists(brokenListPath)) return;
    std::error_code error;
    fs::remove_all(brokenListPath, error);
    if (error) Log::error("Failed to delete previous broken list : " + error.message());
}

void CValidation::cleanUp(const std::vector<std::string>& checkedPaths) const {
    const fs::path contents = targetPath / "Contents";
    std::vector<fs::path> listed;
    std::error_code error;
    for (fs::recursive_directory_iterator it(contents, error), end; !error && it != end; it.increment(error))
        listed.push_back(it->path());
    if (error) {
        Log::info("Failed to list files for cleanup : " + error.message());
        return;
    }
    std::string notes;
    for (const fs::path& path : listed) {
        std::error_code statusError;
        const auto status = fs::status(path, statusError);
        if (!fs::exists(status) || fs::is_directory(status)) continue;
        const std::string text = path.lexically_normal().string();
        if (std::find(checkedPaths.begin(), checkedPaths.end(), text) != checkedPaths.end()) continue;
        std::error_code removeError;
        fs::remove(path, removeError);
        if (!notes.empty()) notes += "\n";
        notes += (removeError ? "[x] " : "[o] ") + path.string();
    }
    if (!notes.empty())
        Rum::LogData("CValidation", "cleanup", "Succeeded", "INFO").addData("clearedFiles", notes).append();
}

void CValidation::writeBrokenList(const SchemeFormat& scheme, const std::vector<const SchemeFileInfo*>& entries) const {
    if (itemExists(brokenListPath)) {
        std::error_code error;
        fs::remove_all(brokenListPath, error);
        if (error)
            fail("prev broken list file delete", "brokenListPath", brokenListPath.string(),
                 "failed to delete previous broken list file");
    }
    SchemeFormat broken{scheme.version, scheme.header, {}};
    for (std::size_t i = 0; i < validationRequests.size(); ++i) {
        if (validationRequests[i]->state() == ValidationUnit::ValidationState::Failed) broken.files.push_back(*entries[i]);
    }
    // The JSON writer never escapes "/", so the list reads as the scheme does.
    if (!writePlainly(brokenListPath, broken.encode()))
        fail("broken list file save", "brokenListPath", brokenListPath.string(), "failed to save broken list file");
}

void CValidation::work() {
    Schemes schemes(schemePath);
    schemes.load();
    if (!schemes.scheme || schemes.scheme->files.empty()) {
        writeLiteral(SchemeNotFoundBody, "loadSchemes", "path", schemePath, "cannot load scheme");
        return;
    }
    const SchemeFormat& scheme = *schemes.scheme;
    if (MultiFile::isCancelled(*this)) return;
    std::error_code error;
    if (!fs::is_directory(targetPath, error)) {
        writeLiteral(PathNotFoundBody, "path not found", "path", targetPath.string(),
                     targetPath.string() + " not found");
        return;
    }
    if (MultiFile::isCancelled(*this)) return;
    MultiFile::postState(*this, LauncherState::ValidateFiles);

    std::vector<const SchemeFileInfo*> entries;
    std::vector<std::string> checkedPaths;
    makeUnits(scheme, entries, checkedPaths);

    const MultiFileOutcome outcome = MultiFile::runUnits<ValidationUnit>(
        *this, validationRequests, [this] { return std::make_unique<ValidationThread>(*this); });
    if (outcome.cancelled) return;

    if (outcome.passed()) {
        Rum::LogData("CValidation", "completed", "Succeeded", "INFO").addData("targetPath", targetPath.string()).append();
        removeStaleBrokenList();
        MultiFile::postProgress(*this, 100.0);
        MultiFile::pause(1.0);
        cleanUp(checkedPaths);
        return;
    }
    Log::info("Validation failed : " + std::to_string(outcome.sum) + " " + std::to_string(outcome.count));
    writeBrokenList(scheme, entries);
}

}  // namespace hexora::Worker::Common
