#pragma once
// How the Launcher driver sets up the product and makes the first worker of
// a run. The engine does not know the product or its workers; the program
// installs these at start (workers/FirstWorkers.hpp: the domain lists and
// the telemetry stream, the boot checks and the URL hand-off), tests install
// their own.
//
// Thread: productSetup and the factories are called on the thread that calls the driver (the
// main thread). Each returns a new worker bound to `thread`; null means no
// worker could be made.
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace hexora {

namespace Worker {
class WorkerBase;
class WorkerThread;
}  // namespace Worker

struct LauncherFirstWorkers {
    /// The product's process-wide wiring (domain lists, telemetry stream),
    /// made afresh by every Launcher::setup() before the thread; absent: none.
    std::function<void()> productSetup;
    /// The first step of the normal road (the boot checks).
    std::function<std::shared_ptr<Worker::WorkerBase>(std::shared_ptr<Worker::WorkerThread> thread)> boot;
    /// The hand-off of opened URLs; `urls` are their absolute texts, in order.
    std::function<std::shared_ptr<Worker::WorkerBase>(std::shared_ptr<Worker::WorkerThread> thread,
                                                      std::vector<std::string> urls)>
        openUrls;
};

}  // namespace hexora
