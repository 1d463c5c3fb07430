#pragma once
// Turns the verdict a CValidation left on disk into a yes or no: calls the
// completion handler once with true when nothing exists at brokenListPath,
// false when something does. Without a handler it does nothing.
//
// work() on the worker thread; throws only what the handler throws (which
// ends the road like any worker failure).
#include "engine/Worker.hpp"

#include <filesystem>
#include <memory>

namespace hexora::Worker::Common {

class CCheckValidationResult : public Worker {
public:
    CCheckValidationResult(std::shared_ptr<WorkerThread> workerThread, std::filesystem::path brokenListPath,
                           CompletionHandler completionHandler = nullptr);

    void work() override;

    const std::filesystem::path brokenListPath;
};

}  // namespace hexora::Worker::Common
