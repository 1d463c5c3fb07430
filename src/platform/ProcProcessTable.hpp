#pragma once
// The process table read from /proc: /proc/<pid>/stat for the state and start
// time, /proc/<pid>/exe for the executable, and the Info.plist of the bundle
// that holds the executable for its identifier. Raising windows goes to the
// X server named by $DISPLAY when there is one (see X11WindowRaiser).
//
// Thread: any; every call reads /proc afresh and keeps no state.
#include "platform/ProcessTable.hpp"

#include <map>

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
    std::optional<ProcessEntry> readEntry(std::int32_t processIdentifier, IdentifierCache& identifiers) const;

    std::filesystem::path procRoot_;
};

}  // namespace hexora::platform
