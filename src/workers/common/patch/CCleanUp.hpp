#pragma once
// Deletes a list of files and folders (with everything in them), in order,
// and tells its completion handler whether every deletion succeeded. A path
// that does not exist is passed over. A failed deletion is logged and
// recorded ("delete"/"Failed") and the next path is tried.
//
// work() on the worker thread; throws only what the completion handler
// throws. Sends "delete"/"Succeeded" and calls the handler with true when no
// deletion failed (also for an empty list), otherwise calls it with false.
#include "engine/Worker.hpp"

#include <filesystem>
#include <memory>
#include <vector>

namespace hexora::Worker::Common {

class CCleanUp : public Worker {
public:
    CCleanUp(std::shared_ptr<WorkerThread> workerThread, std::vector<std::filesystem::path> paths,
             CompletionHandler completionHandler = nullptr);

    void work() override;

    const std::vector<std::filesystem::path> paths;
};

}  // namespace hexora::Worker::Common
