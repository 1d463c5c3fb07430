#pragma once
// The error a worker throws to end the road with a result: the state the
// window shows, the telemetry record to queue and whether the application
// terminates once the worker thread is done. Code Succeeded ends the run
// exactly like Failed (that is how the game start ends the road).
//
//   throw Worker::LauncherError(Code::Failed, "CDownload", "download failed")
//       .withState(LauncherState::Failed_Download)
//       .withRum(record)
//       .withError(std::current_exception());
#include "engine/LauncherState.hpp"
#include "services/rum/LogData.hpp"

#include <exception>
#include <optional>
#include <string>

namespace hexora::Worker {

class LauncherError : public std::exception {
public:
    enum class Code { Succeeded, Failed };

    LauncherError(std::optional<Code> code, std::string type, std::string message,
                  std::optional<LauncherState> state = std::nullopt, std::optional<Rum::LogData> rum = std::nullopt,
                  std::optional<bool> terminateWhenAvailable = std::nullopt);

    /// The inner error that caused this one.
    LauncherError& withError(std::exception_ptr error);
    /// An inner error known only by its description.
    LauncherError& withError(std::string description);
    LauncherError& withState(LauncherState state);
    LauncherError& withRum(Rum::LogData record);
    LauncherError& withTerminateWhenAvailable(bool terminate);

    /// `message`.
    const char* what() const noexcept override { return message.c_str(); }
    /// The inner error's description; nullopt without an inner error.
    std::optional<std::string> errorDescription() const;

    std::optional<Code> code;
    std::string type;
    std::string message;
    std::exception_ptr error;
    std::optional<std::string> errorText;
    std::optional<LauncherState> state;
    std::optional<Rum::LogData> rum;
    std::optional<bool> terminateWhenAvailable;
};

}  // namespace hexora::Worker
