#pragma once
// The plain error a worker throws to end the run without a display state,
// telemetry record or termination: the worker thread only logs it.
#include "engine/ErrorBase.hpp"

namespace hexora::Worker {

class WorkerError : public ChainedError<WorkerError> {
public:
    using ChainedError::ChainedError;
};

}  // namespace hexora::Worker
