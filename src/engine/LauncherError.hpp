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
//
// The two ways a worker ends the road have a helper each, which sets every
// field (the builder steps may still follow, e.g. withError()):
//   failure(type, message, state, record)  Failed, the window stays open
//   terminating(code, type, message, record)  no state, the application quits
#include "engine/ErrorBase.hpp"
#include "engine/LauncherState.hpp"
#include "services/rum/LogData.hpp"

namespace hexora::Worker {

class LauncherError : public ChainedError<LauncherError> {
public:
    using ChainedError::ChainedError;

    /// Code Failed, `state` shown (none: the window keeps what it shows),
    /// `record` sent for the error (none: no record of its own),
    /// terminateWhenAvailable false: the launcher stays open with the failure.
    static LauncherError failure(std::string type, std::string message, std::optional<LauncherState> state,
                                 std::optional<Rum::LogData> record = std::nullopt);
    /// `code`, no state, `record` sent for the error, terminateWhenAvailable
    /// true: the application quits once the worker thread is done.
    static LauncherError terminating(Code code, std::string type, std::string message, Rum::LogData record);

    LauncherError& withState(LauncherState state);
    LauncherError& withRum(Rum::LogData record);
    LauncherError& withTerminateWhenAvailable(bool terminate);

    std::optional<LauncherState> state;
    std::optional<Rum::LogData> rum;
    std::optional<bool> terminateWhenAvailable;
};

}  // namespace hexora::Worker
