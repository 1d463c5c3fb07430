#pragma once
// STUB: declared so the road's workers can name one another; the behaviour
// is still to be built. work() throws a WorkerError.
#include "engine/Worker.hpp"

#include <memory>
#include <string>

namespace hexora::Worker::Launcher {

class LPatch : public Worker {
public:
    LPatch(std::shared_ptr<WorkerThread> workerThread, std::string updateHash, std::string updateVersion, bool isFullPatch,
           CompletionHandler completionHandler = nullptr)
        : Worker(std::move(workerThread), std::move(completionHandler)),
          updateHash(std::move(updateHash)), updateVersion(std::move(updateVersion)), isFullPatch(isFullPatch) {}

    const std::string updateHash;
    const std::string updateVersion;
    const bool isFullPatch;

    void work() override;
};

}  // namespace hexora::Worker::Launcher
