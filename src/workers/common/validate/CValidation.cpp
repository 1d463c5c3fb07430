#include "workers/common/validate/CValidation.hpp"

#include "engine/LauncherError.hpp"
#include "platform/FileOps.hpp"
#include "services/file/Schemes.hpp"
#include "services/internal/Log.hpp"
#include "services/rum/LogData.hpp"
#include "workers/common/MultiFileWorker.hpp"
#include "workers/common/validate/ValidationThread.hpp"

#include <algorithm>
#include <string_view>
#include <system_error>
#include <unordered_set>

namespace hexora::Worker::Common {
namespace fs = std::filesystem;

namespace {

constexpr const char* BundlePrefix = "Hexora.app/";

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
    throw LauncherError::failure("CValidation", message, LauncherState::Failed_Validation, record);
}

void CValidation::writeLiteral(const char* body, const std::string& event, const std::string& dataKey,
                               const std::string& dataValue, const std::string& message) const {
    const fs::path path = brokenListPath.lexically_normal();
    std::error_code error;
    if (FileOps::itemExists(path)) fs::remove_all(path, error);
    if (error || !FileOps::replaceAtomically(path, body)) fail(event, dataKey, dataValue, message);
}

void CValidation::makeUnits(const SchemeFormat& scheme, std::vector<const SchemeFileInfo*>& entries,
                            std::vector<std::string>& checkedPaths) {
    for (const SchemeFileInfo& info : scheme.files) {
        const fs::path relative = fs::path(localDirectory(info.directory)) / info.file;
        const fs::path fullPath = targetPath / relative;
        // An entry naming a place outside the folder is never looked at: its
        // unit fails without touching the disk, also when missing files are skipped.
        const bool inside = FileOps::staysInside(relative);
        if (skipMissingFiles && inside && !isFileInside(fullPath)) continue;
        auto unit = std::make_shared<ValidationUnit>(fullPath.string(), info.hash, targetPath);
        validationRequests.push_back(unit);
        entries.push_back(&info);
        jobs.append(unit);
        if (inside) checkedPaths.push_back(fullPath.lexically_normal().string());
    }
}

bool CValidation::isFileInside(const fs::path& path) const {
    const auto resolved = FileOps::resolveInside(targetPath, path);
    std::error_code error;
    return resolved && fs::is_regular_file(*resolved, error);
}

void CValidation::removeStaleBrokenList() const {
    if (!FileOps::itemExists(brokenListPath)) return;
    std::error_code error;
    fs::remove_all(brokenListPath, error);
    if (error) Log::error("Failed to delete previous broken list : " + error.message());
}

void CValidation::cleanUp(const std::vector<std::string>& checkedPaths) const {
    // Links are never followed: a linked Contents is not the bundle's own
    // folder, and a link below it is an entry of its own, never a folder to
    // descend into. Only regular files are deleted.
    const fs::path contents = targetPath / "Contents";
    std::error_code error;
    if (fs::is_symlink(fs::symlink_status(contents, error))) {
        Log::info("Failed to list files for cleanup : " + contents.string() + " is a symbolic link");
        return;
    }
    std::vector<fs::path> listed;
    for (fs::recursive_directory_iterator it(contents, fs::directory_options::none, error), end; !error && it != end;
         it.increment(error)) {
        std::error_code typeError;
        if (it->symlink_status(typeError).type() == fs::file_type::regular) listed.push_back(it->path());
    }
    if (error) {
        Log::info("Failed to list files for cleanup : " + error.message());
        return;
    }
    // Looked up once per file of the tree: a set, so a bundle of many files
    // costs no more per file than a small one.
    const std::unordered_set<std::string_view> checked(checkedPaths.begin(), checkedPaths.end());
    std::string notes;
    for (const fs::path& path : listed) {
        const std::string text = path.lexically_normal().string();
        if (checked.count(text)) continue;
        if (!FileOps::isRegularFile(path)) continue;
        std::error_code removeError;
        fs::remove(path, removeError);
        if (!notes.empty()) notes += "\n";
        notes += (removeError ? "[x] " : "[o] ") + path.string();
    }
    if (!notes.empty())
        Rum::LogData("CValidation", "cleanup", "Succeeded", "INFO").addData("clearedFiles", notes).append();
}

void CValidation::writeBrokenList(const SchemeFormat& scheme, const std::vector<const SchemeFileInfo*>& entries) const {
    if (FileOps::itemExists(brokenListPath)) {
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
    if (!FileOps::replaceAtomically(brokenListPath, broken.encode()))
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

    // Each unit thread runs one check to its end.
    const MultiFileOutcome outcome =
        MultiFile::runUnits<ValidationUnit>(*this, validationRequests, [this] { ValidationThread(*this).main(); });
    if (outcome.cancelled) return;

    if (outcome.passed()) {
        Rum::LogData("CValidation", "completed", "Succeeded", "INFO").addData("targetPath", targetPath.string()).append();
        removeStaleBrokenList();
        MultiFile::postProgress(*this, 100.0);
        MultiFile::pauseAfterPassedStep(*this);
        cleanUp(checkedPaths);
        return;
    }
    Log::info("Validation failed : " + std::to_string(outcome.sum) + " " + std::to_string(outcome.count));
    writeBrokenList(scheme, entries);
}

}  // namespace hexora::Worker::Common
