#include "workers/game/GStart.hpp"

#include "engine/LauncherError.hpp"
#include "platform/Clock.hpp"
#include "services/api/ReplyText.hpp"
#include "services/file/PlayerPrefsHelper.hpp"
#include "services/internal/GameProduct.hpp"
#include "services/internal/Log.hpp"
#include "services/internal/Paths.hpp"
#include "services/internal/Process.hpp"
#include "services/internal/Versions.hpp"
#include "services/rum/LogData.hpp"

#include <string>

namespace hexora::Worker::Hexora {
namespace {

void logExit(const platform::ProcessExit& exit) {
    if (exit.signalled) {
        Log::info("GStart: game " + std::to_string(exit.processIdentifier) + " ended by signal " +
                  std::to_string(exit.status));
    } else {
        Log::info("GStart: game " + std::to_string(exit.processIdentifier) + " exited with status " +
                  std::to_string(exit.status));
    }
}

}  // namespace

void GStart::work() {
    Rum::LogData("GStart", "start", "Start", "INFO").append();

    const auto storage = storagePath();
    const auto executable = GameProduct::executablePath();
    const auto pid = Process::start(executable.string(), {std::to_string(Process::ownProcessIdentifier())},
                                    storage.string(), logExit);
    const auto pidText = std::to_string(pid);

    if (pid <= 0) {
        post(UIUpdateEvent::stateChange(LauncherState::Failed_Launching_Game));
        Rum::LogData record("GStart", "launch", "Failed", "ERROR");
        record.addData("ErrorCode", pidText);
        record.addData("Message",
                       std::string("bundleId: ") + GameProduct::BundleIdentifier + " appPath:" + GameProduct::bundlePath().string());
        throw LauncherError::failure("GStart", "failed with code: " + pidText, std::nullopt, record);
    }

    post(UIUpdateEvent::stateChange(LauncherState::ReservedAppTerminating));
    post(UIUpdateEvent::hideWindow());

    waitForProcess(pid);
    if (Process::showOnTop(GameProduct::BundleIdentifier, pid)) {
        Log::info("GStart: game shown on top");
    } else {
        Log::info("GStart: game not found to show on top");
    }

    Rum::LogData record("GStart", "succeeded", "Succeeded", "INFO");
    if (const auto game = Process::runningApplication(pid)) {
        record.addData("Message", std::string("bundleId: ") + GameProduct::BundleIdentifier +
                                      " appUrl:" + game->bundleURL().value_or("unknown") +
                                      " exeUrl:" + game->executableURL().value_or("unknown"));
    }

    waitForConfirmation(pid);
    throw LauncherError::terminating(LauncherError::Code::Succeeded, "GStart", "succeeded", record);
}

void GStart::waitForProcess(std::int32_t pid) const {
    for (int sleeps = 0; !Process::runningApplication(pid); ++sleeps) {
        if (sleeps == AppearPolls || isCancelled()) return;
        platform::sleepSeconds(PollSeconds);
    }
}

void GStart::waitForConfirmation(std::int32_t pid) const {
    const auto pidText = std::to_string(pid);
    for (int sleeps = 0;; ++sleeps) {
        if (!Process::runningApplication(pid)) return;  // the game quit (or never showed up)
        if (sleeps == ConfirmPolls || isCancelled()) return;
        platform::sleepSeconds(PollSeconds);
        const auto recorded = ReplyText::trimmed(PlayerPrefsHelper::agent().getString(GameProduct::ProcessIdKey));
        if (!recorded.empty() && compareVersion(recorded, pidText) == 0) return;
    }
}

}  // namespace hexora::Worker::Hexora
