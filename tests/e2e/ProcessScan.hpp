#pragma once
// Processes of an end-to-end test found through /proc: the ones running a
// given executable (each test has its own copies, so paths tell tests apart),
// and the orphans this test process adopted as child subreaper.
#include <sys/types.h>

#include <filesystem>
#include <vector>

namespace hexora::e2e {

/// Live (not zombie) processes whose executable is `executable`, also after
/// the file was replaced (" (deleted)").
std::vector<pid_t> processesRunning(const std::filesystem::path& executable);
/// Live processes whose executable lies below `folder`.
std::vector<pid_t> processesBelow(const std::filesystem::path& folder);
/// Whether `pid` is alive and not a zombie.
bool processAlive(pid_t pid);
/// Makes this process the reaper of its descendants' orphans (the game the
/// launcher started, a relaunched launcher), so tests can wait for them.
void adoptOrphans();
/// Reaps ended children of this process except those in `keep`.
void reapEndedChildren(const std::vector<pid_t>& keep = {});

}  // namespace hexora::e2e
