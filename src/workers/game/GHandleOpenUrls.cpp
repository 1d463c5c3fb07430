#include "workers/game/GHandleOpenUrls.hpp"

#include "engine/LauncherError.hpp"
#include "engine/OpenedUrlFlag.hpp"
#include "services/api/ReplyText.hpp"
#include "services/file/PlayerPrefsHelper.hpp"
#include "services/internal/Integers.hpp"
#include "services/internal/Log.hpp"
#include "services/internal/Paths.hpp"
#include "services/internal/Process.hpp"
#include "services/internal/UrlScheme.hpp"
#include "services/internal/Versions.hpp"
#include "services/rum/LogData.hpp"
#include "workers/game/GStart.hpp"
#include "workers/launcher/LBoot.hpp"

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

std::string gameExecutable() { return (storagePath() / "Hexora.app" / "Contents" / "MacOS" / "Hexora").string(); }

/// A process at the recorded id that is not the game: recorded, and the next lookup is tried.
void reportOtherApplication(const RunningApplication& application) {
    const auto& identifier = application.bundleIdentifier();
    Rum::LogData record(Reporter, "handle by procId", "Failed", "INFO");
    record.addData("Message", "bundleId:" + (identifier ? "\"" + *identifier + "\"" : std::string("none")) +
                                  ", appUrl:" + application.bundleURL().value_or("unknown") +
                                  ", exeUrl:" + application.executableURL().value_or("unknwon"));
    record.append();
}

std::optional<RunningApplication> gameByRecordedId() {
    const auto recorded = ReplyText::trimmed(PlayerPrefsHelper::agent().getString(GStart::ClientProcIdKey));
    if (recorded.empty()) return std::nullopt;
    const auto processIdentifier = parseInt32(recorded);
    if (!processIdentifier) {
        Log::info("GHandleOpenUrls: no process id recorded by the game: " + recorded);
        return std::nullopt;
    }
    auto application = Process::runningApplication(*processIdentifier);
    if (!application) {
        Log::info("GHandleOpenUrls: the recorded game process is not running: " + recorded);
        return std::nullopt;
    }
    if (application->bundleIdentifier() != GStart::GameBundleIdentifier) {
        reportOtherApplication(*application);
        return std::nullopt;
    }
    return application;
}

}  // namespace

const std::vector<std::string>& GHandleOpenUrls::acceptedSchemes() {
    static const std::vector<std::string> schemes = {"hexoramac", "com.tarq.hexora", "hexora-game.com",
                                                     "www.hexora-game.com"};
    return schemes;
}

void GHandleOpenUrls::work() {
    post(UIUpdateEvent::stateChange(LauncherState::CheckApp));
    if (!storeOpenUrls()) {
        post(UIUpdateEvent::hideWindow());
        throw LauncherError(LauncherError::Code::Failed, Reporter, "unhandled open url")
            .withRum(Rum::LogData(Reporter, "handle", "Failed", "INFO"))
            .withTerminateWhenAvailable(true);
    }
    if (const auto game = gameByRecordedId()) activateRunningGame(*game, "procId");
    if (const auto game = Process::runningApplications(Process::BundleIdentifier{GStart::GameBundleIdentifier})) {
        activateRunningGame(*game, "bundle id");
    }
    if (const auto game = Process::runningApplications(Process::ExecutableURL{gameExecutable()})) {
        activateRunningGame(*game, "bundle exe");
    }
    OpenedUrlFlag::set(false);
    enqueue(std::make_shared<Launcher::LBoot>(workerThread()));
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
    record.addData("Message", std::string("bundleId:") + GStart::GameBundleIdentifier +
                                  ", appUrl:" + application.bundleURL().value_or("unknown") +
                                  ", exeUrl:" + application.executableURL().value_or("unknown"));
    throw LauncherError(LauncherError::Code::Succeeded, Reporter, "handled open url and terminating launcher")
        .withRum(record)
        .withTerminateWhenAvailable(true);
}

}  // namespace hexora::Worker::Hexora
