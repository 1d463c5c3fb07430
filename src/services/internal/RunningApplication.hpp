#pragma once
// One running application found by the process lookups: what the process
// table reported when it was found, and live questions about it (has it
// ended, bring it to the front).
//
// Thread: the worker thread as a rule; any thread may call. A copy shares the
// process table it came from.
#include "platform/ProcessTable.hpp"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace hexora {

class RunningApplication {
public:
    RunningApplication(platform::ProcessEntry entry, std::shared_ptr<platform::ProcessTable> table);

    std::int32_t processIdentifier() const { return entry_.processIdentifier; }
    const std::optional<std::string>& bundleIdentifier() const { return entry_.bundleIdentifier; }
    const std::optional<std::filesystem::path>& executablePath() const { return entry_.executablePath; }
    const std::optional<std::filesystem::path>& bundlePath() const { return entry_.bundlePath; }
    /// The executable as a file URL's absolute text (percent-encoded).
    std::optional<std::string> executableURL() const;
    /// The bundle folder as a file URL's absolute text, ending in "/".
    std::optional<std::string> bundleURL() const;

    /// Asked afresh each time: true once the process is gone, a zombie, or its
    /// id belongs to another process.
    bool isTerminated() const;
    /// Asks the application's windows to come to the front (see
    /// platform::ProcessTable::activate); true when a window was raised.
    bool activate() const;

    const platform::ProcessEntry& entry() const { return entry_; }

private:
    platform::ProcessEntry entry_;
    std::shared_ptr<platform::ProcessTable> table_;
};

}  // namespace hexora
