#include "workers/launcher/LCheckProcess.hpp"

#include "services/internal/LauncherProduct.hpp"
#include "services/internal/Paths.hpp"
#include "workers/common/patch/CCleanUp.hpp"
#include "workers/road/InstanceCheck.hpp"
#include "workers/launcher/LLoadAppConfig.hpp"
#include "workers/launcher/LLoadSettings.hpp"
#include "workers/launcher/LLoadVersion.hpp"
#include "workers/launcher/LP22.hpp"
#include "workers/launcher/LUpdatePlayerPrefs.hpp"
#include "workers/launcher/SelfRestart.hpp"
#include "workers/launcher/StartupLeftovers.hpp"

namespace hexora::Worker::Launcher {
namespace {

const Common::InstanceCheckTable& launcherTable() {
    static const Common::InstanceCheckTable table{
        LauncherProduct::ProcessIdKey,
        LauncherProduct::BundleIdentifier,
        [] { return executablePath().string(); },
        "LCheckProcess",
        {"already running by procId", "already running by bundle id", "already running by bundle exe"},
        {"Launcher is already running by procId", "Launcher is already running by bundle id",
         "Launcher is already running by bundle exe"},
        LauncherState::Found_Launcher,
        [] { return SelfRestart::previousLauncher(); },
        [] { return applicationSupport() / LauncherProduct::InstanceLockName; },
    };
    return table;
}

}  // namespace

void LCheckProcess::work() {
    post(UIUpdateEvent::stateChange(LauncherState::CheckApp));
    Common::InstanceCheck::check(launcherTable());

    const auto& thread = workerThread();
    enqueue(std::make_shared<LLoadSettings>(thread));
    enqueue(std::make_shared<LUpdatePlayerPrefs>(thread));
    enqueue(std::make_shared<LLoadAppConfig>(thread));
    enqueue(std::make_shared<LLoadVersion>(thread));
    // Past the check no other launcher is at work: what killed runs left
    // goes with temp (StartupLeftovers).
    std::vector<std::filesystem::path> cleanUp{tempPath()};
    for (auto& leftover : StartupLeftovers::find()) cleanUp.push_back(std::move(leftover));
    enqueue(std::make_shared<Common::CCleanUp>(thread, std::move(cleanUp)));
    enqueue(std::make_shared<LP22>(thread));
}

}  // namespace hexora::Worker::Launcher
