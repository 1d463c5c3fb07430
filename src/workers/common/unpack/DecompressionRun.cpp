#include "workers/common/unpack/DecompressionRun.hpp"

#include "engine/LauncherError.hpp"
#include "engine/Worker.hpp"
#include "services/rum/LogData.hpp"

#include <charconv>

namespace hexora::Worker::Common::DecompressionRun {
namespace {

// A real in its shortest form, always with a fractional part ("0.0", "2.5").
std::string withFraction(double value) {
    char text[64];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    std::string written(text, end);
    if (written.find_first_of(".eEn") == std::string::npos) written += ".0";
    return written;
}

}  // namespace

void checkCounts(const std::string& className, const std::vector<std::string>& sources,
                 const std::vector<std::string>& targets) {
    if (!sources.empty() && sources.size() == targets.size()) return;
    Rum::LogData record(className, "count mismatches", "Failed", "ERROR");
    record.append();
    throw LauncherError::failure(className, "sourcePaths and targetPaths count mismatches",
                                 LauncherState::Failed_DecompressFiles, record);
}

void finish(const Worker& worker, const std::string& className, const std::string& failurePrefix,
            const MultiFileOutcome& outcome) {
    if (!outcome.passed()) {
        const std::string message = failurePrefix + withFraction(outcome.sum) + "/" + withFraction(outcome.count);
        throw LauncherError::failure(className, message, LauncherState::Failed_DecompressFiles);
    }
    Rum::LogData(className, "completed", "Succeeded", "INFO").append();
    MultiFile::postProgress(worker, 100.0);
    MultiFile::pauseAfterPassedStep(worker);
}

}  // namespace hexora::Worker::Common::DecompressionRun
