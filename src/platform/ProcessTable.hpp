#pragma once
// The machine's list of running processes, as the launcher sees it: each
// process with its id, the executable it runs and, when that executable sits
// in an application bundle (`X.app/Contents/MacOS/<name>`), the bundle and the
// identifier from its `Contents/Info.plist`.
//
// The executable, bundle and identifier of a process are the ones it had when
// it started: a process whose bundle was moved or deleted since (the old
// launcher after a self-update) is still reported with them.
//
// Thread: any thread may call every operation; the list is taken fresh at each
// runningProcesses() call. install() is meant for process start and for
// tests; readers see the old or the new table.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace hexora::platform {

struct ProcessEntry {
    std::int32_t processIdentifier = 0;
    /// The executable's path as the system reports it; absent when it cannot
    /// be read (another user's process, a kernel thread).
    std::optional<std::filesystem::path> executablePath;
    /// The `.app` folder that holds the executable; absent outside a bundle.
    std::optional<std::filesystem::path> bundlePath;
    /// The bundle's "CFBundleIdentifier"; absent without a bundle or entry.
    std::optional<std::string> bundleIdentifier;
    /// Start time of the process in the system's clock ticks; tells a process
    /// apart from a later one that got the same id. 0 when unknown.
    std::uint64_t startTime = 0;
};

class ProcessTable {
public:
    virtual ~ProcessTable() = default;

    /// The processes running now, in ascending id order. Processes that have
    /// ended (zombies included) are not listed.
    virtual std::vector<ProcessEntry> runningProcesses() = 0;

    /// The running process with this id, as runningProcesses() would list it;
    /// nullopt when none runs under it. Cheaper than a whole listing.
    virtual std::optional<ProcessEntry> runningProcess(std::int32_t processIdentifier) = 0;

    /// True when the process of `entry` has ended: it is gone, is a zombie, or
    /// its id now belongs to another process.
    virtual bool isTerminated(const ProcessEntry& entry) = 0;

    /// Asks the process's windows to come to the front, where the display
    /// server allows it. Returns true when a window was asked to raise; false
    /// when there is no display, no window of the process, or raising is not
    /// allowed. Never fails otherwise.
    virtual bool activate(const ProcessEntry& entry) = 0;

    /// The id of the calling process.
    virtual std::int32_t ownProcessIdentifier() = 0;

    /// The installed table; the /proc one unless install() replaced it.
    static std::shared_ptr<ProcessTable> current();
    /// Replaces the process table; nullptr restores the /proc one.
    static void install(std::shared_ptr<ProcessTable> table);
};

}  // namespace hexora::platform
