#pragma once
// Whether this launcher was started by the self-restart of an older one
// (LRestart starts the new launcher with its own process id as the one
// argument). Two things depend on it: the single-instance check waits for
// that old launcher until it has ended its run, and the launcher updates
// itself at most once per start by the user: a repair that fails again, or a
// new version offered again, after a self-update does not update once more
// (see UpdateInfoDecision).
//
// Thread: the shell sets the fact once at start, before the worker thread
// runs; any thread reads it.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace hexora::Worker::Launcher::SelfRestart {

/// The old launcher's process id when `arguments` (the program name first)
/// hold exactly one more argument, a decimal process id above 0 (digits
/// only); nullopt otherwise. Pure.
std::optional<std::int32_t> previousLauncherIn(const std::vector<std::string>& arguments);

/// The process-wide fact: the old launcher's id, nullopt for a launcher the
/// user started.
std::optional<std::int32_t> previousLauncher();
void setPreviousLauncher(std::optional<std::int32_t> processIdentifier);

}  // namespace hexora::Worker::Launcher::SelfRestart
