#pragma once
// The workers of the other product that a road goes on with. The launcher's
// and the game's workers do not include one another: where a road crosses
// from one product to the other, the worker asks here. The table is filled
// in by workers/FirstWorkers.cpp, the one file that knows both products.
//
//   LBoot (updates prevented), LP22 (launcher intact)  gameCheck  GCheckProcess
//   GHandleOpenUrls (no game running)                  boot       LBoot
//   CCheckMaintenance (both bundles intact)            gameStart  GStart
//
// Thread: any. Each call makes a new worker bound to `thread`, without
// completion handler; it does not queue it.
#include <memory>

namespace hexora::Worker {
class WorkerBase;
class WorkerThread;
}  // namespace hexora::Worker

namespace hexora::Worker::Common {

class RoadSuccessors {
public:
    static std::shared_ptr<WorkerBase> boot(std::shared_ptr<WorkerThread> thread);
    static std::shared_ptr<WorkerBase> gameCheck(std::shared_ptr<WorkerThread> thread);
    static std::shared_ptr<WorkerBase> gameStart(std::shared_ptr<WorkerThread> thread);
};

}  // namespace hexora::Worker::Common
