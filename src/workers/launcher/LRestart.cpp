#include "workers/launcher/LRestart.hpp"

#include "platform/Clock.hpp"
#include "services/internal/Log.hpp"
#include "services/internal/Paths.hpp"
#include "services/internal/Process.hpp"
#include "services/rum/LogData.hpp"
#include "services/rum/RumApi.hpp"

#include <string>

namespace hexora::Worker::Launcher {
namespace {

void logExit(const platform::ProcessExit& exit) {
    Log::info("LRestart: new launcher " + std::to_string(exit.processIdentifier) +
              (exit.signalled ? " ended by signal " : " exited with status ") + std::to_string(exit.status));
}

// Brings the started launcher to the front; true when it was found.
bool activateStarted(std::int32_t pid) {
    const auto started = Process::runningApplication(pid);
    if (!started) return false;
    started->activate();
    return true;
}

}  // namespace

void LRestart::work() {
    post(UIUpdateEvent::stateChange(LauncherState::ReservedAppTerminating));
    Rum::LogData("LRestart", "restart", "Start", "INFO").append();

    const auto executable = bundleRootPath() / "Contents" / "MacOS" / "Hexora";
    const auto pid = Process::start(executable.string(), {std::to_string(Process::ownProcessIdentifier())},
                                    bundleParentPath().string(), logExit);

    Rum::LogData record("LRestart", "succeeded", "Succeeded", "INFO");
    if (pid <= 0) {
        record = Rum::LogData("LRestart", "failed", "Failed", "ERROR");
        record.addData("ErrorCode", std::to_string(pid));
    } else {
        platform::sleepSeconds(ActivationDelaySeconds);
        if (activateStarted(pid)) {
            post(UIUpdateEvent::hideWindow());
        } else {
            Log::info("LRestart: new launcher " + std::to_string(pid) + " not found to show on top");
        }
    }
    record.append();
    Rum::Api::flushAsync();
    workerThread()->requestTerminate();
}

}  // namespace hexora::Worker::Launcher
