#pragma once
// Starting executables and finding running applications, over the process
// launcher and the process table of src/platform.
//
// Thread: called from the worker thread; every operation is stateless, takes
// the process list afresh and may be called from any thread. A termination
// handler runs on the started child's waiter thread.
//
// The lookups never return the calling process; showOnTop does not skip it.
#include "platform/ProcessLauncher.hpp"
#include "services/internal/RunningApplication.hpp"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace hexora::Process {

using TerminationHandler = std::function<void(const platform::ProcessExit&)>;

/// Labels of the two text lookups.
struct BundleIdentifier {
    std::string value;
};
struct ExecutableURL {
    std::string value;
};

/// Starts `path` with `arguments` in `workingDirectory` (not checked before the
/// start) and returns the new process id. Returns 0 and logs "Process start
/// failed: " + the reason when it cannot be started; returns 0 without a log
/// when the child had already ended by the time the start returned. A started
/// child is logged as "Process started: " + its id. `terminationHandler` (may
/// be empty) is called with the exit on the child's waiter thread.
std::int32_t start(const std::string& path, const std::vector<std::string>& arguments,
                   const std::string& workingDirectory, TerminationHandler terminationHandler = {});

/// The running application with this id; nullopt when none runs or when the id
/// is the calling process's own.
std::optional<RunningApplication> runningApplication(std::int32_t processIdentifier);

/// The first running application, other than this process, whose bundle
/// identifier equals the text exactly.
std::optional<RunningApplication> runningApplications(const BundleIdentifier& bundleIdentifier);

/// The first running application, other than this process, running the
/// executable at this path. A text beginning with "file://" is taken as it is
/// (nothing is added in front); the rest is compared as a path, so a path with
/// blanks or other characters that URLs escape is found, and so is the same
/// file reached through a symbolic link. The percent-encoded URL text of the
/// executable matches as well.
std::optional<RunningApplication> runningApplications(const ExecutableURL& executableURL);

/// Brings the first running application whose bundle identifier equals
/// `bundleIdentifier`, or whose id is `processIdentifier`, to the front. True
/// when one was found (whether or not a display let its window rise). The own
/// process is not skipped.
bool showOnTop(const std::string& bundleIdentifier, std::int32_t processIdentifier);

/// The calling process's id, as the process table reports it.
std::int32_t ownProcessIdentifier();

}  // namespace hexora::Process
