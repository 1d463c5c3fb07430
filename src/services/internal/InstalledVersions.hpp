#pragma once
// The process-wide version texts of the run: `launcherVersion` (the
// launcher's own, set by the launcher's version loader) and `gameVersion` (the
// installed game's, set by the game's version loader). Both are empty until
// their loader has run; the update decision sends and compares them.
//
// Thread: any thread; reads and writes are serialised.
#include <string>

namespace hexora {

std::string launcherVersion();
void setLauncherVersion(std::string version);

std::string gameVersion();
void setGameVersion(std::string version);

/// Test access: both back to the empty text.
void resetInstalledVersions();

}  // namespace hexora
