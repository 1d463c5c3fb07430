#include "services/internal/InstalledVersions.hpp"

#include <mutex>

namespace hexora {
namespace {
std::mutex versionsMutex;
std::string launcherVersionValue;
std::string gameVersionValue;
}  // namespace

std::string launcherVersion() {
    std::lock_guard lock(versionsMutex);
    return launcherVersionValue;
}

void setLauncherVersion(std::string version) {
    std::lock_guard lock(versionsMutex);
    launcherVersionValue = std::move(version);
}

std::string gameVersion() {
    std::lock_guard lock(versionsMutex);
    return gameVersionValue;
}

void setGameVersion(std::string version) {
    std::lock_guard lock(versionsMutex);
    gameVersionValue = std::move(version);
}

void resetInstalledVersions() {
    std::lock_guard lock(versionsMutex);
    launcherVersionValue.clear();
    gameVersionValue.clear();
}

}  // namespace hexora
