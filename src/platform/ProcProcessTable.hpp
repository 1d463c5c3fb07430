#pragma once
// The process table read from /proc: /proc/<pid>/stat for the state and start
// time, /proc/<pid>/exe for the executable, and the Info.plist of the bundle
// that holds the executable for its identifier. Raising windows goes to the
// X server named by $DISPLAY when there is one (see X11WindowRaiser).
//
// A process keeps the facts it had when it started, as a desktop's list of
// running applications does, also after its bundle was moved or deleted
// (a self-update moves the old Contents aside, then deletes them):
// - the facts of a process are read when this table first sees it and kept
//   for as long as the same process (id, start time and executable file)
//   runs;
// - a process first seen after its executable left the bundle layout is
//   taken at the path it was started from (its first argument, when that is
//   an absolute bundle path to a file of the same name).
//
// Thread: any; the kept facts are guarded by a mutex, /proc is read afresh at
// every call.
#include "platform/ProcessTable.hpp"

#include <map>
#include <mutex>

namespace hexora::platform {

class ProcProcessTable final : public ProcessTable {
public:
    /// `procRoot` is the mount point of the process file system.
    explicit ProcProcessTable(std::filesystem::path procRoot = "/proc");

    std::vector<ProcessEntry> runningProcesses() override;
    std::optional<ProcessEntry> runningProcess(std::int32_t processIdentifier) override;
    bool isTerminated(const ProcessEntry& entry) override;
    bool activate(const ProcessEntry& entry) override;
    std::int32_t ownProcessIdentifier() override;

    /// The `.app` folder for an executable at `X.app/Contents/MacOS/<name>`,
    /// or nullopt for an executable outside that layout.
    static std::optional<std::filesystem::path> bundleOfExecutable(const std::filesystem::path& executable);

private:
    using IdentifierCache = std::map<std::filesystem::path, std::optional<std::string>>;

    /// What a process had when it was first seen, and what tells it apart
    /// from a later process under the same id.
    struct KeptFacts {
        std::uint64_t startTime = 0;
        std::uint64_t executableDevice = 0;
        std::uint64_t executableInode = 0;
        std::optional<std::filesystem::path> executablePath;
        std::optional<std::filesystem::path> bundlePath;
        std::optional<std::string> bundleIdentifier;
    };

    std::optional<ProcessEntry> readEntry(std::int32_t processIdentifier, IdentifierCache& identifiers);
    /// Fills the executable, bundle and identifier of `entry`; false while
    /// the process is still being set up (its facts are not to be kept).
    bool readFacts(const std::filesystem::path& procDir, ProcessEntry& entry, IdentifierCache& identifiers) const;
    static std::optional<std::string> identifierOf(const std::filesystem::path& bundle, IdentifierCache& identifiers);
    /// Forgets the facts of processes not in `running` (ascending ids).
    void forgetAllBut(const std::vector<ProcessEntry>& running);

    std::filesystem::path procRoot_;
    std::mutex keptMutex_;
    std::map<std::int32_t, KeptFacts> kept_;
};

}  // namespace hexora::platform
