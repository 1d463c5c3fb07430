#pragma once
// The plain error a worker throws to end the run without a display state,
// telemetry record or termination: the worker thread only logs it.
#include "engine/ErrorBase.hpp"

namespace hexora::Worker {

class WorkerError : public ErrorBase {
public:
    WorkerError(std::optional<Code> code, std::string type, std::string message);

    /// The inner error that caused this one.
    WorkerError& withError(std::exception_ptr inner);
    /// An inner error known only by its description.
    WorkerError& withError(std::string description);
};

}  // namespace hexora::Worker
