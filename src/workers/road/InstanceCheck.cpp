#include "workers/road/InstanceCheck.hpp"

#include "engine/LauncherError.hpp"
#include "platform/Clock.hpp"
#include "platform/InstanceLock.hpp"
#include "services/api/ReplyText.hpp"
#include "services/file/PlayerPrefsHelper.hpp"
#include "services/internal/Integers.hpp"
#include "services/internal/Log.hpp"
#include "services/internal/Process.hpp"
#include "services/rum/LogData.hpp"

#include <optional>

namespace hexora::Worker::Common {
namespace {

std::optional<std::int32_t> handedOverFrom(const InstanceCheckTable& table) {
    return table.handedOverFrom ? table.handedOverFrom() : std::nullopt;
}

/// Polls until `ended` holds; true when it still does not after the wait.
bool outlastsWait(int polls, const std::function<bool()>& ended) {
    if (ended()) return false;
    for (int poll = 0; poll < polls; ++poll) {
        platform::sleepSeconds(InstanceCheck::WaitPollSeconds);
        if (ended()) return false;
    }
    return true;
}

/// Waits for `application` to end; true when it is still running afterwards.
bool keepsRunning(const InstanceCheckTable& table, const RunningApplication& application) {
    const int polls = handedOverFrom(table) == application.processIdentifier() ? InstanceCheck::HandOverWaitPolls
                                                                               : InstanceCheck::WaitPolls;
    return outlastsWait(polls, [&] { return application.isTerminated(); });
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

namespace {

InstanceLookup lookupOf(const InstanceCheckTable& table) {
    return {
        recordedProcessId(table.processIdKey),
        table.bundleIdentifier,
        table.executablePath ? table.executablePath() : std::string(),
        {},
    };
}

/// Whether the lock has settled it: true when this process holds it (now or
/// after the wait). Throws the error of the holder, named by the lookups,
/// when another process keeps it. False when there is no lock to be had.
bool settledByLock(const InstanceCheckTable& table) {
    using Result = platform::InstanceLock::Result;
    const auto lock = platform::InstanceLock::current();
    const std::filesystem::path file = table.lockFile();
    const Result first = lock->tryAcquire(file);
    if (first == Result::Held) return true;
    if (first == Result::Unavailable) {
        Log::warning(std::string(table.reporter) + ": no instance lock at " + file.string() +
                     "; the process list alone decides");
        return false;
    }
    const auto previous = handedOverFrom(table);
    const bool handOver = previous && InstanceCheck::atProcessId(*previous, table.bundleIdentifier);
    const int polls = handOver ? InstanceCheck::HandOverWaitPolls : InstanceCheck::WaitPolls;
    if (!outlastsWait(polls, [&] { return lock->tryAcquire(file) == Result::Held; })) return true;
    InstanceCheck::find(lookupOf(table), [&](const RunningApplication&, InstanceCheck::Lookup by) {
        failByLookup(table, by);
    });
    failByLookup(table, InstanceCheck::ByBundleIdentifier);
}

}  // namespace

void InstanceCheck::check(const InstanceCheckTable& table) {
    if (table.lockFile && settledByLock(table)) return;
    find(lookupOf(table), [&](const RunningApplication& application, Lookup by) {
        if (keepsRunning(table, application)) failByLookup(table, by);
    });
}

}  // namespace hexora::Worker::Common
