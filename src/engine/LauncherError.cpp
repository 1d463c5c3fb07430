#include "engine/LauncherError.hpp"

namespace hexora::Worker {

LauncherError::LauncherError(std::optional<Code> code, std::string type, std::string message)
    : ErrorBase(code, std::move(type), std::move(message)) {}

LauncherError& LauncherError::withError(std::exception_ptr inner) {
    error = std::move(inner);
    return *this;
}

LauncherError& LauncherError::withError(std::string description) {
    errorText = std::move(description);
    return *this;
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
