#pragma once
// The one owner of finding a running instance of a product: by the process
// id it recorded, by its bundle identifier, by its executable (find()), or by
// a recorded id alone (atProcessId()). The opened-URL hand-off and the boot
// check's update prevention ask it, and so does the single-instance check of
// the launcher's and the game's check workers (check()): is another copy of
// the program about to be touched still running? Three lookups, in order,
// each only when the ones before found nothing running or saw what they
// found end:
//   1. by the process id recorded in the game's preference suite under
//      `processIdKey` (the entry exactly as stored must read as a signed
//      32-bit decimal; one with blanks around it does not) and only when
//      that process has `bundleIdentifier`;
//   2. by `bundleIdentifier`;
//   3. by the executable `executablePath()` (skipped when it is blank).
// A found instance is given up to WaitPolls polls of WaitPollSeconds (clock
// seam) to end; the process this one was handed over from (`handedOverFrom`)
// gets HandOverWaitPolls, worked out from how long the old launcher may take
// before it quits (its pause and its last telemetry flush's bound). One
// that is still running ends the road: see check(). Where the product has an
// instance lock, the lock settles it before the process table is looked at
// (check()).
//
// Thread: the worker thread. The lookups never find the calling process.
#include "engine/LauncherState.hpp"
#include "services/internal/RunningApplication.hpp"
#include "services/rum/RumApi.hpp"
#include "workers/launcher/LRestart.hpp"

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace hexora::Worker::Common {

struct InstanceCheckTable {
    /// The game-suite entry holding the instance's process id.
    const char* processIdKey;
    const char* bundleIdentifier;
    /// The executable looked for by lookup 3; blank: lookup 3 is skipped.
    std::function<std::string()> executablePath;
    /// Telemetry MinorType and the error's type.
    const char* reporter;
    /// Telemetry Event, then the error's message, by lookup.
    std::array<const char*, 3> events;
    std::array<const char*, 3> messages;
    /// The state shown when an instance keeps running.
    LauncherState state;
    /// The process that started this one to take over from it and is
    /// quitting; none: every instance gets the short wait.
    std::function<std::optional<std::int32_t>()> handedOverFrom;
    /// The file of the product's instance lock (see check()); empty function:
    /// no lock, the lookups alone decide.
    std::function<std::filesystem::path()> lockFile;
};

/// What find() looks for.
struct InstanceLookup {
    /// The process id the instance recorded; none: lookup 1 finds nothing.
    std::optional<std::int32_t> recordedProcessId;
    std::string bundleIdentifier;
    /// The instance's executable (a path or file URL); blank: lookup 3 is skipped.
    std::string executablePath;
    /// Told when the recorded id leads elsewhere: to nothing running
    /// (nullopt) or to another application. Optional.
    std::function<void(const std::optional<RunningApplication>&)> notAtRecordedId;
};

/// The polls of `pollSeconds` that cover `seconds` (rounded up).
constexpr int pollsCovering(double seconds, double pollSeconds) {
    const double polls = seconds / pollSeconds;
    const int whole = static_cast<int>(polls);
    return polls - whole > 1e-9 ? whole + 1 : whole;
}

class InstanceCheck {
public:
    enum Lookup : std::size_t { ByProcessId, ByBundleIdentifier, ByExecutable };
    using Found = std::function<void(const RunningApplication&, Lookup)>;

    /// The three lookups in order; each instance found is handed to `found`,
    /// which ends the search by throwing. Never throws itself.
    static void find(const InstanceLookup& lookup, const Found& found);

    /// Lookup 1 alone: the application running at `processIdentifier` when
    /// its bundle identifier is `bundleIdentifier`; anything else (told to
    /// `notInstance` when given) is nullopt.
    static std::optional<RunningApplication> atProcessId(
        std::int32_t processIdentifier, const std::string& bundleIdentifier,
        const std::function<void(const std::optional<RunningApplication>&)>& notInstance = {});

    static constexpr int WaitPolls = 30;
    static constexpr double WaitPollSeconds = 0.1;
    /// Left to the old launcher of a self-update beyond its pause and its
    /// last flush: ending its run and its process on a busy machine.
    static constexpr double HandOverSlackSeconds = 8.0;
    /// The old launcher pauses after the start of the new one
    /// (LRestart::ActivationDelaySeconds), then its last telemetry flush waits
    /// at most Rum::Api::SyncFlushBoundSec for the collector; 40 s in all.
    static constexpr int HandOverWaitPolls = pollsCovering(
        Launcher::LRestart::ActivationDelaySeconds + Rum::Api::SyncFlushBoundSec + HandOverSlackSeconds,
        WaitPollSeconds);

    /// Returns when no instance runs (or every one found ended during its
    /// wait). Otherwise throws Worker::LauncherError: code Failed, `reporter`,
    /// the lookup's message, `state`, terminateWhenAvailable false, and the
    /// record `reporter`/the lookup's event/"Failed"/"INFO" (not queued).
    ///
    /// With a `lockFile`, the instance lock settles it first, so that of
    /// instances started together exactly one goes on:
    /// - this process takes the lock (or holds it): it goes on; the others
    ///   that look now are the later ones, and no lookup is made;
    /// - another process holds it: it is given the wait of a found instance
    ///   (HandOverWaitPolls when `handedOverFrom` is a running instance),
    ///   the lock tried again at each poll; taken meanwhile, this process
    ///   goes on. Still held: the lookups name the holder (the first that
    ///   finds a running instance gives the texts, lookup 2's when none
    ///   does) and the error above is thrown, without a further wait;
    /// - the lock cannot be had at all (Unavailable): the lookups alone, as
    ///   without a lock.
    static void check(const InstanceCheckTable& table);
};

}  // namespace hexora::Worker::Common
