#include "workers/launcher/LLoadVersion.hpp"

#include "platform/InfoPlist.hpp"
#include "services/internal/InstalledVersions.hpp"
#include "services/internal/LauncherProduct.hpp"
#include "services/internal/Log.hpp"
#include "services/internal/Paths.hpp"
#include "services/rum/LogData.hpp"

namespace hexora::Worker::Launcher {

void LLoadVersion::work() {
    const auto info = platform::InfoPlist::readOfBundle(bundleRootPath());
    if (!info) {
        setLauncherVersion("");
        return;
    }
    if (const auto identifier = info->text("CFBundleIdentifier"); identifier && *identifier != LauncherProduct::BundleIdentifier) {
        Rum::LogData("LLoadVersion", "invalid bundle id", "Failed", "INFO").addData("InstalledBundleId", *identifier).append();
        Log::error("invalid bundle id: " + *identifier);
    }
    setLauncherVersion(info->text("CFBundleShortVersionString").value_or(""));
}

}  // namespace hexora::Worker::Launcher
