#include "workers/FirstWorkers.hpp"

#include "engine/Launcher.hpp"
#include "services/api/ApiDomains.hpp"
#include "services/rum/RumApi.hpp"
#include "workers/road/RoadSuccessors.hpp"
#include "workers/game/GCheckProcess.hpp"
#include "workers/game/GHandleOpenUrls.hpp"
#include "workers/game/GStart.hpp"
#include "workers/launcher/LBoot.hpp"

namespace hexora {

LauncherFirstWorkers firstWorkers() {
    LauncherFirstWorkers workers;
    workers.productSetup = [] {
        ApiDomains::createLists();
        Rum::Api::setStreamName(Rum::Api::ProductionStreamName);
    };
    workers.boot = [](std::shared_ptr<Worker::WorkerThread> thread) -> std::shared_ptr<Worker::WorkerBase> {
        return std::make_shared<Worker::Launcher::LBoot>(std::move(thread));
    };
    workers.openUrls = [](std::shared_ptr<Worker::WorkerThread> thread,
                          std::vector<std::string> urls) -> std::shared_ptr<Worker::WorkerBase> {
        return std::make_shared<Worker::Hexora::GHandleOpenUrls>(std::move(thread), std::move(urls));
    };
    return workers;
}

void installFirstWorkers() { Launcher::shared().setFirstWorkers(firstWorkers()); }

namespace Worker::Common {

std::shared_ptr<WorkerBase> RoadSuccessors::boot(std::shared_ptr<WorkerThread> thread) {
    return std::make_shared<Launcher::LBoot>(std::move(thread));
}

std::shared_ptr<WorkerBase> RoadSuccessors::gameCheck(std::shared_ptr<WorkerThread> thread) {
    return std::make_shared<Hexora::GCheckProcess>(std::move(thread));
}

std::shared_ptr<WorkerBase> RoadSuccessors::gameStart(std::shared_ptr<WorkerThread> thread) {
    return std::make_shared<Hexora::GStart>(std::move(thread));
}

}  // namespace Worker::Common
}  // namespace hexora
