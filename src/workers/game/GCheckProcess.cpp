#include "workers/game/GCheckProcess.hpp"

#include "services/internal/GameProduct.hpp"
#include "services/internal/Paths.hpp"
#include "workers/common/patch/CCleanUp.hpp"
#include "workers/road/InstanceCheck.hpp"
#include "workers/road/SkipUpdate.hpp"
#include "workers/game/GLoadVersion.hpp"
#include "workers/game/GP22.hpp"
#include "workers/game/GStart.hpp"

namespace hexora::Worker::Hexora {
namespace {

const Common::InstanceCheckTable& gameTable() {
    static const Common::InstanceCheckTable table{
        GameProduct::ProcessIdKey,
        GameProduct::BundleIdentifier,
        [] { return GameProduct::executablePath().string(); },
        "GCheckProcess",
        {"already running by pid", "already running by bundle id", "already running by bundle exe"},
        {"already running by pid", "already running by bundle id", "already running by bundle exe"},
        LauncherState::Found_App,
        {},
        {},
    };
    return table;
}

}  // namespace

void GCheckProcess::work() {
    post(UIUpdateEvent::stateChange(LauncherState::CheckApp));
    Common::InstanceCheck::check(gameTable());

    const auto& thread = workerThread();
    enqueue(std::make_shared<GLoadVersion>(thread));
    if (Launcher::skipUpdate()) {
        enqueue(std::make_shared<GStart>(thread));
        return;
    }
    enqueue(std::make_shared<Common::CCleanUp>(thread, std::vector<std::filesystem::path>{tempPath()}));
    enqueue(std::make_shared<GP22>(thread));
}

}  // namespace hexora::Worker::Hexora
