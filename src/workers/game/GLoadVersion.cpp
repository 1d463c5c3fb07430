#include "workers/game/GLoadVersion.hpp"

#include "platform/InfoPlist.hpp"
#include "services/internal/GameProduct.hpp"
#include "services/internal/InstalledVersions.hpp"
#include "services/internal/Log.hpp"
#include "services/rum/LogData.hpp"

namespace hexora::Worker::Hexora {
namespace {

constexpr const char* VersionKey = "CFBundleShortVersionString";

void reportForeignIdentifier(const platform::InfoPlist& info) {
    const auto identifier = info.text("CFBundleIdentifier");
    if (!identifier || *identifier == GameProduct::BundleIdentifier) return;
    Rum::LogData("GLoadVersion", "invalid bundle id", "Failed", "INFO").addData("InstalledBundleId", *identifier).append();
    Log::error("invalid bundle id: " + *identifier);
}

}  // namespace

void GLoadVersion::work() {
    const auto info = platform::InfoPlist::readOfBundle(GameProduct::bundlePath());
    if (info) {
        reportForeignIdentifier(*info);
        if (info->contains(VersionKey)) {
            const std::string version = info->text(VersionKey).value_or("");
            setGameVersion(version);
            Log::info("game appVersion: " + version);
            Rum::LogData("GLoadVersion", "found", "Succeeded", "INFO").addData("InstalledGame", version).append();
            return;
        }
    }
    Rum::LogData("GLoadVersion", "not found", "Failed", "INFO").append();
    setGameVersion(DefaultVersion);
    Log::info(std::string("failed to load game version, set to default: ") + DefaultVersion);
}

}  // namespace hexora::Worker::Hexora
