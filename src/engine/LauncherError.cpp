#include "engine/LauncherError.hpp"

#include "engine/ErrorDescription.hpp"

namespace hexora::Worker {

LauncherError::LauncherError(std::optional<Code> code, std::string type, std::string message,
                             std::optional<LauncherState> state, std::optional<Rum::LogData> rum,
                             std::optional<bool> terminateWhenAvailable)
    : code(code),
      type(std::move(type)),
      message(std::move(message)),
      state(state),
      rum(std::move(rum)),
      terminateWhenAvailable(terminateWhenAvailable) {}

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

std::optional<std::string> LauncherError::errorDescription() const {
    if (errorText) return errorText;
    if (error) return describeError(error);
    return std::nullopt;
}

}  // namespace hexora::Worker
