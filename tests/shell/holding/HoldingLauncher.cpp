// The launcher program whose road is one worker that holds the worker thread
// until the run is cancelled: the shell around it is the real one. Tests use
// it to quit while the worker thread runs.
#include "app/LauncherApp.hpp"
#include "engine/Launcher.hpp"
#include "engine/Worker.hpp"
#include "platform/Clock.hpp"
#include "services/internal/Log.hpp"
#include "workers/FirstWorkers.hpp"

namespace {

class HoldTheRoad : public hexora::Worker::Worker {
public:
    using Worker::Worker;
    void work() override {
        hexora::Log::info("HoldTheRoad: holding the worker thread");
        while (!isCancelled()) hexora::platform::sleepSeconds(0.01);
        hexora::Log::info("HoldTheRoad: run cancelled");
    }
};

}  // namespace

int main(int argc, char** argv) {
    auto workers = hexora::firstWorkers();
    workers.boot = [](std::shared_ptr<hexora::Worker::WorkerThread> thread) -> std::shared_ptr<hexora::Worker::WorkerBase> {
        return std::make_shared<HoldTheRoad>(std::move(thread));
    };
    hexora::Launcher::shared().setFirstWorkers(workers);
    return hexora::app::runLauncherApp(argc, argv);
}
