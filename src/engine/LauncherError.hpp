#pragma once
// The error a worker throws to end the road with a result: the state the
// window shows, the telemetry record to queue and whether the application
// terminates once the worker thread is done. Code Succeeded ends the run
// exactly like Failed (that is how the game start ends the road). Built by
// name; what is not named stays absent:
//
//   throw Worker::LauncherError(Code::Failed, "CDownload", "download failed")
//       .withState(LauncherState::Failed_Download)
//       .withRum(record)
//       .withTerminateWhenAvailable(false)
//       .withError(std::current_exception());
#include "engine/ErrorBase.hpp"
#include "engine/LauncherState.hpp"
#include "services/rum/LogData.hpp"

namespace hexora::Worker {

class LauncherError : public ChainedError<LauncherError> {
public:
    using ChainedError::ChainedError;

    LauncherError& withState(LauncherState state);
    LauncherError& withRum(Rum::LogData record);
    LauncherError& withTerminateWhenAvailable(bool terminate);

    std::optional<LauncherState> state;
    std::optional<Rum::LogData> rum;
    std::optional<bool> terminateWhenAvailable;
};

}  // namespace hexora::Worker
