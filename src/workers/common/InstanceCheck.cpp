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
    Rum::LogData record(table.reporter, table.events[lookup], "Failed", "INFO");
    throw LauncherError(LauncherError::Code::Failed, table.reporter, table.messages[lookup])
        .withState(table.state)
        .withRum(record)
        .withTerminateWhenAvailable(false);
}

std::optional<RunningApplication> byRecordedProcessId(const InstanceCheckTable& table) {
    const auto entry = PlayerPrefsHelper::agent().getString(table.processIdKey);
    if (ReplyText::trimmed(entry).empty()) return std::nullopt;
    const auto processIdentifier = parseInt32(entry);
    if (!processIdentifier) return std::nullopt;
    auto application = Process::runningApplication(*processIdentifier);
    if (!application || application->bundleIdentifier() != table.bundleIdentifier) return std::nullopt;
    return application;
}

std::optional<RunningApplication> byExecutable(const InstanceCheckTable& table) {
    const auto executable = table.executablePath ? table.executablePath() : std::string();
    if (ReplyText::trimmed(executable).empty()) return std::nullopt;
    return Process::runningApplications(Process::ExecutableURL{executable});
}

}  // namespace

void InstanceCheck::check(const InstanceCheckTable& table) {
    if (const auto found = byRecordedProcessId(table); found && keepsRunning(table, *found)) failByLookup(table, 0);
    if (const auto found = Process::runningApplications(Process::BundleIdentifier{table.bundleIdentifier});
        found && keepsRunning(table, *found)) {
        failByLookup(table, 1);
    }
    if (const auto found = byExecutable(table); found && keepsRunning(table, *found)) failByLookup(table, 2);
}

}  // namespace hexora::Worker::Common
