#pragma once
// STUB: declared so the road's workers can name one another; the behaviour
// is still to be built. work() throws a WorkerError.
#include "engine/Worker.hpp"

#include <memory>
#include <string>
#include <vector>

namespace hexora::Worker::Hexora {

class GHandleOpenUrls : public Worker {
public:
    /// `urls`: the absolute texts of the opened URLs, in the order received.
    GHandleOpenUrls(std::shared_ptr<WorkerThread> workerThread, std::vector<std::string> urls,
                    CompletionHandler completionHandler = nullptr)
        : Worker(std::move(workerThread), std::move(completionHandler)), urls(std::move(urls)) {}

    const std::vector<std::string> urls;

    void work() override;
};

}  // namespace hexora::Worker::Hexora
