#include "workers/launcher/StartupLeftovers.hpp"

#include "platform/FileOps.hpp"
#include "services/internal/GameProduct.hpp"
#include "services/internal/LauncherProduct.hpp"
#include "services/internal/Paths.hpp"
#include "workers/launcher/LLoadSettings.hpp"
#include "workers/launcher/LPatch.hpp"

#include <algorithm>

namespace hexora::Worker::Launcher::StartupLeftovers {
namespace fs = std::filesystem;

std::vector<fs::path> find() {
    const fs::path storage = storagePath();
    const fs::path backup = LPatch::profile().backupLocation();
    const fs::path launcherContents = bundleRootPath() / "Contents";
    const fs::path owners[] = {
        storage / LLoadSettings::FileName,
        storage / LauncherProduct::SchemeArchiveName,
        storage / LauncherProduct::SchemeName,
        storage / LauncherProduct::BrokenListName,
        storage / GameProduct::SchemeArchiveName,
        storage / GameProduct::SchemeName,
        storage / GameProduct::BrokenListName,
        launcherContents,
        GameProduct::bundlePath() / "Contents",
        backup,
    };
    std::vector<fs::path> found;
    for (const fs::path& owner : owners) {
        auto siblings = FileOps::temporarySiblingsOf(owner);
        std::sort(siblings.begin(), siblings.end());
        found.insert(found.end(), siblings.begin(), siblings.end());
    }
    if (FileOps::itemExists(backup) && FileOps::isFolder(launcherContents)) found.push_back(backup);
    return found;
}

}  // namespace hexora::Worker::Launcher::StartupLeftovers
