#include "workers/FirstWorkers.hpp"

#include "engine/Launcher.hpp"
#include "workers/game/GHandleOpenUrls.hpp"
#include "workers/launcher/LBoot.hpp"

namespace hexora {

LauncherFirstWorkers firstWorkers() {
    LauncherFirstWorkers workers;
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

}  // namespace hexora
