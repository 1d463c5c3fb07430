#include "engine/LauncherError.hpp"

namespace hexora::Worker {

LauncherError LauncherError::failure(std::string type, std::string message, std::optional<LauncherState> failedState,
                                     std::optional<Rum::LogData> record) {
    LauncherError error(Code::Failed, std::move(type), std::move(message));
    error.state = failedState;
    error.rum = std::move(record);
    error.terminateWhenAvailable = false;
    return error;
}

LauncherError LauncherError::terminating(Code code, std::string type, std::string message, Rum::LogData record) {
    LauncherError error(code, std::move(type), std::move(message));
    error.rum = std::move(record);
    error.terminateWhenAvailable = true;
    return error;
}

LauncherError& LauncherError::withState(LauncherState value) {
    state = value;
    return *this;
}

LauncherError& LauncherError::withRum(Rum::LogData record) {
    rum = std::move(record);
    return *this;
}

LauncherError& LauncherError::withTerminateWhenAvailable(bool terminate) {
    terminateWhenAvailable = terminate;
    return *this;
}

}  // namespace hexora::Worker
