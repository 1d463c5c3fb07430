#include "workers/game/GHandleOpenUrls.hpp"

#include "engine/LauncherError.hpp"
#include "engine/OpenedUrlFlag.hpp"
#include "services/api/ReplyText.hpp"
#include "services/file/PlayerPrefsHelper.hpp"
#include "product/ProductFacts.hpp"
#include "services/internal/GameProduct.hpp"
#include "services/internal/Integers.hpp"
#include "services/internal/Log.hpp"
#include "services/internal/Process.hpp"
#include "services/internal/UrlScheme.hpp"
#include "services/internal/Versions.hpp"
#include "services/rum/LogData.hpp"
#include "workers/road/InstanceCheck.hpp"
#include "workers/road/RoadSuccessors.hpp"

#include <algorithm>
#include <optional>

namespace hexora::Worker::Hexora {
namespace {

constexpr const char* Reporter = "GHandleOpenUrls";

bool isAccepted(const std::string& scheme) {
    const auto& accepted = GHandleOpenUrls::acceptedSchemes();
    return std::any_of(accepted.begin(), accepted.end(),
                       [&](const std::string& candidate) { return compareVersion(candidate, scheme) == 0; });
}

/// A process at the recorded id that is not the game: recorded, and the next lookup is tried.
void reportOtherApplication(const RunningApplication& application) {
    const auto& identifier = application.bundleIdentifier();
    Rum::LogData record(Reporter, "handle by procId", "Failed", "INFO");
    record.addData("Message", "bundleId:" + (identifier ? "\"" + *identifier + "\"" : std::string("none")) +
                                  ", appUrl:" + application.bundleURL().value_or("unknown") +
                                  ", exeUrl:" + application.executableURL().value_or("unknwon"));
    record.append();
}

/// The game: the id it recorded (blanks around it allowed), its bundle
/// identifier, its executable.
Common::InstanceLookup gameLookup() {
    const auto recorded = ReplyText::trimmed(PlayerPrefsHelper::agent().getString(GameProduct::ProcessIdKey));
    std::optional<std::int32_t> processIdentifier;
    if (!recorded.empty()) {
        processIdentifier = parseInt32(recorded);
        if (!processIdentifier) Log::info("GHandleOpenUrls: no process id recorded by the game: " + recorded);
    }
    return {processIdentifier, GameProduct::BundleIdentifier, GameProduct::executablePath().string(),
            [recorded](const std::optional<RunningApplication>& found) {
                if (found) return reportOtherApplication(*found);
                Log::info("GHandleOpenUrls: the recorded game process is not running: " + recorded);
            }};
}

constexpr const char* LookupNames[] = {"procId", "bundle id", "bundle exe"};

}  // namespace

const std::vector<std::string>& GHandleOpenUrls::acceptedSchemes() {
    static const std::vector<std::string> schemes = [] {
        std::vector<std::string> accepted(ProductFacts::UrlSchemes.begin(), ProductFacts::UrlSchemes.end());
        accepted.insert(accepted.end(), {"hexora-game.com", "www.hexora-game.com"});
        return accepted;
    }();
    return schemes;
}

void GHandleOpenUrls::work() {
    post(UIUpdateEvent::stateChange(LauncherState::CheckApp));
    if (!storeOpenUrls()) {
        post(UIUpdateEvent::hideWindow());
        throw LauncherError::terminating(LauncherError::Code::Failed, Reporter, "unhandled open url",
                                         Rum::LogData(Reporter, "handle", "Failed", "INFO"));
    }
    Common::InstanceCheck::find(gameLookup(), [this](const RunningApplication& game, Common::InstanceCheck::Lookup by) {
        activateRunningGame(game, LookupNames[by]);
    });
    OpenedUrlFlag::set(false);
    enqueue(Common::RoadSuccessors::boot(workerThread()));
}

bool GHandleOpenUrls::storeOpenUrls() {
    for (const auto& url : urls) {
        const auto scheme = urlScheme(url);
        if (!scheme || !isAccepted(*scheme)) continue;
        PlayerPrefsHelper::agent().setString(*scheme + "_uri", url);
        return true;
    }
    return false;
}

void GHandleOpenUrls::activateRunningGame(const RunningApplication& application, const std::string& how) {
    if (const auto current = Process::runningApplication(application.processIdentifier())) current->activate();
    post(UIUpdateEvent::hideWindow());
    Rum::LogData record(Reporter, "handle by  " + how, "Succeeded", "INFO");
    record.addData("Message", std::string("bundleId:") + GameProduct::BundleIdentifier +
                                  ", appUrl:" + application.bundleURL().value_or("unknown") +
                                  ", exeUrl:" + application.executableURL().value_or("unknown"));
    throw LauncherError::terminating(LauncherError::Code::Succeeded, Reporter,
                                     "handled open url and terminating launcher", record);
}

}  // namespace hexora::Worker::Hexora
