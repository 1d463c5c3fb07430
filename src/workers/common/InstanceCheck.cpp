#include "workers/common/InstanceCheck.hpp"

#include "engine/LauncherError.hpp"
#include "platform/Clock.hpp"
#include "services/api/ReplyText.hpp"
#include "services/file/PlayerPrefsHelper.hpp"
#include "services/internal/Integers.hpp"
#include "services/internal/Process.hpp"
#include "services/rum/LogData.hpp"

#include <optional>

namespace hexora::Worker::Common {
namespace {

/// Waits for `application` to end; true when it is still running afterwards.
bool keepsRunning(const InstanceCheckTable& table, const RunningApplication& application) {
    if (application.isTerminated()) return false;
    const auto handedOverFrom = table.handedOverFrom ? table.handedOverFrom() : std::nullopt;
    const int polls = handedOverFrom == application.processIdentifier() ? InstanceCheck::HandOverWaitPolls
                                                                         : InstanceCheck::WaitPolls;
    for (int poll = 0; poll < polls; ++poll) {
        platform::sleepSeconds(InstanceCheck::WaitPollSeconds);
        if (application.isTerminated()) return false;
    }
    return true;
}

[[noreturn]] void failByLookup(const InstanceCheckTable& table, std::size_t lookup) {
    throw LauncherError::failure(table.reporter, table.messages[lookup], table.state,
                                 Rum::LogData(table.reporter, table.events[lookup], "Failed", "INFO"));
}

/// The entry exactly as stored: one with blanks around the digits is no id.
std::optional<std::int32_t> recordedProcessId(const char* key) {
    const auto entry = PlayerPrefsHelper::agent().getString(key);
    if (ReplyText::trimmed(entry).empty()) return std::nullopt;
    return parseInt32(entry);
}

}  // namespace

std::optional<RunningApplication> InstanceCheck::atProcessId(
    std::int32_t processIdentifier, const std::string& bundleIdentifier,
    const std::function<void(const std::optional<RunningApplication>&)>& notInstance) {
    auto application = Process::runningApplication(processIdentifier);
    if (application && application->bundleIdentifier() == bundleIdentifier) return application;
    if (notInstance) notInstance(application);
    return std::nullopt;
}

void InstanceCheck::find(const InstanceLookup& lookup, const Found& found) {
    if (lookup.recordedProcessId) {
        if (const auto application =
                atProcessId(*lookup.recordedProcessId, lookup.bundleIdentifier, lookup.notAtRecordedId)) {
            found(*application, ByProcessId);
        }
    }
    if (const auto application = Process::runningApplications(Process::BundleIdentifier{lookup.bundleIdentifier})) {
        found(*application, ByBundleIdentifier);
    }
    if (ReplyText::trimmed(lookup.executablePath).empty()) return;
    if (const auto application = Process::runningApplications(Process::ExecutableURL{lookup.executablePath})) {
        found(*application, ByExecutable);
    }
}

void InstanceCheck::check(const InstanceCheckTable& table) {
    const InstanceLookup lookup{
        recordedProcessId(table.processIdKey),
        table.bundleIdentifier,
        table.executablePath ? table.executablePath() : std::string(),
        {},
    };
    find(lookup, [&](const RunningApplication& application, Lookup by) {
        if (keepsRunning(table, application)) failByLookup(table, by);
    });
}

}  // namespace hexora::Worker::Common
